#include <gtest/gtest.h>

#include <cmath>

#include "view/ViewMapping.h"

namespace {

// Every view pixel maps to the frame pixel whose square holds it, at any scale and placement,
// and frame pixels map back into their own squares.
TEST(ViewMapping, PixelsAndTheirSquares) {
    for (const double scale : {0.25, 0.5, 1.0, 1.5, 2.0, 3.0}) {
        for (const QPoint origin : {QPoint(0, 0), QPoint(-37, -5), QPoint(12, 40)}) {
            for (int x = -3; x < 40; ++x) {
                const QPoint frame =
                    frameAt(QPointF(origin.x() + (x + 0.5) * scale, 7), scale, origin);
                ASSERT_EQ(frame.x(), x) << scale;
                // The square's edges: its first point is the pixel's, the point before it not.
                EXPECT_EQ(frameAt(QPointF(origin.x() + x * scale, 0), scale, origin).x(), x);
                EXPECT_EQ(frameAt(QPointF(origin.x() + x * scale - 1e-9, 0), scale, origin).x(),
                          x - 1);
            }
        }
    }
    EXPECT_EQ(frameAt(QPointF(0.5, 0.5), 1, {}), QPoint(0, 0));
    EXPECT_EQ(frameAt(QPointF(-0.5, 639.9), 1, {}), QPoint(-1, 639));
}

TEST(ViewMapping, FrameOriginCentresOrScrolls) {
    EXPECT_EQ(frameOrigin({640, 480}, {640, 480}, {0, 0}), QPoint(0, 0));
    EXPECT_EQ(frameOrigin({300, 200}, {640, 480}, {50, 50}), QPoint(170, 140));      // centred
    EXPECT_EQ(frameOrigin({1920, 1080}, {800, 600}, {100, 70}), QPoint(-100, -70));  // scrolled
    EXPECT_EQ(shownSize({1920, 1080}, 0.5), QSize(960, 540));
    EXPECT_EQ(shownSize({3, 3}, 0.01), QSize(1, 1));
}

TEST(ViewMapping, FitAndZoomLevels) {
    EXPECT_DOUBLE_EQ(fitScale({1920, 1080}, {960, 1000}), 0.5);
    EXPECT_DOUBLE_EQ(fitScale({1920, 1080}, {3000, 540}), 0.5);
    EXPECT_DOUBLE_EQ(fitScale({}, {300, 300}), 1);
    // Powers of √2, 1:1 among them; twice in is twice the size.
    EXPECT_NEAR(zoomedScale(1, 1), std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(zoomedScale(1, 2), 2, 1e-12);
    EXPECT_NEAR(zoomedScale(zoomedScale(1, 2), -2), 1, 1e-12);
    // From a fitted scale between levels, a step goes to the next level in its direction.
    EXPECT_NEAR(zoomedScale(0.6, 1), std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(zoomedScale(0.6, -1), 0.5, 1e-12);
    EXPECT_EQ(zoomedScale(8, 3), kMaxScale);
    EXPECT_EQ(zoomedScale(kMinScale, -1), kMinScale);
}

}  // namespace
