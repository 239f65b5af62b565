#pragma once

// What a batch run checks before it writes anything: that its table, run record and lock file
// can be written and replace none of the files it reads, that no output replaces one either,
// and that a file already at the table's path is a table of this program.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"
#include "batch/BatchOptions.h"
#include "colour/ColorClassifier.h"

namespace quendra {

// The files of a run's own (RunFileNames.h): one set per shard, so that shards can share a
// folder.
struct RunFiles {
    std::filesystem::path table, record, lock, report;
    std::string suffix;                // of the default names: "-K-of-N" for a shard, else empty
    std::filesystem::path stacks;      // the stacks' table, in the output folder
    std::filesystem::path canals;      // the canals' table, beside it
    std::filesystem::path thumbnails;  // the report's thumbnails' folder, beside the report
    std::filesystem::path levels;      // the levels' table, beside the stacks' table
};

RunFiles runFilesOf(const BatchOptions& options);

// The first problem found, or nothing.
std::optional<std::string> problemBeforeRun(const BatchOptions& options,
                                            const std::vector<BatchItem>& items,
                                            const RunFiles& files);

// A warning for each class of the class file that has too few trained colours to be found
// (sparseClasses): the run would find nothing of it without saying why.
std::vector<std::string> sparseClassWarnings(const std::string& classFile,
                                             const ColorClassifier& classifier);

}  // namespace quendra
