#pragma once

// The run's readers: threads of their own take the frames from the queue (FrameQueue.h),
// decoding each, while the workers analyse the ones before and write their files, so that a
// run goes at the pace of its slowest stage rather than of reading and analysis added up. One
// reader a worker, so that pictures are decoded side by side as they were by the workers; how
// far they read ahead is the queue's bound.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "batch/FrameQueue.h"

namespace quendra {

// How far a run's queue may hand out units ahead of the last written: two a worker, and one its
// reader decodes meanwhile.
constexpr std::size_t readAhead(int workers) {
    return 3 * static_cast<std::size_t>(workers);
}

class FrameReader {
public:
    // Starts up to `readers` readers; when none can be started, the workers read for
    // themselves.
    FrameReader(FrameQueue& queue, int readers);
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
    int reading = 0;             // readers that may still take units
    bool stopped = false;
    std::exception_ptr failure;  // what ended a reader, if not the run's end
    std::vector<std::thread> readers;
};

}  // namespace quendra
