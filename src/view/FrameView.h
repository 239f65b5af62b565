#pragma once

#include <QOpenGLWidget>
#include <opencv2/core.hpp>
#include <string>

#include "sources/FrameObserver.h"

class CalculationModel;

// Shows the model's current frame with the analysis overlay through OpenGL, one screen pixel
// per frame pixel: the widget is fixed to the frame size at every new source. In the
// configuration mode a left-button drag selects a rectangle whose colours the model records.
// Widget coordinates are frame coordinates (x rightwards, y downwards).
class FrameView : public QOpenGLWidget, public FrameObserver {
public:
    explicit FrameView(CalculationModel* model);

    void setConfiguring(bool on);
    // Shown in the empty view until the first frame arrives.
    void setPlaceholder(const QString& text) { placeholder = text; }

    void newFrame() override;
    void newSource() override;

    // Write the picture as shown (PNG unless the name says otherwise) and the recognition data
    // of the last analysis; false when the file could not be written.
    bool saveImage(const std::string& path) const;
    bool saveRecognitionData(const std::string& path) const;

    // The picture as shown, overlay included; empty before the first frame.
    const cv::Mat& getDisplayImage() const { return displayImage; }

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Takes a fresh copy of the model's frame and draws the overlay into it.
    bool takeFrame();
    void drawOverlay();

    CalculationModel* model;
    QString placeholder;
    cv::Mat displayImage;
    int selX0 = 0, selY0 = 0, selX1 = 0, selY1 = 0;
    bool dragging = false;
    bool configuring = false;
};
