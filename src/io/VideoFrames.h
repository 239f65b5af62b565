#pragma once

// Frames of a video file by index. Frame count and rate are read once at opening.
//
// Frames a little ahead of the last one read are reached by reading on, which for files with
// few key frames is far cheaper than a seek; with Access::Sequential the file is never sought
// at all, which also keeps the frame numbers right in files with broken frames (the video back
// end loses count when a seek passes one). A broken frame is skipped: the frame after it is
// read as usual.
//
// A file is opened by its own name only, with the FFmpeg back end: never as a numbered
// picture sequence (a name such as "t%02d.mp4" would otherwise read t00.mp4, t01.mp4, ...),
// never as a URL or a pipeline of another back end. Frames above the picture limit
// (kMaxPicturePixels) are refused from the stream's size, before any frame is decoded.

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>

#include "io/PictureFile.h"

namespace quendra {

class VideoFrames {
public:
    static constexpr int kFallbackFps = 25;
    // The rates taken from a file, frames per second; a file that claims a rate outside them
    // plays at the nearer one.
    static constexpr double kMinRate = 0.001;
    static constexpr double kMaxRate = 1000;

    enum class Access {
        Random,      // far jumps seek
        Sequential,  // forward by reading on; backward by opening the file afresh
    };

    // `path` in the platform's file-name encoding. Check isValid().
    explicit VideoFrames(const std::string& path, Access access = Access::Random);

    // The file is a regular file, opened, reports at least one frame of a size within the
    // limit and its first frame can be read.
    bool isValid() const { return valid; }
    // Why not: NotAFile, CannotOpen (the system's reason in error()), TooLarge (frameSize()
    // says how large), OutOfMemory or Unreadable.
    PictureStatus status() const { return opened; }
    int error() const { return systemError; }
    // The frames' size as the stream gives it.
    cv::Size frameSize() const { return size; }
    int frameCount() const { return count; }
    // Frames per second: as the file reports them, within kMinRate .. kMaxRate; kFallbackFps
    // when it reports none.
    double rate() const { return framesPerSecond; }
    // As the file reports it, 0 for none: differs from rate() when that was put in its range.
    double reportedRate() const { return reported; }

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
    double reported = 0;
    cv::Size size;
    PictureStatus opened = PictureStatus::Unreadable;
    int systemError = 0;
    bool valid = false;
    cv::Mat frame;
    int decoded = -1;  // index of the frame in `frame`, -1 for none
    int nextRead = 0;  // index the next plain read delivers
};

}  // namespace quendra
