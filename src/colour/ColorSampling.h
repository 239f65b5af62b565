#pragma once

// Training and previewing the colour classes on a frame.
//
// Frames are CV_8UC3 B,G,R; rectangles are half-open (columns x0..x1-1, rows y0..y1-1) and
// clipped to the frame, so a rectangle with x1 <= x0 or y1 <= y0 marks nothing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <opencv2/core.hpp>

namespace quendra {

class ClassCache;
class KDTree;

// Records the colours of the rectangle in `table` (2^24 bytes by colour key): an unpicked
// colour (0) takes `classId`, a colour of that class keeps it, and a colour of another class,
// or already 255, becomes 255 (conflict). `counts` (how many keys hold each value) follows
// every entry that changes, so that no one has to count the whole table after a pick.
void markSamples(const cv::Mat& frame, std::uint8_t* table, std::array<std::size_t, 256>& counts,
                 std::uint8_t classId, int x0, int y0, int x1, int y1);

// Clears `cache`, classifies every pixel of `frame` through it and the tree, and paints
// `preview` (same size and type, holding a copy of the frame): class 1 white, class 2 red,
// class 3 black; any other class keeps the frame's colour.
void paintPreview(const cv::Mat& frame, const KDTree& tree, ClassCache& cache, int threshold,
                  cv::Mat& preview);

}  // namespace quendra
