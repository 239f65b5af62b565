#pragma once

// A slice's analysis as the canal tracker takes it.

#include "analysis/CanalTracking.h"
#include "analysis/ToothAnalysis.h"

namespace quendra {

// The last calculation of `analysis` as the roots of a section: root r the region of the r-th
// tooth of FrameResult::teeth() together with its accepted canals' pixels, and the accepted
// canals labelled 1, 2, ... over all teeth in that order (the first tooth's canals first),
// canalRoot naming each canal's root. With TeethChoice::Largest that is one root. Both
// pictures CV_16UC1. Without a calculation, empty pictures; without a tooth, pictures of the
// frame's size with no root.
SliceSection sectionOfAnalysis(const ToothAnalysis& analysis);
// The same from the calculation's result and the labels ToothAnalysis::paintLabels painted of
// it, for a caller that has painted them already.
SliceSection sectionOfLabels(const FrameResult& result, const cv::Mat& labels);

}  // namespace quendra
