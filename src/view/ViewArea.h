#pragma once

#include <QAbstractScrollArea>

class FrameView;

// The frame view in a scrolled area. The area takes the shown frame's whole size while it fits
// the room it is given, so that a frame that fits the screen is shown exactly as large as it
// is, with nothing around it; beyond, it scrolls. The frame is shown 1:1 (the default), at a
// zoom level, or fitted into the area; Ctrl with the mouse wheel zooms about the pointer.
class ViewArea : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Shows the view as its viewport, through a window container that it owns.
    explicit ViewArea(FrameView* view);

    FrameView* view() const { return frameView; }

    // The most the area may take (the screen's free room less the window's other parts).
    void setRoom(QSize room);

    void zoomIn();
    void zoomOut();
    void showActualSize();
    void fitToArea();
    bool isFitting() const { return fitting; }

    QSize sizeHint() const override;

signals:
    // After every change of the scale; `fitting` while it follows the area's size.
    void zoomChanged(double scale, bool fitting);
    // After the first frame of a new source came to the view: the area's bounds changed.
    void sourceShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // Sets the scale, keeping the frame point under `anchor` (a point of the view) in place.
    void zoomTo(double scale, QPoint anchor);
    // Scroll ranges and the frame's place in the view, after any change.
    void relayout();
    // The area's least and greatest size, from the room and the shown frame.
    void updateBounds();

    FrameView* frameView;
    double scale = 1;
    QSize room{QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    bool fitting = false;
};
