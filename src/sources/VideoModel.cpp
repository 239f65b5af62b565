#include "sources/VideoModel.h"

#include <algorithm>

#include "sources/FrameObserver.h"

VideoModel::VideoModel(const std::string& path) : frames(path) {
    timer.setInterval(std::max(kMinInterval, static_cast<int>(1000 / frames.rate())));
    connect(&timer, &QTimer::timeout, this, &VideoModel::nextFrame);
}

void VideoModel::setObserver(FrameObserver* o) {
    observer = o;
    observer->newSource();
}

void VideoModel::setFrame(int index) {
    const int count = frames.frameCount();
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
