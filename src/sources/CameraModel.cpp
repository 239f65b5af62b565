#include "sources/CameraModel.h"

#include <algorithm>

#include "sources/CameraDevice.h"
#include "sources/FrameObserver.h"

bool CameraModel::inUse = false;

namespace {

CameraModel::CaptureOpener& opener() {
    static CameraModel::CaptureOpener open = camera::open;
    return open;
}

std::string backendOf(const cv::VideoCapture& capture) {
    try {
        return capture.getBackendName();
    } catch (const cv::Exception&) {
        return {};
    }
}

// The format as the device reports it; the size comes from the first frame.
CameraDelivery reportedDelivery(const cv::VideoCapture& capture) {
    CameraDelivery d;
    try {
        d.pixelFormat = camera::fourccText(capture.get(cv::CAP_PROP_FOURCC));
        d.framesPerSecond = std::max(0.0, capture.get(cv::CAP_PROP_FPS));
    } catch (const cv::Exception&) {
    }
    return d;
}

}  // namespace

void CameraModel::setCaptureOpener(CaptureOpener o) {
    opener() = std::move(o);
}

CameraModel::CameraModel(const CameraSettings& settings) : chosen(settings) {
    std::unique_ptr<cv::VideoCapture> capture;
    try {
        capture = opener()(settings);
    } catch (const cv::Exception&) {
    }
    inUse = capture && capture->isOpened();
    if (!inUse) {
        openFault = camera::faultOf(settings);
        return;
    }
    delivered = reportedDelivery(*capture);
    support = camera::probeControls(*capture, backendOf(*capture));
    camera::applyControls(*capture, settings, support);
    grabber = std::make_unique<FrameGrabber>(std::move(capture), [this] {
        if (!pending.exchange(true))
            QMetaObject::invokeMethod(this, &CameraModel::deliver, Qt::QueuedConnection);
    });
    if (grabber->waitForFirst(std::chrono::milliseconds(kFirstFrameWait))) {
        getFrame();
        delivered.width = frame.cols;
        delivered.height = frame.rows;
    }
}

CameraModel::~CameraModel() {
    close();
}

void CameraModel::close() {
    if (grabber) inUse = false;
    grabber.reset();
}

void CameraModel::applyControls(const CameraSettings& settings) {
    chosen = settings;
    if (grabber)
        grabber->adjust([settings, support = support](cv::VideoCapture& capture) {
            camera::applyControls(capture, settings, support);
        });
}

cv::Mat CameraModel::getFrame() {
    if (!grabber) return frame;
    FrameGrabber::Frame newest = grabber->takeNewest();
    if (newest.picture.empty()) return frame;
    missed += newest.number - number - 1;
    number = newest.number;
    ++taken;
    frame = std::move(newest.picture);
    return frame;
}

void CameraModel::setObserver(FrameObserver* o) {
    observer = o;
    observer->newSource();
}

// The frame came meanwhile may already have been taken (a setting changed on the way): then
// there is nothing new to pass on.
void CameraModel::deliver() {
    pending = false;
    if (observer && grabber && grabber->hasNewest()) observer->newFrame();
}
