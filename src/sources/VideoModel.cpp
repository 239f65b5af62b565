#include "sources/VideoModel.h"

#include "sources/FrameObserver.h"

namespace {
constexpr int kFallbackFps = 25;
}

VideoModel::VideoModel(const std::string& path) {
    try {
        capture.open(path);
    } catch (const cv::Exception&) {
        capture.release();
    }
    if (capture.isOpened()) {
        frameCount = static_cast<int>(capture.get(cv::CAP_PROP_FRAME_COUNT));
        fps = static_cast<int>(capture.get(cv::CAP_PROP_FPS));
    }
    if (fps <= 0) fps = kFallbackFps;
    timer.setInterval(1000 / fps);
    connect(&timer, &QTimer::timeout, this, &VideoModel::nextFrame);
    valid = frameCount >= 1 && readAt(0);
}

bool VideoModel::readAt(int index) {
    if (index == decoded) return true;
    try {
        if (index != nextRead) capture.set(cv::CAP_PROP_POS_FRAMES, index);
        if (capture.read(frame) && !frame.empty()) {
            decoded = index;
            nextRead = index + 1;
            return true;
        }
    } catch (const cv::Exception&) {
    }
    // A broken frame: the next read seeks afresh.
    frame.release();
    decoded = nextRead = -1;
    return false;
}

cv::Mat VideoModel::getFrame() {
    if (!readAt(position)) return {};
    return frame;
}

void VideoModel::setObserver(FrameObserver* o) {
    observer = o;
    observer->newSource();
}

void VideoModel::moveTo(int index) {
    position = frameCount > 0 ? ((index % frameCount) + frameCount) % frameCount : 0;
    if (observer) observer->newFrame();
    emit frameChanged(position);
}

void VideoModel::setFrame(int index) { moveTo(index); }

void VideoModel::nextFrame() { moveTo(position + 1); }

void VideoModel::prevFrame() { moveTo(position - 1); }

void VideoModel::togglePlaying() {
    if (playing) timer.stop();
    else timer.start();
    playing = !playing;
}
