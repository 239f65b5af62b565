#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "analysis/RegionMeasure.h"

namespace quendra {
namespace {

Region onlyRegion(const cv::Mat& mask) {
    std::vector<Region> regions;
    RunEncoder encoder;
    Run* runs = nullptr;
    labelRegions(mask, regions, encoder, runs, true);
    EXPECT_EQ(regions.size(), 1u);
    return regions.at(0);
}

// A 2 x 31 pixel canal measures the same lying and standing: both axes' variances about the
// exact centroid, (31² - 1) / 12 along and 1/4 across; standing it has the angle 0, lying -90
// (never +90).
TEST(MeasureRegion, ThinBarLyingAndStanding) {
    for (const cv::Size size : {cv::Size(31, 2), cv::Size(2, 31)}) {
        SCOPED_TRACE(size);
        cv::Mat mask(100, 100, CV_8UC1, cv::Scalar(255));
        mask(cv::Rect({37, 41}, size)).setTo(0);
        const EllipseMeasure m = measureRegion(onlyRegion(mask));
        EXPECT_NEAR(m.minorAxis, 1.0, 1e-6);
        EXPECT_NEAR(m.majorAxis, 2 * std::sqrt((31.0 * 31 - 1) / 12), 1e-5);
        EXPECT_EQ(m.angle, size.width > size.height ? -90.0f : 0.0f);
    }
}

TEST(MeasureRegion, RoundingNeverGivesANaNAxis) {
    // A thin diagonal line: the smaller eigenvalue is zero up to rounding.
    cv::Mat mask(400, 400, CV_8UC1, cv::Scalar(255));
    for (int i = 0; i < 400; ++i) mask.at<uchar>(i, i) = 0;
    for (int i = 0; i < 399; ++i) mask.at<uchar>(i, i + 1) = 0;
    const EllipseMeasure m = measureRegion(onlyRegion(mask));
    EXPECT_FALSE(std::isnan(m.minorAxis));
    EXPECT_GE(m.minorAxis, 0.0f);
    EXPECT_NEAR(m.angle, -45.0f, 0.5f);  // upper left to lower right: negative
}

// Drawn filled ellipses give back their semi-axes and their orientation; cv::ellipse turns
// its first axis clockwise on screen by `angle` degrees, which makes a long second axis lean
// from the vertical toward negative x as our positive angles do.
TEST(MeasureRegion, DrawnEllipsesGiveTheirAxesAndAngle) {
    for (const double angle : {-60.0, -20.0, 0.0, 35.0, 80.0}) {
        SCOPED_TRACE(angle);
        cv::Mat mask(500, 500, CV_8UC1, cv::Scalar(255));
        cv::ellipse(mask, {250, 250}, {60, 150}, angle, 0, 360, cv::Scalar(0), cv::FILLED);
        const EllipseMeasure m = measureRegion(onlyRegion(mask));
        EXPECT_NEAR(m.majorAxis, 150, 1.5);
        EXPECT_NEAR(m.minorAxis, 60, 1.5);
        EXPECT_NEAR(m.angle, angle, 0.5);
    }
}

}  // namespace
}  // namespace quendra
