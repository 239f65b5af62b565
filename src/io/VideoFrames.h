#pragma once

// Frames of a video file by index. Frame count and rate are read once at opening.
//
// Frames a little ahead of the last one read are reached by reading on, which for files with
// few key frames is far cheaper than a seek; with Access::Sequential the file is never sought
// at all, which also keeps the frame numbers right in files with broken frames (the video back
// end loses count when a seek passes one). A broken frame is skipped: the frame after it is
// read as usual.

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>

namespace quendra {

class VideoFrames {
public:
    static constexpr int kFallbackFps = 25;

    enum class Access {
        Random,      // far jumps seek
        Sequential,  // forward by reading on; backward by opening the file afresh
    };

    // `path` in the platform's file-name encoding. Check isValid().
    explicit VideoFrames(const std::string& path, Access access = Access::Random);

    // The file is a regular file, opened, reports at least one frame and its first frame can
    // be read.
    bool isValid() const { return valid; }
    int frameCount() const { return count; }
    // Frames per second as the file reports them; kFallbackFps when unknown.
    double rate() const { return framesPerSecond; }
    // The rate truncated to whole frames per second.
    int fps() const { return static_cast<int>(framesPerSecond); }

    // The frame at `index` (0 <= index < frameCount()), owned by this object and valid until
    // the next call; empty when the file cannot deliver it.
    const cv::Mat& frameAt(int index);

    // The same frame handed over for good, without a copy: this object keeps no reference to
    // it, so the next read goes to a buffer of its own.
    cv::Mat takeFrameAt(int index);

private:
    bool open();
    // Moves the read position to `index`; false when the file cannot get there.
    bool moveTo(int index);

    std::string path;
    Access access;
    cv::VideoCapture capture;
    int count = 0;
    double framesPerSecond = kFallbackFps;
    bool valid = false;
    cv::Mat frame;
    int decoded = -1;  // index of the frame in `frame`, -1 for none
    int nextRead = 0;  // index the next plain read delivers
};

}  // namespace quendra
