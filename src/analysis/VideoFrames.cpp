#include "analysis/VideoFrames.h"

namespace quendra {

VideoFrames::VideoFrames(const std::string& path) {
    try {
        capture.open(path);
    } catch (const cv::Exception&) {
        capture.release();
    }
    if (!capture.isOpened()) return;
    count = static_cast<int>(capture.get(cv::CAP_PROP_FRAME_COUNT));
    const int reported = static_cast<int>(capture.get(cv::CAP_PROP_FPS));
    if (reported > 0) rate = reported;
    valid = count >= 1 && !frameAt(0).empty();
}

const cv::Mat& VideoFrames::frameAt(int index) {
    if (index == decoded) return frame;
    try {
        if (index != nextRead) capture.set(cv::CAP_PROP_POS_FRAMES, index);
        if (capture.read(frame) && !frame.empty()) {
            decoded = index;
            nextRead = index + 1;
            return frame;
        }
    } catch (const cv::Exception&) {
    }
    // A broken frame: the next read seeks afresh.
    frame.release();
    decoded = nextRead = -1;
    return frame;
}

}  // namespace quendra
