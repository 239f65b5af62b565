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

    // The current frame (CV_8UC3, B,G,R); empty when none could be had. A frame once handed
    // out is never written into again (the next one goes to a buffer of its own), so that
    // whoever takes it can keep it without a copy: a 4K frame is 25 MB.
    virtual cv::Mat getFrame() = 0;
    // Attaches the one observer and sends it newSource() at once.
    virtual void setObserver(FrameObserver* observer) = 0;
};
