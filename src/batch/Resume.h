#pragma once

// Where an interrupted run stopped, read from its table: every frame whose rows are all there
// is kept; a frame cut off at the end of the table, where the run was killed, is dropped and
// done again. The table must be exactly what the run wrote up to there: its header, lines
// ending in CR LF, whole rows in input order, each tooth followed by all its canals, every
// picture, every --every-th frame of a video and every slice of a stack present unless the run
// named it as a problem, and no frame beyond a video's or stack's last. Anything else is a table
// changed by hand or by another program, and is refused with what was found.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"

namespace quendra {

struct ResumePoint {
    std::size_t keepBytes = 0;  // of the table: the header and the kept frames
    std::size_t item = 0;       // the first item not finished
    int frame = -1;             // of that item (a video or stack), the first frame not in the table
    std::size_t itemsDone = 0;
    std::size_t framesDone = 0;
};

// The resume point of `table` (the table's whole text) for these items, whose table has this
// header, with the problems the earlier run named; nothing, with `problem` set, when the table
// is not one the run wrote for them. An empty table resumes at the start.
std::optional<ResumePoint> findResumePoint(const std::string& table, const std::string& header,
                                           const std::vector<BatchItem>& items, int every,
                                           const std::vector<std::string>& earlierProblems,
                                           std::string& problem);

// Of the problems an earlier run named (as its record gives them), those a run resumed at item
// `resumeItem` will not name again: not those of the items after it, which are analysed
// afresh, nor the table's, which were that run's own.
std::vector<std::string> carriedProblems(const std::vector<std::string>& earlier,
                                         const std::vector<BatchItem>& items,
                                         std::size_t resumeItem, const std::string& tableName);

}  // namespace quendra
