// Canals measured through a stack against geometry known by construction: straight and oblique
// cylinders, a canal that divides; and the four-digit code against counts by hand.

#include <gtest/gtest.h>

#include <numbers>
#include <opencv2/imgproc.hpp>

#include "analysis/CanalMeasures.h"

namespace quendra {
namespace {

// A root (the whole 200 x 200 slice less a margin) with round canals of radius `r` at `centres`.
SliceSection disks(const std::vector<cv::Point2d>& centres, double r) {
    SliceSection s{cv::Mat::zeros(200, 200, CV_16UC1), cv::Mat::zeros(200, 200, CV_16UC1), {}};
    s.roots(cv::Rect(5, 5, 190, 190)).setTo(1);
    for (const cv::Point2d& c : centres) {
        s.canalRoot.push_back(1);
        cv::circle(s.canals, cv::Point(cvRound(c.x * 16), cvRound(c.y * 16)), cvRound(r * 16),
                   static_cast<int>(s.canalRoot.size()), cv::FILLED, cv::LINE_8, 4);
    }
    return s;
}

std::vector<CanalRun> canalsOf(const std::vector<SliceSection>& slices, bool apexFirst = false) {
    CanalTracker tracker;
    for (const SliceSection& s : slices) tracker.addSlice(s);
    std::vector<CanalRun> canals;
    tracker.roots(apexFirst, nullptr, &canals);
    return canals;
}

// 60 slices 0.05 mm apart at 20 px/mm: a straight cylinder is 3 mm long, one whose axis moves
// 0.5 px a slice (0.025 mm against 0.05 mm) sqrt(1.25) times that; the volume is the sum of
// the areas times the slice distance, whatever the shift.
TEST(CanalMeasures, CylindersHaveTheirLengthAndVolume) {
    for (const double shift : {0.0, 0.5}) {
        SCOPED_TRACE(shift);
        std::vector<SliceSection> slices;
        long long pixels = 0;
        for (int i = 0; i < 60; ++i) {
            slices.push_back(disks({{70 + shift * i, 100}}, 8));
            pixels += cv::countNonZero(slices.back().canals);
        }
        const std::vector<CanalRun> canals = canalsOf(slices);
        ASSERT_EQ(canals.size(), 1u);
        const CanalMeasure m = measureCanal(canals[0], 20, 0.05);
        const double axis = 60 * std::hypot(0.05, shift / 20);
        EXPECT_NEAR(*m.lengthMm, axis, 0.02 * axis);
        EXPECT_EQ(m.volumeVoxels, pixels);
        EXPECT_NEAR(*m.volumeMm3, pixels / 400.0 * 0.05, 1e-12);
        EXPECT_NEAR(m.diameterMeanPx, 16, 0.5);
        EXPECT_NEAR(*m.diameterMeanMm, 0.8, 0.025);
        EXPECT_EQ(m.firstSlice, 1);
        EXPECT_EQ(m.lastSlice, 60);
        // Without a scale only the pixel figures.
        const CanalMeasure unscaled = measureCanal(canals[0], std::nullopt, 0.05);
        EXPECT_FALSE(unscaled.lengthMm || unscaled.volumeMm3 || unscaled.diameterMaxMm);
        EXPECT_EQ(unscaled.diameterMaxPx, m.diameterMaxPx);
    }
}

// One canal that divides into two: three canals, numbered from the crown and from the left,
// each naming the others at its ends; the numbers hold whichever end the stack starts at.
TEST(CanalMeasures, DividingCanalIsThreeNumberedCanals) {
    std::vector<SliceSection> slices;
    for (int i = 0; i < 10; ++i) slices.push_back(disks({{100, 100}}, 14));
    for (int i = 0; i < 10; ++i) slices.push_back(disks({{88, 100}, {112, 100}}, 8));
    for (const bool apexFirst : {false, true}) {
        std::vector<SliceSection> ordered = slices;
        if (apexFirst) std::reverse(ordered.begin(), ordered.end());
        const std::vector<CanalRun> canals = canalsOf(ordered, apexFirst);
        ASSERT_EQ(canals.size(), 3u);
        EXPECT_EQ(canals[0].apical, (std::vector<int>{2, 3}));
        EXPECT_TRUE(canals[0].coronal.empty());
        for (const int c : {1, 2}) {
            EXPECT_EQ(canals[c].coronal, std::vector<int>{1});
            EXPECT_EQ(canals[c].sections.size(), 10u);
        }
        EXPECT_LT(canals[1].sections[0].centroidPx.x, canals[2].sections[0].centroidPx.x);
    }
}

TEST(CanalMeasures, FourDigitCodeByThirdsAndForamen) {
    const auto counts = [](std::vector<std::pair<int, int>> stretches) {
        std::vector<int> all;
        for (const auto& [count, slices] : stretches) all.insert(all.end(), slices, count);
        return all;
    };
    EXPECT_EQ(fourDigitCode(counts({{0, 2}, {1, 30}, {0, 2}})), "1-1-1-1");
    EXPECT_EQ(fourDigitCode(counts({{2, 20}, {1, 10}})), "2-2-1-1");
    EXPECT_EQ(fourDigitCode(counts({{1, 10}, {2, 20}})), "1-2-2-2");
    EXPECT_EQ(fourDigitCode(counts({{2, 12}, {1, 12}, {3, 6}})), "2-1-3-3");
    EXPECT_EQ(fourDigitCode({0, 0}), "");
}

}  // namespace
}  // namespace quendra
