#include "sources/FrameReadAhead.h"

#include <utility>

namespace {

// Reads and times the read.
quendra::SliceFrame timed(const FrameReadAhead::Read& read, int index, double& milliseconds) {
    const auto start = std::chrono::steady_clock::now();
    quendra::SliceFrame frame;
    try {
        frame = read(index);
    } catch (const std::exception&) {
        frame.status = quendra::PictureStatus::OutOfMemory;
    }
    milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return frame;
}

}  // namespace

FrameReadAhead::FrameReadAhead(Read r) : read(std::move(r)), thread(&FrameReadAhead::run, this) {}

FrameReadAhead::~FrameReadAhead() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

// A frame read ahead that is not the one asked for is dropped; the read here holds the lock,
// which keeps the thread from starting another meanwhile.
quendra::SliceFrame FrameReadAhead::frameAt(int index, double& milliseconds) {
    std::unique_lock lock(mutex);
    if (requested == index) requested = -1;
    changed.wait(lock, [this] { return !reading; });
    if (readyIndex == index) {
        readyIndex = -1;
        milliseconds = readyCost;
        return std::exchange(ready, {});
    }
    readyIndex = -1;
    ready = {};
    requested = -1;
    return timed(read, index, milliseconds);
}

void FrameReadAhead::readAhead(int index) {
    {
        std::lock_guard lock(mutex);
        if (readyIndex == index) return;
        requested = index;
    }
    changed.notify_all();
}

void FrameReadAhead::run() {
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || requested >= 0; });
        if (stopping) return;
        const int index = std::exchange(requested, -1);
        reading = true;
        lock.unlock();
        double cost = 0;
        quendra::SliceFrame frame = timed(read, index, cost);
        lock.lock();
        readyCost = cost;
        reading = false;
        readyIndex = index;
        ready = std::move(frame);
        changed.notify_all();
    }
}
