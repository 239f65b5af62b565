#pragma once

// The run's reader: a thread of its own takes the frames from the queue (FrameQueue.h),
// decoding each, while the workers analyse the ones before and write their files, so that a
// run goes at the pace of its slowest stage rather than of reading and analysis added up. It
// keeps the run's order; how far it reads ahead is the queue's bound.

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "batch/FrameQueue.h"

namespace quendra {

class FrameReader {
public:
    // Starts reading; when no thread can be started, the workers read for themselves.
    explicit FrameReader(FrameQueue& queue);
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    // The next unit in the run's order, read; false once there is none left or the run was
    // stopped. Rethrows what stopped the reader (out of memory).
    bool next(WorkUnit& unit);
    // No unit is handed out any more; the queue stops too.
    void stop();

private:
    void read();

    FrameQueue& queue;
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<WorkUnit> units;  // read, not yet taken
    bool ended = false;          // the reader takes no more
    bool stopped = false;
    std::exception_ptr failure;  // what ended the reader, if not the run's end
    std::thread reader;
};

}  // namespace quendra
