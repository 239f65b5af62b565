#pragma once

#include <QWidget>
#include <opencv2/core.hpp>

class FrameObserver;

// A frame source: a still image, a video or a camera. Never shown; the widget base only
// carries Qt's signals, slots and timers for the concrete sources.
class FrameModel : public QWidget {
    Q_OBJECT
public:
    FrameModel() = default;

    // The current frame (CV_8UC3, B,G,R), owned by the source; empty when none could be had.
    virtual cv::Mat getFrame() = 0;
    // Attaches the one observer and sends it newSource() at once.
    virtual void setObserver(FrameObserver* observer) = 0;
};
