#pragma once

// Opens what a checked run writes: the output folders, the lock that keeps other runs out, the
// table (continued with --resume where the earlier run's record and table say, else started
// afresh) and, in a run with stacks, the stacks', canals' and (--levels-mm) levels' tables. What
// the opening made is for the caller to undo when the run is refused (MadeForTheRun).

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"
#include "batch/BatchOptions.h"
#include "batch/Resume.h"
#include "batch/RunChecks.h"
#include "batch/RunGuards.h"
#include "batch/RunRecord.h"
#include "io/TableFile.h"

namespace quendra {

// A run's open files and where it starts, held while it runs.
struct RunStart {
    FolderLock folderLock;
    TableFile table, stacksTable, canalsTable, levelsTable;
    bool hasStacks = false;  // the stacks' and canals' tables are open
    bool hasLevels = false;  // and the levels' table (--levels-mm)
    RunSources sources;      // what the run reads, as it was when the run began
    ResumePoint resumeAt;
    std::vector<std::string> named;         // problems named before the workers start
    std::vector<StackRecord> stacksBefore;  // finished by the run resumed
};

// Opens everything of `start` for the run of `items`, with the stacks' tables when
// `withStacks` (any shard of the run has a stack). A resumed run's earlier problems that stay
// are said on `log` and added to `start.named`. The problem that refuses the run, or nothing.
std::optional<std::string> startRun(RunStart& start, MadeForTheRun& made,
                                    const BatchOptions& options,
                                    const std::vector<BatchItem>& items, bool withStacks,
                                    const RunFiles& files, std::ostream& log);

}  // namespace quendra
