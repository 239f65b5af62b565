#pragma once

// The problems a run names while its frames are written, in input order. Each is shown at
// once and reaches the run record before the rows after it reach a table: a run killed
// outright names in its record every problem before the last row of its table, which is what
// a resumed run does not do again and must name by the record. (Problems with no rows after
// them are of items a resumed run does again.) A stretch of unreadable video frames or slices
// is named as one, once it ends.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"
#include "batch/FrameQueue.h"
#include "batch/Progress.h"

namespace quendra {

class RunProblems {
public:
    // `recorded` is called with every problem named so far before rows follow one more.
    using Recorded = std::function<void(const std::vector<std::string>&)>;
    RunProblems(const std::vector<BatchItem>& items, int every, Progress& progress,
                Recorded recorded);

    void name(const std::string& problem);
    // The next frame in input order: the stretch of unreadable frames it ends is named, then
    // its own problems.
    void frame(const WorkUnit& unit, const std::vector<std::string>& own);
    // Gives the problems named since the last time to the record, before rows follow them.
    void record();
    // Names the stretch of unreadable frames still open.
    void finish();
    const std::vector<std::string>& named() const { return problems; }

private:
    void nameUnreadable();

    const std::vector<BatchItem>& items;
    const int every;
    Progress& progress;
    const Recorded recorded;

    std::vector<std::string> problems;
    std::size_t problemsRecorded = 0;
    // A stretch of unreadable frames of one video, named once it ends.
    std::size_t unreadableItem = 0;
    int unreadableFirst = -1, unreadableLast = -1;
    std::string unreadableReason;  // of every frame of the stretch
};

}  // namespace quendra
