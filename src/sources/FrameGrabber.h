#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <opencv2/videoio.hpp>
#include <thread>
#include <vector>

// Reads a capture on a thread of its own, as fast as the device delivers, and keeps only the
// newest frame: the driver's queue never fills, and whoever takes a frame gets the one
// delivered last. A read that fails (a camera that dropped out, a stand-in at its end) is
// tried again a little later. The capture belongs to the thread from construction on.
class FrameGrabber {
public:
    struct Frame {
        cv::Mat picture;           // empty when no frame came since the last one taken
        std::int64_t number = -1;  // frames delivered before it
    };
    // Called on the grabbing thread after each frame delivered.
    using Delivered = std::function<void()>;
    using Change = std::function<void(cv::VideoCapture&)>;

    FrameGrabber(std::unique_ptr<cv::VideoCapture> capture, Delivered delivered);
    // Stops reading and joins the thread (after the read under way, at most a frame's time).
    ~FrameGrabber();
    FrameGrabber(const FrameGrabber&) = delete;
    FrameGrabber& operator=(const FrameGrabber&) = delete;

    // False when no frame came within `timeout`.
    bool waitForFirst(std::chrono::milliseconds timeout);
    // The newest frame, once: taken, it is not handed out again.
    Frame takeNewest();
    std::int64_t delivered() const;
    // A frame came since the last one taken.
    bool hasNewest() const;
    // Runs `change` on the capture on the grabbing thread, before its next read.
    void adjust(Change change);

private:
    void run();
    void applyChanges();

    std::unique_ptr<cv::VideoCapture> capture;
    Delivered notify;
    mutable std::mutex mutex;
    std::condition_variable firstCame;
    Frame newest;
    std::int64_t count = 0;
    std::vector<Change> changes;
    std::atomic<bool> stopping{false};
    std::thread thread;  // started last, once everything it uses is there
};
