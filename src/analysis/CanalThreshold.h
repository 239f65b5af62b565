#pragma once

// The automatic canal threshold: per tooth, the colour distance that best separates the canal
// colours from the tooth's own.
//
// The distances are those the canal search compares (B,G,R Euclidean, to the colour of the
// darkest pixel of the tooth's box), rounded down to whole units, over the tooth's inside: its
// filled outline within the box (ToothOutline.h), so that the canals, holes in the tooth
// region, count with it. Their histogram is split where two normal
// distributions fit it best, distances up to t and above t: Kittler and Illingworth's
// minimum-error threshold (Pattern Recognition 19, 1986), which minimises
//   P1 ln σ1 + P2 ln σ2 - P1 ln P1 - P2 ln P2
// over t, P the classes' shares of the pixels and σ their standard deviations. Unlike Otsu's
// between-class variance it holds when one class is small and narrow beside a wide one, as a
// canal of a few hundred pixels is in a tooth of thirty thousand: Otsu's split then halves the
// dentin instead. The threshold is t + 1, so that exactly the first class lies strictly below
// it.

#include <array>
#include <cstdint>
#include <opencv2/core.hpp>

namespace quendra {

// One bin per whole distance unit: no two B,G,R colours are 442 or more apart.
using DistanceHistogram = std::array<std::uint32_t, 442>;

// The t of the smallest criterion above, bins 0..t against t+1..; the smallest such t on a
// tie, 0 for a histogram with fewer than two filled bins. A class's variance is taken as at
// least 1/12 (the spread of one whole-unit bin).
int minimumErrorSplit(const DistanceHistogram& histogram);

// The minimum-error threshold (t + 1, at least 1) of the distances from `reference`'s colour over
// the pixels of `frame` (CV_8UC3) where `inside` (CV_8UC1, the frame's size) is not 0.
int automaticCanalThreshold(const cv::Mat& frame, cv::Point reference, const cv::Mat& inside);

}  // namespace quendra
