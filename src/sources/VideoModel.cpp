#include "sources/VideoModel.h"

#include <algorithm>

#include "sources/FrameObserver.h"

VideoModel::VideoModel(const std::string& path) {
    if (quendra::isTiffName(path)) {
        stack.emplace(path);
        valid = stack->status() == quendra::PictureStatus::Ok &&
                stack->frameAt(0).status == quendra::PictureStatus::Ok;
    } else {
        video.emplace(path);
        valid = video->isValid();
    }
    const double rate = stack ? quendra::VideoFrames::kFallbackFps : video->rate();
    timer.setInterval(std::max(kMinInterval, static_cast<int>(1000 / rate)));
    connect(&timer, &QTimer::timeout, this, &VideoModel::nextFrame);
}

cv::Mat VideoModel::getFrame() {
    return stack ? stack->frameAt(position).frame : video->frameAt(position);
}

void VideoModel::setObserver(FrameObserver* o) {
    observer = o;
    observer->newSource();
}

void VideoModel::setFrame(int index) {
    const int count = getFrameCount();
    position = count > 0 ? ((index % count) + count) % count : 0;
    if (observer) observer->newFrame();
    emit frameChanged(position);
}

void VideoModel::nextFrame() {
    setFrame(position + 1);
}

void VideoModel::prevFrame() {
    setFrame(position - 1);
}

void VideoModel::togglePlaying() {
    if (playing)
        timer.stop();
    else
        timer.start();
    playing = !playing;
}
