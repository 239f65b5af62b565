#pragma once

// Scanning a B,G,R frame by colour over a rectangle, into a mask or a position.
//
// Frames are CV_8UC3 in B, G, R order; masks are CV_8UC1 of the frame's size with 0 on the
// selected pixels and 255 elsewhere. Rectangles are half-open, columns x0..x1-1 and rows
// y0..y1-1, scanned rows outer and columns inner; x grows rightwards, y downwards. A rectangle
// reaching outside the frame is clipped to it. Frames or masks of another type or size are
// refused with cv::Exception before any pixel is read.

#include <cstdint>
#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "colour/KDTree.h"

namespace quendra {

// Classification cache: 2^24 bytes indexed by colour key. An entry with its high bit set means
// not yet classified; 0..127 is the cached class. A class of 255 is therefore never cached and
// is asked of the tree again at every lookup.
//
// Gives every pixel of a row of `n` B,G,R pixels its class in the cache: the low byte of the
// tree's answer (0 without a tree) for each colour whose entry has its high bit set. The
// colours are put to the tree together, each once, which is faster than one by one; the cache
// ends as it would after asking for the pixels in order. `pending` is scratch space.
void classifyRowIntoCache(const std::uint8_t* bgr, int n, std::uint8_t* cache, const KDTree* tree,
                          int threshold, std::vector<int>& pending);

// Sets the whole mask to 255, then 0 on every pixel of the rectangle whose class (read through
// the cache, asked of the tree on first sight) equals `classId`. Without a tree every colour
// classifies as 0.
void classifyPixels(const cv::Mat& frame, int classId, std::uint8_t* cache, const KDTree* tree,
                    int threshold, cv::Mat& mask, int x0, int y0, int x1, int y1);

// Position (x, y) of the pixel with the smallest B+G+R in the rectangle; the first in scan order
// on a tie. Empty rectangle: no position.
std::optional<cv::Point> findDarkestPixel(const cv::Mat& frame, int x0, int y0, int x1, int y1);

// Sets the whole mask to 255, then 0 on every pixel of the rectangle whose squared B,G,R
// distance to the reference pixel (rx, ry truncated toward zero, which must lie in the frame)
// is strictly below distance². Distance 0 marks nothing.
void colorDistanceMask(const cv::Mat& frame, double rx, double ry, int distance, cv::Mat& mask,
                       int x0, int y0, int x1, int y1);

// The rectangle x0,y0,x1,y1 clipped to a frame of the given size; empty if nothing is left.
cv::Rect clipRect(cv::Size frame, int x0, int y0, int x1, int y1);

}  // namespace quendra
