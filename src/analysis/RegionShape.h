#pragma once

// Shape measures of a region beyond its equivalent ellipse, as studies of root-canal cross
// sections report them.
//
//  perimeter    length of the region's outer contour in pixels: the 8-connected chain through
//               the centres of its boundary pixels, straight steps 1 and diagonal steps √2, as
//               OpenCV's findContours and arcLength give it. Holes do not count; a region of
//               one pixel has 0, and a line one pixel thick is walked there and back.
//  circularity  4πA / P², A the pixel count: 1 for an ideal disc, smaller the less round. The
//               contour runs through pixel centres while A counts whole pixels, so a small round
//               region can come out slightly above 1. Undefined (NaN) for P = 0.
//  aspectRatio  major / minor semi-axis of the equivalent ellipse (RegionMeasure.h); NaN for a
//               minor semi-axis of 0.
//  shape        "round" for a ratio below 2, "oval" from 2 to 4, "flat" above 4 (the
//               cross-section classes of endodontic studies); empty for an undefined ratio.

#include <opencv2/core.hpp>

namespace quendra {

struct RegionShape {
    double perimeter;
    double circularity;
    double aspectRatio;
    const char* shape;
};

// `mask` is CV_8UC1, non-zero on the region's pixels and zero elsewhere, with the region one
// 4-connected piece.
RegionShape shapeOf(const cv::Mat& mask, double area, double majorAxis, double minorAxis);

// The class of an aspect ratio: "round", "oval", "flat", or "" when it is undefined.
const char* shapeClass(double aspectRatio);

}  // namespace quendra
