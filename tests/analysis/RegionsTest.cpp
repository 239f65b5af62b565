#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <random>

#include "analysis/Regions.h"

namespace quendra {
namespace {

// A mask from rows of '#' (foreground, 0) and '.' (background, 255).
cv::Mat maskOf(std::initializer_list<const char*> rows) {
    const int width = static_cast<int>(std::strlen(*rows.begin()));
    cv::Mat mask(static_cast<int>(rows.size()), width, CV_8UC1);
    int y = 0;
    for (const char* row : rows) {
        for (int x = 0; x < width; ++x) mask.at<uchar>(y, x) = row[x] == '#' ? 0 : 255;
        ++y;
    }
    return mask;
}

struct Labelled {
    std::vector<Region> regions;
    RunEncoder encoder;
    Run* runs = nullptr;
    int runCount = 0;
    explicit Labelled(const cv::Mat& mask) {
        runCount = labelRegions(mask, regions, encoder, runs, true);
    }
};

// Runs reach the edges and are counted; a region's box spans from its first to its last pixel
// (one pixel gives an empty box); a U is one region rooted at its higher arm; the earliest of
// equal regions is the largest.
TEST(LabelRegions, SmallMasks) {
    Labelled empty(cv::Mat(4, 4, CV_8UC1, cv::Scalar(255)));
    EXPECT_EQ(empty.runCount, 0);
    EXPECT_TRUE(empty.regions.empty());
    Labelled full(maskOf({"###", "###", "###"}));
    EXPECT_EQ(full.runCount, 3);
    EXPECT_EQ(full.runs[2].xEnd, 2);
    EXPECT_EQ(full.runs[2].y, 2);
    Labelled dot(maskOf({"....", "..#.", "...."}));
    ASSERT_EQ(dot.regions.size(), 1u);
    EXPECT_EQ(boundingBox(dot.regions[0]), cv::Rect(2, 1, 0, 0));
    Labelled u(maskOf({"....#", "#...#", "#...#", "#####"}));
    ASSERT_EQ(u.regions.size(), 1u);
    EXPECT_EQ(u.regions[0].area, 10);
    EXPECT_EQ(findRoot(&u.runs[3]), &u.runs[0]);
    EXPECT_EQ(u.runs[0].xStart, 4);
    EXPECT_EQ(largestRegion(Labelled(maskOf({"##.##", ".....", "##..."})).regions), 0);
    EXPECT_EQ(largestRegion({}), 0);
}

TEST(LabelRegions, OtherValuesAreBackgroundWithADiagnostic) {
    cv::Mat mask = maskOf({"#.#"});
    mask.at<uchar>(0, 1) = 7;
    ::testing::internal::CaptureStdout();
    Labelled l(mask);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "nix gut 1 7\n");
    EXPECT_EQ(l.regions.size(), 2u);

    // In long rows too, where uniform stretches are skipped many bytes at a time: one value
    // inside a run (splitting it) and one in the background.
    cv::Mat wide(2, 100, CV_8UC1, cv::Scalar(255));
    wide(cv::Rect(10, 0, 60, 1)).setTo(0);
    wide.at<uchar>(0, 40) = 7;
    wide.at<uchar>(1, 77) = 9;
    ::testing::internal::CaptureStdout();
    Labelled w(wide);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "nix gut 40 7\nnix gut 177 9\n");
    ASSERT_EQ(w.runCount, 2);
    EXPECT_EQ(w.runs[0].xEnd, 39);
    EXPECT_EQ(w.runs[1].xStart, 41);
}

// Area, extent and centroid against OpenCV's own 4-connected labelling (which numbers its
// regions by their first pixel too; diagonal neighbours stay apart), centroid and central
// second moments against cv::moments of each region, within 1e-6 relative.
void expectAgreesWithOpenCV(const cv::Mat& mask) {
    Labelled l(mask);
    cv::Mat labels, stats, centroids;
    const int n = cv::connectedComponentsWithStats(mask == 0, labels, stats, centroids, 4, CV_32S);
    ASSERT_EQ(static_cast<int>(l.regions.size()), n - 1);
    for (int i = 1; i < n; ++i) {
        const Region& r = l.regions[static_cast<std::size_t>(i - 1)];
        SCOPED_TRACE("region " + std::to_string(i));
        EXPECT_EQ(r.area, stats.at<int>(i, cv::CC_STAT_AREA));
        EXPECT_EQ(r.minX, stats.at<int>(i, cv::CC_STAT_LEFT));
        EXPECT_EQ(r.minY, stats.at<int>(i, cv::CC_STAT_TOP));
        EXPECT_EQ(r.maxX - r.minX + 1, stats.at<int>(i, cv::CC_STAT_WIDTH));
        EXPECT_EQ(r.maxY - r.minY + 1, stats.at<int>(i, cv::CC_STAT_HEIGHT));
        const cv::Moments m = cv::moments(labels == i, true);
        const auto expectClose = [](double ours, double theirs, double scale) {
            EXPECT_NEAR(ours, theirs, 1e-6 * scale);
        };
        expectClose(r.sumX / r.area, m.m10 / m.m00, std::abs(m.m10 / m.m00) + 1);
        expectClose(r.sumY / r.area, m.m01 / m.m00, std::abs(m.m01 / m.m00) + 1);
        // The mixed moment is relative to the two others (it is 0 for an upright rectangle).
        const double spread = m.mu20 + m.mu02 + 1e-9;
        expectClose(r.sumXX, m.mu20, spread);
        expectClose(r.sumYY, m.mu02, spread);
        expectClose(r.sumXY, m.mu11, spread);
    }
}

TEST(LabelRegions, AgreesWithOpenCVOnRandomMasks) {
    std::mt19937 random(99);
    for (int trial = 0; trial < 60; ++trial) {
        const int w = 1 + static_cast<int>(random() % 70), h = 1 + static_cast<int>(random() % 50);
        const int density = static_cast<int>(random() % 100);
        // Padded rows: the mask is a view into a wider buffer whose padding is foreground.
        cv::Mat storage(h, w + 5, CV_8UC1, cv::Scalar(0));
        cv::Mat mask = storage(cv::Rect(0, 0, w, h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                mask.at<uchar>(y, x) = static_cast<int>(random() % 100) < density ? 0 : 255;
        SCOPED_TRACE("trial " + std::to_string(trial));
        expectAgreesWithOpenCV(mask);
    }
}

// Thin bars and ellipses at several angles, far from the origin (large coordinates are where
// single-precision sums lost the moments), an ellipse with a hole, shapes at the edges.
TEST(LabelRegions, AgreesWithOpenCVOnDrawnShapes) {
    for (const double angle : {0.0, 17.0, 45.0, 90.0, 123.0}) {
        SCOPED_TRACE(angle);
        cv::Mat mask(1080, 1920, CV_8UC1, cv::Scalar(255));
        const cv::RotatedRect bar({1700, 900}, {2, 31}, static_cast<float>(angle));
        cv::Point2f corners[4];
        bar.points(corners);
        const std::vector<cv::Point> polygon(corners, corners + 4);
        cv::fillConvexPoly(mask, polygon, cv::Scalar(0));
        cv::ellipse(mask, {400, 300}, {150, 40}, angle, 0, 360, cv::Scalar(0), cv::FILLED);
        cv::ellipse(mask, {400, 300}, {20, 10}, -angle, 0, 360, cv::Scalar(255), cv::FILLED);
        cv::rectangle(mask, {1890, 1030}, {1919, 1079}, cv::Scalar(0), cv::FILLED);
        cv::line(mask, {0, 1079}, {60, 1030}, cv::Scalar(0));
        expectAgreesWithOpenCV(mask);
    }
}

}  // namespace
}  // namespace quendra
