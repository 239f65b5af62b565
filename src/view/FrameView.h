#pragma once

#include <QOpenGLWindow>
#include <functional>
#include <opencv2/core.hpp>

#include "analysis/FrameResult.h"
#include "sources/FrameObserver.h"

class CalculationModel;

struct ShownFrame {
    cv::Mat picture;
    quendra::FrameResult result;
};

class QOpenGLExtraFunctions;
class QOpenGLFunctions_1_1;

// Shows the model's current frame with the analysis overlay through OpenGL, at a scale (one
// screen pixel per frame pixel at 1, the default) and scrolled where it is larger than the
// view. The overlay is drawn into a frame-sized copy, so it is exact at any scale, and that
// copy is what is saved. In the configuration mode a left-button drag selects the frame
// pixels under it, whose colours the model records.
//
// A window of its own, placed in the main window through a window container, as an OpenGL
// widget once was: it draws straight to the screen. (An offscreen-rendered widget would have
// every frame composed into the main window once more, which on a software renderer costs
// more than reading and analysing the frame.) The frame goes to one texture, made when the GL
// context is and refilled in place only when a new frame arrives, in the driver's own pixel
// layout (B,G,R,A bytes), so nothing is converted on the way. A paint at 1:1 copies the
// texture into the window; other scales draw it on a quad.
class FrameView : public QOpenGLWindow, public FrameObserver {
public:
    explicit FrameView(CalculationModel* model);
    ~FrameView() override;

    void setConfiguring(bool on);
    // Shown in the empty view until the first frame arrives.
    void setPlaceholder(const QString& text) { placeholder = text; }
    // Called after every new source, whose frame may have another size.
    void setSourceChanged(std::function<void()> call) { sourceChanged = std::move(call); }

    // How the frame lies in the view: screen pixels per frame pixel, and the view point of its
    // top left corner (ViewMapping.h).
    void place(double scale, QPoint origin);
    double scale() const { return shownScale; }
    QPoint corner() const { return origin; }
    // Of the frame shown; empty before the first frame.
    QSize frameSize() const { return {displayImage.cols, displayImage.rows}; }

    void newFrame() override;
    void newSource() override;

    // The picture as shown, frame-sized whatever the scale, overlay included (B,G,R), and the
    // analysis drawn into it: one frame's pair, which saving the view writes however the
    // frames go on. Empty before the first frame.
    ShownFrame shown() const { return {shownPicture(), shownResult}; }
    cv::Mat shownPicture() const;
    // The view as it stands, drawn afresh and read back from the framebuffer (the buffer last
    // shown cannot be read back: a window's is undefined once swapped to the screen).
    QImage readBack();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Takes a fresh copy of the model's frame and draws the overlay into it.
    bool takeFrame();
    void drawOverlay();
    void upload(const cv::Mat& picture);
    bool copyOneToOne(QSize frame, QPoint corner);
    void drawPlaceholder();
    // The frame pixel under the mouse.
    QPoint framePointOf(const QMouseEvent* event) const;

    CalculationModel* model;
    QString placeholder;
    std::function<void()> sourceChanged;
    cv::Mat displayImage;              // CV_8UC4, B,G,R and alpha: the texture's layout
    quendra::FrameResult shownResult;  // the analysis drawn into displayImage
    cv::Mat placeholderImage;          // the hint, while there is no frame
    double shownScale = 1;
    QPoint origin;
    QOpenGLFunctions_1_1* gl = nullptr;
    QOpenGLExtraFunctions* blit = nullptr;  // null without framebuffer objects
    unsigned texture = 0;
    unsigned textureFramebuffer = 0;  // reads the texture for copies
    QSize textureSize;
    bool textureStale = true;
    int selX0 = 0, selY0 = 0, selX1 = 0, selY1 = 0;
    bool dragging = false;
    bool configuring = false;
};
