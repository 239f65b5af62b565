#pragma once

// Drawing the analysis results over a picture of the analysed frame.
//
// Order, so that later shapes cover earlier ones: the analysed-area rectangle (red), then for
// every tooth with an accepted canal, in the result's order: every canal (red ellipse, green
// "Groesse: <area>px" label 10 px right of and above its centre), the tooth-type text (white,
// from the tooth's centre), the acceptance ellipse (green) and the tooth's own ellipse (white).
// With several teeth a text that would cover one written before is moved down below it.
// Lines are 1 px, 8-connected; text is Hershey plain at 0.8. Every ellipse lies along the axes it
// describes: the minor semi-axis is its first axis, turned by the measured angle, which cv::ellipse
// turns clockwise on screen, as the measurement turns the long axis from the downward vertical
// toward negative x (RegionMeasure.h).

#include <opencv2/core.hpp>
#include <string>

#include "analysis/FrameResult.h"

namespace quendra {

// A float as a default std::ostream writes it in the classic locale: six significant digits,
// no trailing zeros, exponent form from one million on.
std::string formatFloat(float value);

// Draws into `picture` (CV_8UC3, the analysed frame's size). The rectangle is drawn on every
// frame; the rest only when the analysis has results.
void drawResultOverlay(cv::Mat& picture, const FrameResult& result);

}  // namespace quendra
