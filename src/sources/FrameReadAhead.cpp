#include "sources/FrameReadAhead.h"

#include <algorithm>
#include <chrono>
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

FrameReadAhead::FrameReadAhead(Read r, int n)
    : read(std::move(r)), count(std::max(n, 1)), thread(&FrameReadAhead::run, this) {}

FrameReadAhead::~FrameReadAhead() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

bool FrameReadAhead::comesNext(int index) const {
    return index == underWay || index == next ||
           std::any_of(ready.begin(), ready.end(),
                       [index](const Frame& f) { return f.index == index; });
}

// Frames read before the one asked for are passed over: playback skipped them.
quendra::SliceFrame FrameReadAhead::frameAt(int index, double& milliseconds) {
    std::unique_lock lock(mutex);
    milliseconds = 0;
    if (!comesNext(index)) {
        for (const Frame& passed : ready) milliseconds += passed.milliseconds;
        ready.clear();
        next = index;
    }
    asked = true;
    changed.notify_all();
    changed.wait(lock, [&] {
        for (; !ready.empty() && ready.front().index != index; ready.pop_front())
            milliseconds += ready.front().milliseconds;
        return !ready.empty();
    });
    Frame frame = std::move(ready.front());
    ready.pop_front();
    asked = false;
    changed.notify_all();  // room to read on
    milliseconds += frame.milliseconds;
    return std::move(frame.read);
}

void FrameReadAhead::setReadingOn(bool on) {
    {
        std::lock_guard lock(mutex);
        readingOn = on;
    }
    changed.notify_all();
}

// The frame after the one under way is the next unless a frame asked for meanwhile is.
void FrameReadAhead::run() {
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] {
            return stopping ||
                   (next >= 0 && (asked || readingOn) && static_cast<int>(ready.size()) < kAhead);
        });
        if (stopping) return;
        underWay = std::exchange(next, (next + 1) % count);
        Frame frame;
        frame.index = underWay;
        lock.unlock();
        frame.read = timed(read, frame.index, frame.milliseconds);
        lock.lock();
        underWay = -1;
        ready.push_back(std::move(frame));
        changed.notify_all();
    }
}
