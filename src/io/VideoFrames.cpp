#include "io/VideoFrames.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <utility>

namespace quendra {

namespace {

// Farther than this ahead, a random-access jump seeks instead of reading on.
constexpr int kReadOnLimit = 30;

}  // namespace

VideoFrames::VideoFrames(const std::string& p, Access a) : path(p), access(a) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        opened = PictureStatus::CannotOpen;
        systemError = errno;
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        opened = PictureStatus::NotAFile;
        return;
    }
    if (!open()) return;
    count = static_cast<int>(capture.get(cv::CAP_PROP_FRAME_COUNT));
    reported = capture.get(cv::CAP_PROP_FPS);
    if (!std::isfinite(reported) || reported < 0) reported = 0;
    if (reported > 0) framesPerSecond = std::clamp(reported, kMinRate, kMaxRate);
    size = {static_cast<int>(capture.get(cv::CAP_PROP_FRAME_WIDTH)),
            static_cast<int>(capture.get(cv::CAP_PROP_FRAME_HEIGHT))};
    if (std::int64_t{size.width} * size.height > kMaxPicturePixels) {
        opened = PictureStatus::TooLarge;
        capture.release();
        return;
    }
    valid = count >= 1 && !frameAt(0).empty();
    if (valid) opened = PictureStatus::Ok;
}

bool VideoFrames::open() {
    // "file:" keeps FFmpeg from taking the name for another protocol (a name such as
    // "concat:a.mp4|b.mp4").
    const std::string name =
        "file:" + std::filesystem::absolute(std::filesystem::path(path)).string();
    try {
        capture.open(name, cv::CAP_FFMPEG);
    } catch (const cv::Exception& e) {
        capture.release();
        if (e.code == cv::Error::StsNoMem) opened = PictureStatus::OutOfMemory;
    }
    nextRead = 0;
    return capture.isOpened();
}

bool VideoFrames::moveTo(int index) {
    if (index < nextRead) {
        if (access == Access::Sequential) {
            if (!open()) return false;
        } else {
            capture.set(cv::CAP_PROP_POS_FRAMES, index);
            nextRead = index;
        }
    } else if (index - nextRead > kReadOnLimit && access == Access::Random) {
        capture.set(cv::CAP_PROP_POS_FRAMES, index);
        nextRead = index;
    }
    // Frames passed over are only grabbed, not converted; a broken one still moves on.
    for (; nextRead < index; ++nextRead) capture.grab();
    return true;
}

const cv::Mat& VideoFrames::frameAt(int index) {
    if (index == decoded) return frame;
    decoded = -1;
    try {
        if (moveTo(index)) {
            ++nextRead;  // a read moves on by one frame whether or not it decodes
            // A frame larger than the stream said is dropped as broken.
            if (capture.read(frame) && !frame.empty() &&
                static_cast<std::int64_t>(frame.total()) <= kMaxPicturePixels) {
                decoded = index;
                return frame;
            }
        }
    } catch (const cv::Exception&) {
    }
    frame.release();
    return frame;
}

cv::Mat VideoFrames::takeFrameAt(int index) {
    frameAt(index);
    decoded = -1;
    return std::exchange(frame, cv::Mat());
}

}  // namespace quendra
