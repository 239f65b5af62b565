#include "batch/FrameReader.h"

#include <system_error>

#include "batch/RunGuards.h"

namespace quendra {

FrameReader::FrameReader(FrameQueue& q) : queue(q) {
    try {
        reader = std::thread(&FrameReader::read, this);
    } catch (const std::system_error&) {
        // Reading then takes turns with the analysis, as each worker reads its own units.
    }
}

FrameReader::~FrameReader() {
    stop();
    if (reader.joinable()) reader.join();
}

void FrameReader::read() {
    try {
        for (;;) {
            WorkUnit unit;
            const bool more = StopSignals::received() == 0 && queue.next(unit);
            {
                const std::lock_guard lock(mutex);
                if (more) units.push_back(std::move(unit));
                ended = !more;
            }
            arrived.notify_all();
            if (!more) return;
        }
    } catch (const std::exception&) {
        const std::lock_guard lock(mutex);
        failure = std::current_exception();
        ended = true;
    }
    arrived.notify_all();
}

bool FrameReader::next(WorkUnit& unit) {
    if (!reader.joinable()) return queue.next(unit);
    std::unique_lock lock(mutex);
    arrived.wait(lock, [&] { return stopped || ended || !units.empty(); });
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
