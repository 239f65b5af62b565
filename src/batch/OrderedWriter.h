#pragma once

// Puts the workers' results into the table in input order, whatever order they finish in:
// each frame's rows reach the file as soon as every frame before it is written, so an
// interrupted run keeps every finished frame. What else follows the frames in input order
// listens to the writer: a stack's tracking (StackListener.h) takes each frame before its rows
// are written, and may hold them back, a video's movie (MovieListener.h) after. Problems are
// named in the same order (RunProblems.h), and progress follows each frame.

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "analysis/CanalTracking.h"
#include "batch/BatchInputs.h"
#include "batch/FrameQueue.h"
#include "batch/Progress.h"
#include "batch/RunProblems.h"
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

// Is handed every frame in input order, under the writer's lock; `unit` carries the place,
// its picture is not used.
class FrameListener {
public:
    virtual ~FrameListener() = default;
    // Before the frame's rows reach the table; it may change them. False when an output of the
    // run cannot be written (named already), which stops the run.
    virtual bool beforeRows(const WorkUnit&, UnitResult&) { return true; }
    // Once the frame's rows are in the table.
    virtual void afterRows(const WorkUnit&, const UnitResult&) {}
    // The workers are done: ends what is still open.
    virtual void finish() {}
    // Analysed frames whose rows it still holds back from the table when the run ends.
    virtual std::size_t framesHeld() const { return 0; }
};

// Appends rows to the table `name` of the run; false, with the problem named, when the table
// cannot be written.
bool appendRows(TableFile& file, const std::string& name, const std::string& rows,
                RunProblems& problems);

class OrderedWriter {
public:
    // The listeners are handed each frame in their order.
    OrderedWriter(const std::vector<BatchItem>& items, TableFile& table, std::string tableName,
                  FrameQueue& queue, Progress& progress, RunProblems& problems,
                  std::vector<FrameListener*> listeners);

    // Safe from any thread.
    void submit(const WorkUnit& unit, UnitResult result);

    struct Done {
        std::size_t items = 0, frames = 0;  // analysed frames: an unreadable one has no rows
    };
    // After the workers are done: ends what is still open (a movie, a stretch of unreadable
    // frames) and gives what was written.
    Done finish();
    bool tableFailed() const { return failed; }

private:
    void write(const WorkUnit& unit, UnitResult& result);
    void stop();

    const std::vector<BatchItem>& items;
    TableFile& table;
    const std::string tableName;
    FrameQueue& queue;
    Progress& progress;
    RunProblems& problems;
    const std::vector<FrameListener*> listeners;

    std::mutex mutex;
    std::map<std::size_t, std::pair<WorkUnit, UnitResult>> waiting;
    std::size_t nextSeq = 0;
    bool failed = false;
    Done done;
};

}  // namespace quendra
