#pragma once

// Where a frame's pixels lie in the view. The frame is shown at a scale (screen pixels per
// frame pixel) with its top left corner at the view's point `origin`: negative when scrolled
// away, centred when the view is larger than the frame. x runs rightwards and y downwards in
// both, and frame pixel (x, y) covers the view's half-open square
// [origin + x·s, origin + (x+1)·s) in each direction.

#include <QPoint>
#include <QPointF>
#include <QSize>

// The frame pixel under a point of the view, also outside the frame.
QPoint frameAt(QPointF viewPoint, double scale, QPoint origin);

// The frame's size on the screen at a scale, in whole pixels, at least one.
QSize shownSize(QSize frame, double scale);

// Where the frame's corner lies in a view of size `view`: centred on an axis where the shown
// frame is smaller, else at minus the scroll position.
QPoint frameOrigin(QSize shown, QSize view, QPoint scroll);

// The largest scale at which the whole frame fits into `area`; 1 for an empty frame.
double fitScale(QSize frame, QSize area);

// The zoom levels are the powers of √2 (1:1 among them). The level `steps` above a scale
// (below for negative steps), counted from the level next to it; a scale between two levels
// (one that fits the frame) counts from the next one in the direction of the step. Kept
// within [kMinScale, kMaxScale].
double zoomedScale(double scale, int steps);

inline constexpr double kMinScale = 1.0 / 16;
inline constexpr double kMaxScale = 8;
