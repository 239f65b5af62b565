#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "analysis/Calipers.h"

namespace quendra {
namespace {

// Every corner of every pixel of the mask: the outline the calipers hold, taken whole.
std::vector<cv::Point2d> allCorners(const cv::Mat& mask) {
    std::vector<cv::Point2d> corners;
    for (int y = 0; y < mask.rows; ++y)
        for (int x = 0; x < mask.cols; ++x)
            if (mask.at<uchar>(y, x))
                for (const int dx : {0, 1})
                    for (const int dy : {0, 1}) corners.emplace_back(x + dx, y + dy);
    return corners;
}

// Brute force: the width of the corners' projection on directions a hundredth of a degree
// apart (narrowest and widest), and the largest distance of two corners.
struct Sweep {
    double narrowest = INFINITY;
    double farthest = 0;
};
Sweep sweep(const cv::Mat& mask) {
    const std::vector<cv::Point2d> corners = allCorners(mask);
    Sweep s;
    for (int step = 0; step < 18000; ++step) {
        const double a = step * CV_PI / 18000;
        double lo = INFINITY, hi = -INFINITY;
        for (const cv::Point2d& p : corners) {
            const double t = p.x * std::cos(a) + p.y * std::sin(a);
            lo = std::min(lo, t), hi = std::max(hi, t);
        }
        s.narrowest = std::min(s.narrowest, hi - lo);
    }
    for (std::size_t i = 0; i < corners.size(); ++i)
        for (std::size_t j = i + 1; j < corners.size(); ++j)
            s.farthest = std::max(s.farthest, cv::norm(corners[i] - corners[j]));
    return s;
}

cv::Mat turnedBar(cv::Size2f size, float angle) {
    cv::Mat mask(90, 90, CV_8UC1, cv::Scalar(0));
    cv::Point2f corners[4];
    cv::RotatedRect({45, 45}, size, angle).points(corners);
    const std::vector<cv::Point> polygon(corners, corners + 4);
    cv::fillConvexPoly(mask, polygon, cv::Scalar(255));
    return mask;
}

// Bars, an ellipse and a concave shape at several angles against the brute-force sweep: the
// narrowest width never above the sweep's and below it by at most the sweep's step error (the
// width changes by at most the longest distance times the step angle), the longest distance
// exactly; the hull area is at least the pixel count.
TEST(Calipers, AgreeWithABruteForceSweep) {
    for (const float angle : {0.0f, 10.0f, 30.0f, 45.0f, 72.0f, 90.0f}) {
        SCOPED_TRACE(angle);
        cv::Mat ellipse(90, 90, CV_8UC1, cv::Scalar(0));
        cv::ellipse(ellipse, {45, 45}, {30, 12}, angle, 0, 360, cv::Scalar(255), cv::FILLED);
        cv::Mat crescent = ellipse.clone();
        cv::circle(crescent, {45, 30}, 14, cv::Scalar(0), cv::FILLED);
        for (const cv::Mat& mask :
             {turnedBar({6, 40}, angle), turnedBar({3, 25}, angle), ellipse, crescent}) {
            const Calipers c = calipersOf(mask);
            const Sweep s = sweep(mask);
            EXPECT_LE(c.feretMin, s.narrowest + 1e-9);
            EXPECT_GE(c.feretMin, s.narrowest - s.farthest * CV_PI / 18000);
            EXPECT_NEAR(c.feretMax, s.farthest, 1e-9);
            EXPECT_GE(c.hullArea, cv::countNonZero(mask));
        }
    }
}

TEST(Calipers, EmptyMask) {
    const Calipers c = calipersOf(cv::Mat(5, 5, CV_8UC1, cv::Scalar(0)));
    EXPECT_EQ(c.feretMax, 0);
    EXPECT_EQ(c.feretMin, 0);
    EXPECT_EQ(c.hullArea, 0);
}

}  // namespace
}  // namespace quendra
