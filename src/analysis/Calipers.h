#pragma once

// Caliper (Feret) measures of a region, each pixel taken as the unit square it covers: the
// region's outline is the convex hull of its pixels' corners, so a single pixel measures 1
// across and a 2 x 31 bar measures 2 across whichever way it lies.
//
//  feretMax  the longest caliper distance: the largest distance between two hull corners,
//            pixels (a 2 x 31 bar: its diagonal, √965 ≈ 31.06)
//  feretMin  the narrowest caliper width: the smallest distance between two parallel lines
//            that hold the hull between them, pixels (found with one line along a hull edge,
//            as rotating calipers do; a 2 x 31 bar: 2)
//  hullArea  the area of that hull, square pixels (a filled rectangle: its pixel count)
//
// An empty mask gives 0 for all three.

#include <opencv2/core.hpp>

namespace quendra {

struct Calipers {
    double feretMax;
    double feretMin;
    double hullArea;
};

// `mask` is CV_8UC1, non-zero on the region's pixels; pixel (x, y) covers [x, x+1] x [y, y+1].
Calipers calipersOf(const cv::Mat& mask);

}  // namespace quendra
