#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "PaintedTooth.h"

namespace quendra {
namespace {

// Ramanujan's approximation of an ellipse's circumference from its semi-axes.
double ellipseCircumference(double a, double b) {
    return CV_PI * (3 * (a + b) - std::sqrt((3 * a + b) * (a + 3 * b)));
}

// Long over short axis of the non-zero pixels' equivalent ellipse, from OpenCV's moments.
double openCvAspectRatio(const cv::Mat& mask) {
    const cv::Moments m = cv::moments(mask, true);
    const double a = m.mu20 / m.m00, b = m.mu02 / m.m00, c = m.mu11 / m.m00;
    const double root = std::sqrt((a - b) * (a - b) + 4 * c * c);
    return std::sqrt((a + b + root) / (a + b - root));
}

// The 8-connected outer contour length of the non-zero pixels, straight from OpenCV.
double openCvContourLength(const cv::Mat& mask) {
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    return cv::arcLength(contours.at(0), true);
}

// Canals of known shape drawn into a painted tooth and measured through the whole analysis:
// the perimeter equals OpenCV's contour length of the same drawn pixels and lies within 6 % of
// the drawn ellipse's circumference (the contour runs through the centres of the boundary
// pixels, half a pixel inside the drawn outline); the aspect ratio is the one of OpenCV's
// moments; the shape class is the one the drawn axes' ratio gives.
TEST(RegionShape, DrawnCanalsAgainstOpenCvAndGeometry) {
    struct Case {
        const char* name;
        cv::Size axes;  // semi-axes as drawn, the longer second
        double angle;
        const char* shape;
    };
    const Case cases[] = {
        {"circle", {14, 14}, 0, "round"},
        {"ellipse", {9, 24}, 30, "long oval"},
        {"slightly oval", {12, 19}, 70, "oval"},
        {"thin flat canal", {4, 30}, -50, "flat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintedTooth p({300, 300});
        cv::circle(p.frame, {150, 150}, 120, PaintedTooth::kEnamel, cv::FILLED);
        cv::Mat canal(p.frame.size(), CV_8UC1, cv::Scalar(0));
        cv::ellipse(canal, {150, 150}, c.axes, c.angle, 0, 360, cv::Scalar(255), cv::FILLED);
        p.frame.setTo(cv::Scalar::all(10), canal);
        ASSERT_EQ(p.analyse().canals.size(), 1u);
        const std::vector<RegionShape> shapes = p.analysis.measureShapes();
        ASSERT_EQ(shapes.size(), 2u);
        const RegionShape& s = shapes[1];
        EXPECT_NEAR(s.perimeter, openCvContourLength(canal), 1e-9);
        EXPECT_NEAR(s.perimeter, ellipseCircumference(c.axes.width, c.axes.height),
                    0.06 * s.perimeter);
        EXPECT_NEAR(s.aspectRatio, openCvAspectRatio(canal), 1e-5 * s.aspectRatio);
        EXPECT_NEAR(s.circularity,
                    4 * CV_PI * cv::countNonZero(canal) / (s.perimeter * s.perimeter), 1e-12);
        EXPECT_STREQ(s.shape, c.shape);
        // The tooth's outline ignores the canal, a hole in it.
        cv::Mat tooth(p.frame.size(), CV_8UC1, cv::Scalar(0));
        cv::circle(tooth, {150, 150}, 120, cv::Scalar(255), cv::FILLED);
        EXPECT_NEAR(shapes[0].perimeter, openCvContourLength(tooth), 1e-9);
    }
}

// A flattened canal, 8 x 31 pixels, standing and lying in a painted tooth: its calipers
// measure 8 across and its diagonal along (ratio 4.003), so it is flat, while its equivalent
// ellipse (ratio 3.9) would call it oval.
TEST(RegionShape, FlattenedCanalIsFlatByItsCalipers) {
    for (const cv::Size size : {cv::Size(8, 31), cv::Size(31, 8)}) {
        SCOPED_TRACE(size);
        PaintedTooth p({300, 300});
        cv::circle(p.frame, {150, 150}, 120, PaintedTooth::kEnamel, cv::FILLED);
        p.frame(cv::Rect({140, 135}, size)).setTo(cv::Scalar::all(10));
        ASSERT_EQ(p.analyse().canals.size(), 1u);
        const RegionShape s = p.analysis.measureShapes().at(1);
        EXPECT_DOUBLE_EQ(s.feretMin, 8);
        EXPECT_DOUBLE_EQ(s.feretMax, std::sqrt(8.0 * 8 + 31 * 31));
        EXPECT_NEAR(s.aspectRatio, std::sqrt((31.0 * 31 - 1) / (8 * 8 - 1)), 1e-5);
        EXPECT_NEAR(s.equivalentDiameter, std::sqrt(4 * 8 * 31 / CV_PI), 1e-9);
        EXPECT_DOUBLE_EQ(s.solidity, 1);
        EXPECT_STREQ(s.shape, "flat");
    }
}

// The classes by the caliper ratio, at the default limits and at limits set otherwise.
TEST(RegionShape, ClassLimits) {
    const ShapeLimits standard;
    const ShapeLimits strict{1.1, 1.5, 3};
    const struct {
        double ratio;
        const char* standard;
        const char* strict;
    } cases[] = {
        {1.0, "round", "round"},    {1.3, "round", "oval"},
        {1.31, "oval", "oval"},     {2.0, "oval", "long oval"},
        {3.5, "long oval", "flat"}, {4.0, "long oval", "flat"},
        {4.01, "flat", "flat"},     {NAN, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ratio);
        EXPECT_STREQ(shapeClass(c.ratio, standard), c.standard);
        EXPECT_STREQ(shapeClass(c.ratio, strict), c.strict);
    }
}

TEST(RegionShape, SinglePixel) {
    const RegionShape dot = shapeOf(cv::Mat(1, 1, CV_8UC1, cv::Scalar(255)), 1, 0.5, 0, {});
    EXPECT_EQ(dot.perimeter, 0);
    EXPECT_TRUE(std::isnan(dot.circularity));
    EXPECT_TRUE(std::isnan(dot.aspectRatio));
    // A unit square: 1 across, √2 corner to corner, its own hull.
    EXPECT_DOUBLE_EQ(dot.feretMin, 1);
    EXPECT_DOUBLE_EQ(dot.feretMax, std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(dot.solidity, 1);
    EXPECT_STREQ(dot.shape, "oval");
}

// The label picture holds each taken region with its own label, pixel for pixel: the tooth as
// OpenCV's largest 4-connected component of the enamel, the canals with the result's areas.
TEST(RegionShape, LabelsAreTheTakenRegions) {
    PaintedTooth p({200, 200});
    cv::circle(p.frame, {100, 100}, 80, PaintedTooth::kEnamel, cv::FILLED);
    cv::rectangle(p.frame, {10, 10}, {20, 20}, PaintedTooth::kEnamel, cv::FILLED);  // smaller
    cv::circle(p.frame, {80, 90}, 6, cv::Scalar::all(10), cv::FILLED);
    cv::circle(p.frame, {120, 110}, 7, cv::Scalar::all(10), cv::FILLED);
    p.analysis.setBorder(0);
    const FrameResult& result = p.analyse();
    ASSERT_EQ(result.canals.size(), 2u);
    cv::Mat labels;
    p.analysis.paintLabels(labels);
    ASSERT_EQ(labels.type(), CV_16UC1);

    cv::Mat enamel, components, stats, centroids;
    cv::inRange(p.frame, PaintedTooth::kEnamel, PaintedTooth::kEnamel, enamel);
    cv::connectedComponentsWithStats(enamel, components, stats, centroids, 4, CV_32S);
    int largest = 1;
    for (int i = 2; i < stats.rows; ++i)
        if (stats.at<int>(i, cv::CC_STAT_AREA) > stats.at<int>(largest, cv::CC_STAT_AREA))
            largest = i;
    EXPECT_EQ(cv::countNonZero((labels == 1) != (components == largest)), 0);
    for (std::size_t i = 0; i < result.canals.size(); ++i)
        EXPECT_EQ(cv::countNonZero(labels == static_cast<int>(i) + 2), result.canals[i].area);
    EXPECT_EQ(cv::countNonZero(labels > 3), 0);
}

}  // namespace
}  // namespace quendra
