#pragma once

// How the slices of a stack become the 8-bit B,G,R frames the analysis reads.
//
// 8-bit slices are taken as they are (grey repeated into B, G and R). 16-bit slices are mapped
// by one grey window for the whole stack, never slice by slice, so that one material keeps one
// grey level through the stack: raw `low` and below become 0, `high` and above 255, linearly
// between, rounded to the nearest level.

#include <opencv2/core.hpp>

#include "io/SliceStack.h"

namespace quendra {

struct GreyWindow {
    double low = 0;       // raw value mapped to 0
    double high = 65535;  // raw value mapped to 255; above low
};

// The window from percentiles of a sample of the stack's slices: up to `samples` slices evenly
// spread from the first to the last, all samples of their pixels (every channel) pooled; `low`
// is the lowPercent-th percentile, `high` the highPercent-th (the smallest value with at least
// that share of the samples at or below it), high raised to low + 1 where they meet. Slices that
// cannot be read, and 8-bit ones, are left out; without any 16-bit slice, the whole range.
// The defaults clip the rarest 0.5 % at either end: enough to ignore hot pixels and metal
// streaks, too little to clip a canal or the tooth.
GreyWindow sampledWindow(SliceStack& stack, int samples = 16, double lowPercent = 0.5,
                         double highPercent = 99.5);

// The frame of `slice` (a SliceRead's slice) for the analysis: CV_8UC3, B,G,R.
cv::Mat frameOfSlice(const cv::Mat& slice, const GreyWindow& window);

}  // namespace quendra
