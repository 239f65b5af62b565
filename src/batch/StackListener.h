#pragma once

// Follows each stack's slices as the writer hands them on in input order (StackResults.h): a
// slice's rows are held until the stack is complete, when its roots reach the stacks' table
// and its canals the canals' table before the stack's rows, canals numbered, reach the run's
// table, so that a stack with all its rows in the table has its roots in the stacks' table
// (and, with --levels-mm, its levels in the levels' table).

#include <vector>

#include "batch/BatchOptions.h"
#include "batch/OrderedWriter.h"
#include "batch/RunRecord.h"
#include "batch/StackResults.h"

namespace quendra {

class StackListener : public FrameListener {
public:
    StackListener(const BatchOptions& options, const std::vector<BatchItem>& items,
                  TableFile& stacksTable, TableFile& canalsTable, TableFile* levelsTable,
                  RunProblems& problems, Progress& progress);

    // False when a table of the stacks cannot be written, or a stack's output for want of
    // space.
    bool beforeRows(const WorkUnit& unit, UnitResult& result) override;
    // The levels' table reaches the disk (the others CheckedRun flushes); a stack the run
    // stopped in is named, since none of its rows reach the table.
    void finish() override;
    std::size_t framesHeld() const override { return stacks.slicesHeld(); }
    // The stacks completed, as the run record names them, in input order.
    const std::vector<StackRecord>& completed() const { return records; }

private:
    bool completeStack(const WorkUnit& unit, UnitResult& result);

    const std::vector<BatchItem>& items;
    TableFile& stacksTable;
    TableFile& canalsTable;
    TableFile* levelsTable;  // null without --levels-mm
    RunProblems& problems;
    Progress& progress;
    StackResults stacks;
    std::vector<StackRecord> records;
};

}  // namespace quendra
