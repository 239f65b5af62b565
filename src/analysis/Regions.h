#pragma once

// Connected regions of a mask (0 = foreground, 255 = background) with their statistics.
//
// Pipeline: encode the mask into runs (RunEncoder), join runs of consecutive rows that share a
// column by union-find over the run array (mergeRuns), then add up each region's area, sums,
// extent and second moments in closed formulas per run (accumulateRegions). Regions are
// 4-connected: pixels touching only at a corner belong to different regions. They are numbered
// from 0 in the order of their first pixel in scan order (top row first, leftmost first).
//
// Coordinates: x is the column (rightwards), y the row (downwards), in pixels.

#include <opencv2/core.hpp>
#include <vector>

#include "analysis/RunEncoder.h"

namespace quendra {

// Sums in double precision: exact for every frame size (integers below 2^53), so the central
// moments agree with an independent moment computation to rounding.
struct Region {
    double area;  // number of pixels
    double sumX;  // sum of the columns of the pixels
    double sumY;  // sum of the rows of the pixels
    // Central second moments about the exact centroid (x̄, ȳ) = (sumX, sumY) / area, each pixel
    // taken as the point at its centre, both axes alike (as cv::moments' mu11, mu20, mu02);
    // 0 until accumulateMoments ran; pixel units squared. A region one pixel wide has sumXX 0.
    double sumXY;                // sum of (x - x̄)(y - ȳ)
    double sumXX;                // sum of (x - x̄)²
    double sumYY;                // sum of (y - ȳ)²
    int minX, minY, maxX, maxY;  // extent, inclusive
};

// Clears and refills `regions` from `mask` (CV_8UC1; padding bytes past the width never read).
// `runs` receives the run array, valid until the encoder's next encoding. Returns the number of
// runs (not regions); 0 when the mask has no foreground pixel. A mask that is a part of a
// picture given with its `origin` there gives runs and regions in the picture's coordinates.
int labelRegions(const cv::Mat& mask, std::vector<Region>& regions, RunEncoder& encoder, Run*& runs,
                 bool computeMoments, cv::Point origin = {});

// Joins every run with the runs of the row above that share at least one column.
void mergeRuns(Run* runs, int count);

// Follows parents to the root and points every run on the way straight at it.
Run* findRoot(Run* run);

// Joins the trees of `later` and `earlier`; the root lying earlier in the array stays root.
void uniteRuns(Run* later, Run* earlier);

// Appends one region per root run and sets every run's region; then, if asked, the moments.
void accumulateRegions(std::vector<Region>& regions, Run* runs, int count, bool computeMoments);

// Adds the three second-moment fields; needs the areas and sums of accumulateRegions.
void accumulateMoments(std::vector<Region>& regions, const Run* runs, int count);

// Index of the region with the greatest area, the earliest on a tie; 0 for an empty list.
int largestRegion(const std::vector<Region>& regions);

// (minX, minY, maxX - minX, maxY - minY): width and height are the plain differences, so a
// region one column wide has width 0.
cv::Rect boundingBox(const Region& region);

}  // namespace quendra
