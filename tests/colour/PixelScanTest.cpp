#include <gtest/gtest.h>

#include <random>

#include "colour/ColorKey.h"
#include "colour/PixelKernels.h"
#include "colour/PixelScan.h"
#include "colour/VectorCode.h"

namespace quendra {
namespace {

std::vector<std::uint8_t> freshCache() {
    return std::vector<std::uint8_t>(kColorKeyCount, 0xFF);
}

// The class is marked inside the window only, clipped to the frame; the rest of the mask is 255.
TEST(ClassifyPixels, MarksTheClassInsideTheWindowOnly) {
    cv::Mat frame(6, 6, CV_8UC3, cv::Scalar(10, 20, 30));
    std::vector<PackedSample> samples(6, packSample(1, 0x1E140A));
    const KDTree tree(samples);
    auto cache = freshCache();
    for (const auto& [corners, inside] : {std::pair{cv::Vec4i(1, 2, 4, 5), cv::Rect(1, 2, 3, 3)},
                                          {{-100, -5, 1000, 2}, {0, 0, 6, 2}}}) {
        cv::Mat mask(frame.size(), CV_8UC1, cv::Scalar(7));
        classifyPixels(frame, 1, cache.data(), &tree, 5, mask, corners[0], corners[1], corners[2],
                       corners[3]);
        cv::Mat expected(frame.size(), CV_8UC1, cv::Scalar(255));
        expected(inside).setTo(0);
        EXPECT_EQ(cv::countNonZero(mask != expected), 0) << inside;
    }
}

TEST(ClassifyPixels, CacheWinsOverTheTreeButConflictIsAskedAgain) {
    cv::Mat frame(1, 2, CV_8UC3, cv::Scalar(0, 0, 0));
    frame.at<cv::Vec3b>(0, 1) = {1, 1, 1};
    cv::Mat mask(frame.size(), CV_8UC1);
    auto cache = freshCache();
    cache[0x000000] = 1;    // cached enamel, though there is no tree
    cache[0x010101] = 255;  // not yet classified: asked of the (absent) tree, giving 0
    classifyPixels(frame, 1, cache.data(), nullptr, 5, mask, 0, 0, 2, 1);
    EXPECT_EQ(mask.at<uchar>(0, 0), 0);
    EXPECT_EQ(mask.at<uchar>(0, 1), 255);
    EXPECT_EQ(cache[0x010101], 0);
}

// Colours met for the first time are put to the tree a row at a time; mask and cache must end
// as if each pixel had been looked up and, when unclassified, asked of the tree in turn.
TEST(ClassifyPixels, NewColoursEndAsIfAskedOneByOne) {
    std::mt19937 random(77);
    const auto channel = [&] { return static_cast<int>(random() % 24); };
    std::vector<PackedSample> samples;
    for (int i = 0; i < 300; ++i)
        samples.push_back(
            packSample(static_cast<unsigned>(random() % 4 == 0 ? 255 : 1 + random() % 3),
                       static_cast<ColorKey>(channel() << 16 | channel() << 8 | channel())));
    const KDTree tree(samples);
    cv::Mat frame(23, 41, CV_8UC3);
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x)
            frame.at<cv::Vec3b>(y, x) = {static_cast<uchar>(channel()),
                                         static_cast<uchar>(channel()),
                                         static_cast<uchar>(channel())};
    auto cache = freshCache();
    cache[colorKeyOf(frame.ptr<std::uint8_t>(0))] = 2;  // already known, whatever the tree says
    auto expected = cache;
    cv::Mat expectedMask(frame.size(), CV_8UC1);
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x) {
            const ColorKey key = colorKeyOf(frame.ptr<std::uint8_t>(y) + 3 * x);
            if (expected[key] & 0x80u)
                expected[key] = static_cast<std::uint8_t>(tree.classify(static_cast<int>(key), 4));
            expectedMask.at<uchar>(y, x) = expected[key] == 2 ? 0 : 255;
        }
    cv::Mat mask(frame.size(), CV_8UC1);
    classifyPixels(frame, 2, cache.data(), &tree, 4, mask, 0, 0, frame.cols, frame.rows);
    EXPECT_EQ(cv::countNonZero(mask != expectedMask), 0);
    EXPECT_TRUE(cache == expected);
}

TEST(PixelScan, RefusesFramesAndMasksOfTheWrongKind) {
    auto cache = freshCache();
    cv::Mat grey(3, 3, CV_8UC1, cv::Scalar(0));
    cv::Mat frame(3, 3, CV_8UC3, cv::Scalar(0));
    cv::Mat mask(3, 3, CV_8UC1);
    cv::Mat smallMask(2, 3, CV_8UC1);
    cv::Mat deep(3, 3, CV_16UC3, cv::Scalar(0));
    EXPECT_THROW(classifyPixels(grey, 1, cache.data(), nullptr, 5, mask, 0, 0, 3, 3),
                 cv::Exception);
    EXPECT_THROW(classifyPixels(frame, 1, cache.data(), nullptr, 5, smallMask, 0, 0, 3, 3),
                 cv::Exception);
    EXPECT_THROW(findDarkestPixel(deep, 0, 0, 3, 3), cv::Exception);
    EXPECT_THROW(colorDistanceMask(frame, 5, 0, 10, mask, 0, 0, 3, 3), cv::Exception);
}

TEST(FindDarkestPixel, FirstInScanOrderWinsATie) {
    cv::Mat frame(4, 4, CV_8UC3, cv::Scalar(100, 100, 100));
    frame.at<cv::Vec3b>(2, 1) = {1, 1, 1};
    frame.at<cv::Vec3b>(1, 3) = {1, 1, 1};
    frame.at<cv::Vec3b>(1, 2) = {0, 2, 1};
    EXPECT_EQ(findDarkestPixel(frame, 0, 0, 4, 4), cv::Point(2, 1));
    EXPECT_EQ(findDarkestPixel(frame, 0, 2, 4, 4), cv::Point(1, 2));
    EXPECT_FALSE(findDarkestPixel(frame, 2, 2, 2, 4).has_value());
}

// Inside the rectangle 0 strictly below the distance to the reference pixel; everything else
// 255, and everything with distance 0.
TEST(ColorDistanceMask, StrictlyBelowTheDistanceInsideTheRectangle) {
    cv::Mat frame(3, 5, CV_8UC3, cv::Scalar(10, 10, 10));
    frame.at<cv::Vec3b>(1, 2) = {13, 14, 10};  // distance exactly 5
    frame.at<cv::Vec3b>(1, 3) = {13, 13, 10};  // squared distance 18 < 25
    cv::Mat mask(frame.size(), CV_8UC1, cv::Scalar(7));
    colorDistanceMask(frame, 1.9, 1.2, 5, mask, 1, 1, 4, 2);
    cv::Mat expected(frame.size(), CV_8UC1, cv::Scalar(255));
    expected(cv::Rect(1, 1, 3, 1)).setTo(0);
    expected.at<uchar>(1, 2) = 255;
    EXPECT_EQ(cv::countNonZero(mask != expected), 0);
    colorDistanceMask(frame, 0, 0, 0, mask, 0, 0, 5, 3);
    EXPECT_EQ(cv::countNonZero(mask == 0), 0);
}

// The vector kernels against the plain loops, on rows of every length around their block sizes
// and colours from a small palette, so that classes match, sums tie and distances sit on the
// limit.
class FastPixelKernels : public ::testing::Test {
protected:
    void SetUp() override {
        if (!avx2PixelKernels() || !processorVectorCode().avx2)
            GTEST_SKIP() << "no vector kernels on this processor";
    }

    std::vector<std::uint8_t> randomRow(int n) {
        std::vector<std::uint8_t> row(3 * static_cast<std::size_t>(n));
        for (std::uint8_t& byte : row) byte = palette[random() % palette.size()];
        return row;
    }

    const PixelKernels& fast = *avx2PixelKernels();
    const PixelKernels& plain = portablePixelKernels();
    std::mt19937 random{11};
    const std::vector<std::uint8_t> palette{0, 1, 2, 3, 4, 5, 127, 128, 200, 254, 255};
};

TEST_F(FastPixelKernels, MaskFromCacheEqualsThePlainLoop) {
    std::vector<std::uint8_t> storage(kColorKeyCount + 4);
    for (std::uint8_t& entry : storage) entry = random() % 8 == 0 ? 0x80 | random() : random() % 3;
    for (const std::size_t offset : {0, 1}) {  // the cache need not be word-aligned
        const std::uint8_t* cache = storage.data() + offset;
        for (int n = 0; n < 140; ++n) {
            const auto row = randomRow(n);
            for (const int classId : {1, 2, 300}) {
                std::vector<std::uint8_t> expected(n), actual(n);
                const unsigned plainSeen =
                    plain.maskFromCache(row.data(), n, cache, classId, expected.data());
                const unsigned fastSeen =
                    fast.maskFromCache(row.data(), n, cache, classId, actual.data());
                ASSERT_EQ(actual, expected) << "n " << n << " class " << classId;
                ASSERT_EQ(fastSeen & 0x80u, plainSeen & 0x80u) << "n " << n;
            }
        }
    }
}

TEST_F(FastPixelKernels, DarkestInRowEqualsThePlainLoop) {
    for (int n = 0; n < 140; ++n) {
        const auto row = randomRow(n);
        for (const int start : {99999, 400, 6, 0}) {
            int plainBest = start, fastBest = start;
            ASSERT_EQ(fast.darkestInRow(row.data(), n, fastBest),
                      plain.darkestInRow(row.data(), n, plainBest))
                << "n " << n << " best " << start;
            ASSERT_EQ(fastBest, plainBest);
        }
    }
}

TEST_F(FastPixelKernels, DistanceMaskEqualsThePlainLoop) {
    for (int n = 0; n < 140; ++n) {
        const auto row = randomRow(n);
        const std::uint8_t ref[3] = {palette[random() % palette.size()], 128,
                                     palette[random() % palette.size()]};
        for (const int limit : {0, 1, 2, 16129, 16130, 65025, 65026, kDistanceLimitAll}) {
            std::vector<std::uint8_t> expected(n), actual(n);
            plain.distanceMask(row.data(), n, ref, limit, expected.data());
            fast.distanceMask(row.data(), n, ref, limit, actual.data());
            ASSERT_EQ(actual, expected) << "n " << n << " limit " << limit;
        }
    }
}

}  // namespace
}  // namespace quendra
