#pragma once

#include <QOpenGLWindow>
#include <functional>
#include <opencv2/core.hpp>
#include <utility>

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
// view. In the configuration mode a left-button drag selects the frame pixels under it, whose
// colours the model records.
//
// A window of its own, placed in the main window through a window container, as an OpenGL
// widget once was: it draws straight to the screen. (An offscreen-rendered widget would have
// every frame composed into the main window once more, which on a software renderer costs
// more than reading and analysing the frame.) A new frame is painted at once. The view keeps
// the model's frame as it is and makes only the part it shows: at 1:1 the part inside the view
// (of a 4K frame on a smaller screen, a quarter or so), at other scales all of it. That part
// goes into a canvas of the frame's size in the driver's own pixel layout (B,G,R,A bytes), with
// the overlay drawn over the whole canvas so that it is exact, and from there into one texture
// of the frame's size, made once per size. A paint at 1:1 copies the texture's part into the
// window; other scales draw the texture on a quad. The picture saved, frame-sized with the
// overlay, is made when asked for.
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
    QSize frameSize() const { return {picture.cols, picture.rows}; }

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
    // Takes the model's frame and what is drawn over it.
    bool takeFrame();
    void paintNow();
    void drawOverlay(cv::Mat& image) const;
    // Fills `part` of the canvas (frame pixels) with the picture and the overlay.
    void paintCanvas(const QRect& part);
    // Copies `part` of `image` (CV_8UC4) into the same place of the texture.
    void upload(const cv::Mat& image, const QRect& part);
    // Whether a paint at `scale` copies the texture into the window rather than drawing a quad.
    bool copiesOneToOne(double scale) const;
    // The part of an image of size `image`, placed at `corner`, that a paint at `scale` shows.
    QRect partNeeded(QSize image, double scale, QPoint corner) const;
    void copyOneToOne(const QRect& part, QPoint corner);
    void drawQuad(QSize shown, QPoint corner, double scale);
    void drawPlaceholder();
    // The frame pixel under the mouse.
    QPoint framePointOf(const QMouseEvent* event) const;

    CalculationModel* model;
    QString placeholder;
    std::function<void()> sourceChanged;
    cv::Mat picture;  // the model's frame, or the colours' preview; shared, never written
    quendra::FrameResult shownResult;
    bool resultDrawn = false;     // the result's overlay, outside the configuration mode
    bool selectionDrawn = false;  // the rectangle being dragged
    std::pair<cv::Point, cv::Point> selection;
    cv::Mat canvas;  // CV_8UC4, B,G,R and alpha: the texture's layout; or the hint, without frame
    double shownScale = 1;
    QPoint origin;
    QOpenGLFunctions_1_1* gl = nullptr;
    QOpenGLExtraFunctions* blit = nullptr;  // null without framebuffer objects
    unsigned texture = 0;
    unsigned textureFramebuffer = 0;  // reads the texture for copies
    QSize textureSize;
    QRect textureHolds;  // the part of the current picture the texture holds
    int selX0 = 0, selY0 = 0, selX1 = 0, selY1 = 0;
    bool dragging = false;
    bool configuring = false;
};
