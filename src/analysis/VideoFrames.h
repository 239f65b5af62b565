#pragma once

// Frames of a video file by index. The frame right after the last one read is read on without
// seeking, which for files with few key frames is far cheaper than a seek; any other index
// seeks. Frame count and rate are read once at opening.

#include <string>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

namespace quendra {

class VideoFrames {
public:
    static constexpr int kFallbackFps = 25;

    // `path` in the platform's file-name encoding. Check isValid().
    explicit VideoFrames(const std::string& path);

    // The file opened, reports at least one frame and its first frame can be read.
    bool isValid() const { return valid; }
    int frameCount() const { return count; }
    // Frames per second as the file reports them, truncated; kFallbackFps when unknown.
    int fps() const { return rate; }

    // The frame at `index` (0 <= index < frameCount()), owned by this object and valid until
    // the next call; empty when the file cannot deliver it.
    const cv::Mat& frameAt(int index);

private:
    cv::VideoCapture capture;
    int count = 0;
    int rate = kFallbackFps;
    bool valid = false;
    cv::Mat frame;
    int decoded = -1;  // index of the frame in `frame`, -1 for none
    int nextRead = 0;  // index the next plain read delivers, -1 when unknown
};

}  // namespace quendra
