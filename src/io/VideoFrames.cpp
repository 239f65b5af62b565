#include "io/VideoFrames.h"

#include <utility>

#include "io/MediaFiles.h"

namespace quendra {

namespace {

// Farther than this ahead, a random-access jump seeks instead of reading on.
constexpr int kReadOnLimit = 30;

}  // namespace

VideoFrames::VideoFrames(const std::string& p, Access a) : path(p), access(a) {
    if (!isRegularFile(path) || !open()) return;
    count = static_cast<int>(capture.get(cv::CAP_PROP_FRAME_COUNT));
    const double reported = capture.get(cv::CAP_PROP_FPS);
    if (reported >= 1) framesPerSecond = reported;
    valid = count >= 1 && !frameAt(0).empty();
}

bool VideoFrames::open() {
    try {
        capture.open(path);
    } catch (const cv::Exception&) {
        capture.release();
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
            if (capture.read(frame) && !frame.empty()) {
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
