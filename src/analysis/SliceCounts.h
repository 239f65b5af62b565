#pragma once

// What the canal tracker counts in one pass over a slice (CanalTracking.cpp): the pixels of
// every root and canal, the roots' overlaps with those of the previous slice, and the canals
// of the previous slice each canal reaches.

#include <cstddef>
#include <map>
#include <opencv2/core.hpp>
#include <set>
#include <utility>
#include <vector>

namespace quendra {

// By label, 0 for none.
struct SliceCounts {
    std::vector<long long> rootPixels;
    std::vector<long long> canalPixels;
    std::vector<cv::Point2d> canalSums;                // of the canal's pixels' coordinates
    std::map<std::pair<int, int>, long long> overlap;  // (previous root, root) -> pixels
    std::set<std::pair<int, int>> reach;               // (previous canal, canal)
};

// `roots` and `canals` are the slice's 16-bit labels (up to `rootCount` and `canalCount`),
// `previousRoots` and `previousCanals` those of the previous slice, empty for the first; a
// canal reaches a previous canal within `tolerancePx` pixels.
SliceCounts countSlice(const cv::Mat& roots, const cv::Mat& canals, const cv::Mat& previousRoots,
                       const cv::Mat& previousCanals, int rootCount, std::size_t canalCount,
                       int tolerancePx);

// By root label: whether the slice shows the root, by its own pixels or by a canal in it
// (`canalRoot[c - 1]` the root of canal c).
std::vector<char> presentRoots(const SliceCounts& counts, const std::vector<int>& canalRoot);

}  // namespace quendra
