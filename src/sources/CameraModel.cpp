#include "sources/CameraModel.h"

#include "sources/FrameObserver.h"

bool CameraModel::inUse = false;

namespace {

CameraModel::CaptureOpener& opener() {
    static CameraModel::CaptureOpener open = [](int index) {
        return std::make_unique<cv::VideoCapture>(index);
    };
    return open;
}

}  // namespace

void CameraModel::setCaptureOpener(CaptureOpener o) {
    opener() = std::move(o);
}

CameraModel::CameraModel(int index) {
    try {
        capture = opener()(index);
    } catch (const cv::Exception&) {
        capture.reset();
    }
    if (capture && !capture->isOpened()) capture.reset();
    inUse = capture != nullptr;
    timer.setInterval(kInterval);
    connect(&timer, &QTimer::timeout, this, &CameraModel::nextFrame);
}

CameraModel::~CameraModel() {
    inUse = false;
}

cv::Mat CameraModel::getFrame() {
    try {
        if (capture && capture->read(frame) && !frame.empty()) return frame;
    } catch (const cv::Exception&) {
    }
    return {};
}

void CameraModel::setObserver(FrameObserver* o) {
    observer = o;
    observer->newSource();
    timer.start();
}

void CameraModel::nextFrame() {
    if (observer) observer->newFrame();
}
