#pragma once

// A slice's analysis as the canal tracker takes it.

#include "analysis/CanalTracking.h"
#include "analysis/ToothAnalysis.h"

namespace quendra {

// The last calculation of `analysis` as one root: the tooth's region with its accepted canals
// (root 1), and the accepted canals labelled 1, 2, ... in the analysis' order. Without a
// calculation, empty pictures; without a tooth, pictures of the frame's size with no root.
SliceSection sectionOfAnalysis(const ToothAnalysis& analysis);

}  // namespace quendra
