#include "analysis/Calipers.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace quendra {

namespace {

// The corners of the first and last region pixel of every row: the hull of all pixel corners
// is the hull of these.
std::vector<cv::Point> rowEndCorners(const cv::Mat& mask) {
    std::vector<cv::Point> corners;
    for (int y = 0; y < mask.rows; ++y) {
        const std::uint8_t* row = mask.ptr<std::uint8_t>(y);
        int x0 = 0;
        while (x0 < mask.cols && !row[x0]) ++x0;
        if (x0 == mask.cols) continue;
        int x1 = mask.cols;  // one past the last region pixel: its right edge
        while (!row[x1 - 1]) --x1;
        for (const int x : {x0, x1})
            for (const int dy : {0, 1}) corners.emplace_back(x, y + dy);
    }
    return corners;
}

double distance(cv::Point a, cv::Point b) {
    return std::hypot(double(a.x - b.x), double(a.y - b.y));
}

}  // namespace

Calipers calipersOf(const cv::Mat& mask) {
    CV_CheckTypeEQ(mask.type(), CV_8UC1, "region masks are 8-bit single-channel images");
    const std::vector<cv::Point> corners = rowEndCorners(mask);
    if (corners.empty()) return {0, 0, 0};
    std::vector<cv::Point> hull;
    cv::convexHull(corners, hull);
    const std::size_t n = hull.size();
    double feretMax = 0;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            feretMax = std::max(feretMax, distance(hull[i], hull[j]));
    // The narrowest width has one caliper flush with a hull edge: per edge, the farthest
    // corner from its line.
    double feretMin = feretMax;
    for (std::size_t i = 0; i < n; ++i) {
        const cv::Point a = hull[i], b = hull[(i + 1) % n];
        const double length = distance(a, b);
        if (length == 0) continue;
        double widest = 0;
        for (const cv::Point& p : hull)
            widest = std::max(widest, std::abs(double(b.x - a.x) * (p.y - a.y) -
                                               double(b.y - a.y) * (p.x - a.x)) /
                                          length);
        feretMin = std::min(feretMin, widest);
    }
    return {feretMax, feretMin, cv::contourArea(hull)};
}

}  // namespace quendra
