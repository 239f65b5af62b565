#pragma once

// What the frame view put on the screen.

#include <QImage>
#include <QOpenGLWindow>
#include <QSignalSpy>
#include <opencv2/core.hpp>

#include "view/FrameView.h"

// The view read back after its next paint has reached the screen; null if none came.
inline QImage paintedView(FrameView* view) {
    QSignalSpy swapped(view, &QOpenGLWindow::frameSwapped);
    view->requestUpdate();
    if (!swapped.wait(5000)) return {};
    return view->readBack();
}

// At 1:1: the view's pixels over the frame whose colour is not that of the shown picture's
// pixel under them; -1 if the view could not be read back.
inline int pixelsUnlikeTheFrame(FrameView* view) {
    const QImage screen = paintedView(view).convertToFormat(QImage::Format_RGB888);
    if (screen.isNull()) return -1;
    const cv::Mat picture = view->shownPicture();
    int unlike = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            const cv::Point p(x - view->corner().x(), y - view->corner().y());
            if (!cv::Rect({}, picture.size()).contains(p)) continue;
            const cv::Vec3b bgr = picture.at<cv::Vec3b>(p);
            unlike += screen.pixelColor(x, y) != QColor(bgr[2], bgr[1], bgr[0]);
        }
    return unlike;
}
