#pragma once

// Puts the workers' results into the table in input order, whatever order they finish in:
// each frame's rows reach the file as soon as every frame before it is written, so an
// interrupted run keeps every finished frame. A video's movie gets its frames in the same
// order, and a stack's canal tracker its slices, whose roots reach the stacks' table before
// the rows of the stack's last slice reach the run's table (so that a stack with all its rows
// in the table has its roots in the stacks' table). Problems are named in the same order too
// (a stretch of unreadable video frames or slices as one), and progress follows each frame.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "analysis/CanalTracking.h"
#include "batch/BatchInputs.h"
#include "batch/FrameQueue.h"
#include "batch/Progress.h"
#include "batch/RunRecord.h"
#include "batch/StackResults.h"
#include "io/MjpegMovie.h"
#include "io/TableFile.h"

namespace quendra {

struct UnitResult {
    std::string rows;
    std::optional<SliceSection> section;  // a stack's slice as the canal tracker takes it
    bool teethLeftOut = false;            // the analysis left tooth regions out
    std::vector<std::string> problems;
    std::vector<std::uint8_t> movieFrame;  // the frame with its overlay as JPEG, for the movie
    cv::Size frameSize;
};

class OrderedWriter {
public:
    // `named` is called with every problem named so far before rows follow one more.
    using ProblemsNamed = std::function<void(const std::vector<std::string>&)>;
    // `stacks` and `stacksTable` are needed when the items hold a stack.
    OrderedWriter(const std::vector<BatchItem>& items, int every, TableFile& table,
                  std::string tableName, FrameQueue& queue, Progress& progress, ProblemsNamed named,
                  StackResults* stacks = nullptr, TableFile* stacksTable = nullptr);

    // Safe from any thread. `unit` carries the place; its picture is not used.
    void submit(const WorkUnit& unit, UnitResult result);

    // After the workers are done: ends what is still open (a movie, a stretch of unreadable
    // frames) and gives the counts and problems.
    RunOutcome finish();
    bool tableFailed() const { return failed; }

private:
    void write(const WorkUnit& unit, UnitResult& result);
    bool followStack(const WorkUnit& unit, UnitResult& result);
    bool append(TableFile& file, const std::string& name, const std::string& rows);
    void addMovieFrame(const WorkUnit& unit, const UnitResult& result);
    void closeMovie();
    void nameProblem(const std::string& problem);
    void recordProblems();
    void flushUnreadable();

    const std::vector<BatchItem>& items;
    const int every;
    TableFile& table;
    const std::string tableName;
    FrameQueue& queue;
    Progress& progress;
    const ProblemsNamed named;
    StackResults* const stacks;
    TableFile* const stacksTable;

    std::mutex mutex;
    std::map<std::size_t, std::pair<WorkUnit, UnitResult>> waiting;
    std::size_t nextSeq = 0;
    bool failed = false;
    RunOutcome counts;
    std::size_t problemsRecorded = 0;  // given to `named`
    // A stretch of unreadable frames of one video, named once it ends.
    std::size_t unreadableItem = 0;
    int unreadableFirst = -1, unreadableLast = -1;
    std::string unreadableReason;  // of every frame of the stretch
    // The movie of the video being written, and whether it failed already.
    MjpegMovieWriter movie;
    std::optional<std::size_t> movieItem;
    bool movieFailed = false;
};

}  // namespace quendra
