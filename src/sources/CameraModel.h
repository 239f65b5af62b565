#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <opencv2/videoio.hpp>

#include "sources/FrameModel.h"

// A live camera: once attached it notifies its observer every 40 ms, and each getFrame()
// grabs a fresh frame. At most one camera source holds the camera at a time (isInUse()).
class CameraModel : public FrameModel {
    Q_OBJECT
public:
    // Opens capture devices; tests stand a video file in for the camera.
    using CaptureOpener = std::function<std::unique_ptr<cv::VideoCapture>(int index)>;
    static void setCaptureOpener(CaptureOpener opener);

    static constexpr int kInterval = 40;  // milliseconds

    explicit CameraModel(int index);
    ~CameraModel() override;

    // True while the most recently made camera source holds an open capture.
    static bool isInUse() { return inUse; }

    // A fresh frame; empty when the camera delivered none (the last one then stays on screen).
    cv::Mat getFrame() override;
    void setObserver(FrameObserver* observer) override;

private slots:
    void nextFrame();

private:
    static bool inUse;

    QTimer timer;
    std::unique_ptr<cv::VideoCapture> capture;
    FrameObserver* observer = nullptr;
    cv::Mat frame;
};
