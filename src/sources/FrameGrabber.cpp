#include "sources/FrameGrabber.h"

#include <utility>

namespace {

// How long a failed read waits before the next try.
constexpr auto kRetry = std::chrono::milliseconds(10);

}  // namespace

FrameGrabber::FrameGrabber(std::unique_ptr<cv::VideoCapture> c, Delivered delivered)
    : capture(std::move(c)), notify(std::move(delivered)), thread(&FrameGrabber::run, this) {}

FrameGrabber::~FrameGrabber() {
    stopping = true;
    thread.join();
}

bool FrameGrabber::waitForFirst(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    return firstCame.wait_for(lock, timeout, [this] { return count > 0; });
}

FrameGrabber::Frame FrameGrabber::takeNewest() {
    std::lock_guard lock(mutex);
    return std::exchange(newest, Frame{});
}

std::int64_t FrameGrabber::delivered() const {
    std::lock_guard lock(mutex);
    return count;
}

bool FrameGrabber::hasNewest() const {
    std::lock_guard lock(mutex);
    return !newest.picture.empty();
}

void FrameGrabber::adjust(Change change) {
    std::lock_guard lock(mutex);
    changes.push_back(std::move(change));
}

void FrameGrabber::applyChanges() {
    std::vector<Change> due;
    {
        std::lock_guard lock(mutex);
        due.swap(changes);
    }
    for (const Change& change : due) {
        try {
            change(*capture);
        } catch (const cv::Exception&) {
        }
    }
}

// Every frame is read into a buffer of its own: the one handed out may still be in use.
void FrameGrabber::run() {
    while (!stopping) {
        applyChanges();
        cv::Mat frame;
        bool read = false;
        try {
            read = capture->read(frame) && !frame.empty();
        } catch (const cv::Exception&) {
        }
        if (!read) {
            std::this_thread::sleep_for(kRetry);
            continue;
        }
        {
            std::lock_guard lock(mutex);
            newest = {std::move(frame), count++};
        }
        firstCame.notify_all();
        if (notify) notify();
    }
}
