#include "batch/FrameReader.h"

#include <system_error>

#include "batch/RunGuards.h"

namespace quendra {

FrameReader::FrameReader(FrameQueue& q, int count) : queue(q) {
    const std::lock_guard lock(mutex);
    try {
        for (; reading < count; ++reading) readers.emplace_back(&FrameReader::read, this);
    } catch (const std::system_error&) {
        // Fewer readers; with none, reading takes turns with the analysis in each worker.
    }
}

FrameReader::~FrameReader() {
    stop();
    for (std::thread& r : readers) r.join();
}

void FrameReader::read() {
    try {
        for (;;) {
            WorkUnit unit;
            const bool more = StopSignals::received() == 0 && queue.next(unit);
            {
                const std::lock_guard lock(mutex);
                if (more) units.push_back(std::move(unit));
                if (!more) --reading;
            }
            arrived.notify_all();
            if (!more) return;
        }
    } catch (const std::exception&) {
        {
            const std::lock_guard lock(mutex);
            failure = std::current_exception();
            --reading;
        }
        queue.stop();  // the other readers end too, and the workers take what was read
    }
    arrived.notify_all();
}

bool FrameReader::next(WorkUnit& unit) {
    if (readers.empty()) return queue.next(unit);
    std::unique_lock lock(mutex);
    arrived.wait(lock, [&] { return stopped || reading == 0 || !units.empty(); });
    if (stopped) return false;
    if (!units.empty()) {
        unit = std::move(units.front());
        units.pop_front();
        return true;
    }
    if (failure) std::rethrow_exception(failure);
    return false;
}

void FrameReader::stop() {
    {
        const std::lock_guard lock(mutex);
        stopped = true;
    }
    arrived.notify_all();
    queue.stop();
}

}  // namespace quendra
