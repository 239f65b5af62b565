#pragma once

// Puts the workers' results into the table in input order, whatever order they finish in:
// each frame's rows reach the file as soon as every frame before it is written, so an
// interrupted run keeps every finished frame. Problems are named on the log in the same order
// (a stretch of unreadable video frames as one line), and progress follows each frame.

#include <cstddef>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"
#include "batch/BatchTable.h"
#include "batch/FrameQueue.h"
#include "batch/RunRecord.h"

namespace quendra {

struct UnitResult {
    std::string rows;
    std::vector<std::string> problems;
};

class OrderedWriter {
public:
    OrderedWriter(const std::vector<BatchItem>& items, int every, TableFile& table,
                  std::string tableName, FrameQueue& queue, std::ostream& log, bool quiet);

    // Safe from any thread. `unit` carries the place; its picture is not used.
    void submit(const WorkUnit& unit, UnitResult result);

    // After the workers are done: names what is still open and gives the counts and problems.
    RunOutcome finish();
    bool tableFailed() const { return failed; }

private:
    void write(const WorkUnit& unit, UnitResult& result);
    void nameProblem(const std::string& problem);
    void flushUnreadable();

    const std::vector<BatchItem>& items;
    const int every;
    TableFile& table;
    const std::string tableName;
    FrameQueue& queue;
    std::ostream& log;
    const bool quiet;

    mutable std::mutex mutex;
    std::map<std::size_t, std::pair<WorkUnit, UnitResult>> waiting;
    std::size_t nextSeq = 0;
    bool failed = false;
    RunOutcome counts;
    // A stretch of unreadable frames of one video, named once it ends.
    std::size_t unreadableItem = 0;
    int unreadableFirst = -1, unreadableLast = -1;
};

}  // namespace quendra
