#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <opencv2/videoio.hpp>

#include "sources/CameraControls.h"
#include "sources/CameraSettings.h"
#include "sources/FrameGrabber.h"
#include "sources/FrameModel.h"

// A live camera. Its frames are read on a thread of their own (FrameGrabber); each one
// delivered notifies the observer on this object's thread, and getFrame() takes the newest:
// a chain slower than the camera shows no stale frame, it leaves out those it had no time for
// (framesMissed). At most one camera source holds the camera at a time (isInUse()).
class CameraModel : public FrameModel {
    Q_OBJECT
public:
    // Opens capture devices; tests stand other captures in for the camera.
    using CaptureOpener = std::function<std::unique_ptr<cv::VideoCapture>(const CameraSettings&)>;
    static void setCaptureOpener(CaptureOpener opener);
    // How long opening waits for the camera's first frame.
    static constexpr int kFirstFrameWait = 2000;  // milliseconds

    explicit CameraModel(const CameraSettings& settings = {});
    ~CameraModel() override;

    // True while the most recently made camera source holds an open capture.
    static bool isInUse() { return inUse; }
    bool isOpen() const { return grabber != nullptr; }
    // Why the camera did not open.
    CameraFault fault() const { return openFault; }
    const CameraSettings& settings() const { return chosen; }
    const CameraDelivery& delivery() const { return delivered; }
    const CameraControlSupport& controls() const { return support; }
    // Sets the exposure and white-balance controls as `settings` has them, before the next read.
    void applyControls(const CameraSettings& settings);

    // The newest frame; the one taken before while no newer came, empty before the first.
    cv::Mat getFrame() override;
    void setObserver(FrameObserver* observer) override;

    std::int64_t framesDelivered() const { return grabber ? grabber->delivered() : 0; }
    std::int64_t framesTaken() const { return taken; }
    // Frames delivered after one taken and before the next: those the chain could not take.
    std::int64_t framesMissed() const { return missed; }
    // Of the frame taken last, counted from the camera's first; -1 before it.
    std::int64_t frameNumber() const { return number; }

    // Stops the camera and frees the device; the frame taken last stays.
    void close();

private:
    void deliver();

    static bool inUse;

    CameraSettings chosen;
    CameraFault openFault = CameraFault::None;
    CameraDelivery delivered;
    CameraControlSupport support;
    FrameObserver* observer = nullptr;
    cv::Mat frame;
    std::int64_t number = -1;
    std::int64_t taken = 0;
    std::int64_t missed = 0;
    std::atomic<bool> pending{false};       // a notification is on its way to this thread
    std::unique_ptr<FrameGrabber> grabber;  // last: its thread stops first
};
