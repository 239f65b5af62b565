#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <opencv2/imgcodecs.hpp>
#include <optional>
#include <random>

#include "HandMadeTiff.h"
#include "ResidentMemory.h"
#include "TempFolder.h"
#include "TiffStackWriter.h"
#include "io/SliceStack.h"
#include "io/StackFrames.h"

namespace quendra {
namespace {

using SliceStackFile = TempFolder;

cv::Mat randomPage(cv::Size size, int type, unsigned seed) {
    cv::Mat page(size, type);
    cv::theRNG().state = seed;
    cv::randu(page, cv::Scalar::all(0), cv::Scalar::all(CV_MAT_DEPTH(type) == CV_8U ? 256 : 65536));
    return page;
}

bool samePixels(const cv::Mat& a, const cv::Mat& b) {
    return a.type() == b.type() && a.size() == b.size() && cv::norm(a, b, cv::NORM_INF) == 0;
}

const std::vector<std::pair<const char*, int>> kPageTypes = {{"8-bit grey", CV_8UC1},
                                                             {"8-bit colour", CV_8UC3},
                                                             {"16-bit grey", CV_16UC1},
                                                             {"16-bit colour", CV_16UC3}};

// Every page comes back as written, in order and out of order: from OpenCV's own TIFF writer
// (the independent source), and in tiles that overhang the page, separate colour planes,
// inverted grey and compression.
TEST_F(SliceStackFile, EveryStorageLayoutGivesThePagesBack) {
    const std::vector<std::pair<const char*, std::optional<TiffLayout>>> layouts = {
        {"OpenCV", std::nullopt},
        {"strips", TiffLayout{}},
        {"tiles", TiffLayout{.tileSize = 16}},
        {"planes", TiffLayout{.separatePlanes = true}},
        {"min-is-white", TiffLayout{.minIsWhite = true}},
        {"deflate tiles", TiffLayout{.tileSize = 32, .deflate = true}},
    };
    for (const auto& [layoutName, layout] : layouts)
        for (const auto& [typeName, type] : kPageTypes) {
            SCOPED_TRACE(std::string(layoutName) + ", " + typeName);
            std::vector<cv::Mat> pages;
            for (unsigned i = 0; i < 3; ++i) pages.push_back(randomPage({45, 37}, type, 7 + i));
            if (!layout) {
                ASSERT_TRUE(cv::imwritemulti(path("pages.tif"), pages));
            } else {
                TiffStackWriter writer(path("pages.tif"), *layout);
                for (const cv::Mat& page : pages) ASSERT_TRUE(writer.append(page));
                ASSERT_TRUE(writer.close());
            }
            SliceStack stack(path("pages.tif"));
            ASSERT_EQ(stack.status(), PictureStatus::Ok);
            ASSERT_EQ(stack.sliceCount(), 3);
            for (const int i : {0, 1, 2, 1, 0, 2, 2}) {
                const SliceRead read = stack.read(i);
                ASSERT_EQ(read.status, PictureStatus::Ok) << i;
                EXPECT_TRUE(samePixels(read.slice, pages[static_cast<std::size_t>(i)])) << i;
            }
            EXPECT_EQ(stack.read(3).status, PictureStatus::Unreadable);
            EXPECT_EQ(stack.read(-1).status, PictureStatus::Unreadable);
        }
}

// A 200-byte file whose one page claims 30000 x 30000 pixels (900 MB to decode).
// Also a last page whose directory libtiff refuses for its size (millions of tiles) is named
// with that size, and the file is not called cut short: its pages are all there.
TEST_F(SliceStackFile, PageAboveTheLimitIsRefusedBeforeDecoding) {
    const std::string pixels(256, '\x40');
    for (const auto& [page, side] : {std::pair{greyPage({30000, 30000}, 8), 30000},
                                     std::pair{tiledPage({100000, 100000}), 100000}}) {
        writeBytes("huge.tif", handMadeTiff(pixels, {greyPage({2, 2}, 8), page}));
        SliceStack stack(path("huge.tif"));
        ASSERT_EQ(stack.status(), PictureStatus::Ok);
        EXPECT_EQ(stack.pageChain(), PageChain::Whole) << side;
        const SliceRead read = stack.read(1);
        EXPECT_EQ(read.status, PictureStatus::TooLarge);
        EXPECT_EQ(read.size, cv::Size(side, side));
        EXPECT_TRUE(read.slice.empty());
        const std::string n = std::to_string(side);
        EXPECT_EQ(read.reason, n + " x " + n + " pixels, more than the limit of 120 megapixels");
        EXPECT_EQ(stack.read(0).status, PictureStatus::Ok) << side;
    }
}

// Pages of a kind that is not read say what of them is not.
TEST_F(SliceStackFile, PagesNotReadSayWhy) {
    const auto page = [](std::uint32_t bits, std::uint32_t format, std::uint32_t photometric) {
        std::vector<TiffEntry> p = greyPage({1, 1}, 8);
        for (TiffEntry& e : p) {
            if (e[0] == 258) e[2] = bits;
            if (e[0] == 262) e[2] = photometric;
        }
        p.push_back({339, 3, format});
        return p;
    };
    const std::pair<std::vector<TiffEntry>, std::string> cases[] = {
        {page(32, 3, 1), "32-bit floating-point samples"},
        {page(32, 1, 1), "32-bit samples"},
        {page(1, 1, 1), "1-bit samples"}};
    for (const auto& [entries, reason] : cases) {
        writeBytes("odd.tif", handMadeTiff(std::string(16, '\0'), {entries}));
        SliceStack stack(path("odd.tif"));
        EXPECT_NE(stack.read(0).reason.find("the page has " + reason), std::string::npos) << reason;
    }
}

// Three pages made by hand, the middle one odd: one whose directory lacks its size is
// unreadable and the others are read right, before and after it; a reduced-resolution copy (a
// thumbnail, SubfileType 1) is no slice; a chain that points back to an earlier page is no
// file cut short, and its pages up to the loop are read.
TEST_F(SliceStackFile, HandMadePageChains) {
    const cv::Mat first = (cv::Mat_<uchar>(2, 2) << 1, 2, 3, 4);
    const cv::Mat last = (cv::Mat_<uchar>(2, 2) << 5, 6, 7, 8);
    std::vector<TiffEntry> broken = greyPage({2, 2}, 8), thumbnail = greyPage({1, 1}, 8);
    broken.erase(broken.begin(), broken.begin() + 2);
    thumbnail.insert(thumbnail.begin(), {254, 4, 1});
    const auto expectSlices = [&](const std::vector<TiffEntry>& middle, std::uint32_t thirdAt,
                                  int loopTo, const std::vector<cv::Mat>& slices) {
        SCOPED_TRACE(testing::Message() << middle.size() << " tags, loop to " << loopTo);
        writeBytes("hand.tif",
                   handMadeTiff(std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8),
                                {greyPage({2, 2}, 8), middle, greyPage({2, 2}, thirdAt)}, loopTo));
        SliceStack stack(path("hand.tif"));
        ASSERT_EQ(stack.sliceCount(), static_cast<int>(slices.size()));
        EXPECT_EQ(stack.pageChain(), loopTo < 0 ? PageChain::Whole : PageChain::LoopsBack);
        for (const int i : {0, 1, 0, 1, 2, 0, 2}) {
            if (i >= stack.sliceCount()) continue;
            const SliceRead read = stack.read(i);
            const cv::Mat& expected = slices[static_cast<std::size_t>(i)];
            EXPECT_EQ(read.status,
                      expected.empty() ? PictureStatus::Unreadable : PictureStatus::Ok);
            EXPECT_TRUE(expected.empty() || samePixels(read.slice, expected)) << i;
        }
    };
    expectSlices(broken, 12, -1, {first, {}, last});  // empty: unreadable
    expectSlices(thumbnail, 12, -1, {first, last});
    for (const int loopTo : {0, 1, 2})
        expectSlices(greyPage({2, 2}, 12), 8, loopTo, {first, last, first});
}

TEST_F(SliceStackFile, WhatIsNoStackIsNamed) {
    ASSERT_EQ(::mkfifo(path("pipe.tif").c_str(), 0600), 0);  // opening it would wait forever
    EXPECT_EQ(SliceStack(path("pipe.tif")).status(), PictureStatus::NotAFile);
    EXPECT_EQ(SliceStack(path("missing.tif")).status(), PictureStatus::NotAFile);
    writeBytes("text.tif", "Dies ist kein Stapel.");
    EXPECT_EQ(SliceStack(path("text.tif")).status(), PictureStatus::Unreadable);
    std::filesystem::create_directory(folder / "leer");
    EXPECT_EQ(SliceStack(path("leer")).status(), PictureStatus::Unreadable);
}

TEST(NaturalOrder, DigitRunsCompareByValue) {
    const std::vector<std::pair<std::string, std::string>> ordered = {
        {"s2.png", "s10.png"}, {"s9", "s10"},      {"slice_0099.tif", "slice_100.tif"},
        {"a2b3", "a2b10"},     {"a10b1", "a10c0"}, {"s1", "s1a"},
        {"S1", "s1"},          {"s02", "s2"},      {"x", "x0"}};
    for (const auto& [a, b] : ordered) {
        EXPECT_TRUE(naturalLess(a, b)) << a << " < " << b;
        EXPECT_FALSE(naturalLess(b, a)) << b << " < " << a;
    }
    EXPECT_FALSE(naturalLess("s7", "s7"));
}

TEST_F(SliceStackFile, FolderSlicesInNaturalOrderAtTheirOwnDepth) {
    const std::vector<std::pair<std::string, cv::Mat>> files = {
        {"s10.png", randomPage({20, 10}, CV_16UC1, 1)},
        {"s2.png", randomPage({20, 10}, CV_8UC3, 2)},
        {"s1.tif", randomPage({20, 10}, CV_16UC3, 3)},
    };
    for (const auto& [name, picture] : files) ASSERT_TRUE(cv::imwrite(path(name), picture));
    writeBytes("notes.txt", "no slice");
    std::filesystem::create_directory(folder / "s3.png");
    SliceStack stack(folder.string());
    ASSERT_EQ(stack.sliceCount(), 3);
    for (const auto& [index, file] : {std::pair{0, 2}, {1, 1}, {2, 0}}) {
        EXPECT_EQ(std::filesystem::path(stack.sliceName(index)).filename(), files[file].first);
        EXPECT_TRUE(samePixels(stack.read(index).slice, files[file].second)) << index;
    }
}

// The percentiles of the pooled samples, against a sort of the same values.
TEST_F(SliceStackFile, WindowFromPercentilesOfTheSampledSlices) {
    std::vector<std::uint16_t> all;
    {
        TiffStackWriter writer(path("stack.tif"));
        for (unsigned i = 0; i < 9; ++i) {
            cv::Mat page(16, 24, CV_16UC1);
            cv::theRNG().state = 40 + i;
            cv::randn(page, 20000 + 500 * i, 3000);
            ASSERT_TRUE(writer.append(page));
            if (i % 2 == 0)
                all.insert(all.end(), page.begin<std::uint16_t>(), page.end<std::uint16_t>());
        }
    }
    std::sort(all.begin(), all.end());
    const auto nth = [&](double percent) {
        const auto rank = static_cast<std::size_t>(std::ceil(all.size() * percent / 100));
        return all[std::max<std::size_t>(rank, 1) - 1];
    };
    SliceStack stack(path("stack.tif"));
    // Five samples of nine slices: 0, 2, 4, 6, 8.
    for (const auto& [low, high] : {std::pair{0.5, 99.5}, {10.0, 90.0}, {0.0, 100.0}}) {
        const GreyWindow window = sampledWindow(stack, 5, low, high);
        EXPECT_EQ(window.low, nth(low)) << low;
        EXPECT_EQ(window.high, nth(high)) << high;
    }
}

// Slices whose ranges differ (a streak brighter in each slice, a darker background): the same
// raw grey must give the same 8-bit grey in every slice, as the window says.
TEST_F(SliceStackFile, OneWindowMapsEverySliceAlike) {
    {
        TiffStackWriter writer(path("stack.tif"));
        for (int i = 0; i < 6; ++i) {
            cv::Mat page(30, 40, CV_16UC1, cv::Scalar(9000 - 1000 * i));
            page(cv::Rect(5, 5, 20, 20)).setTo(30000);
            page(cv::Rect(30, 2, 3, 3)).setTo(40000 + 4000 * i);
            ASSERT_TRUE(writer.append(page));
        }
    }
    SliceStack stack(path("stack.tif"));
    const GreyWindow window = sampledWindow(stack);
    const int expected = cvRound(255 * (30000 - window.low) / (window.high - window.low));
    for (const GreyWindow& w : {window, GreyWindow{20000, 41000}}) {
        const int level = cvRound(255 * (30000 - w.low) / (w.high - w.low));
        for (int i = 0; i < stack.sliceCount(); ++i) {
            const cv::Mat frame = frameOfSlice(stack.read(i).slice, w);
            ASSERT_EQ(frame.type(), CV_8UC3);
            EXPECT_EQ(frame.at<cv::Vec3b>(10, 10), cv::Vec3b::all(static_cast<uchar>(level))) << i;
        }
    }
    EXPECT_GT(expected, 0);
    EXPECT_LT(expected, 255);
    // 8-bit slices are taken as they are.
    const cv::Mat grey = randomPage({8, 8}, CV_8UC1, 5);
    cv::Mat bgr;
    cv::merge(std::vector<cv::Mat>{grey, grey, grey}, bgr);
    EXPECT_TRUE(samePixels(frameOfSlice(grey, {100, 200}), bgr));
}

// 160 slices of 500 x 500 px, 16-bit: 80 MB decoded, 120 MB as frames. Reading them all as
// frames, window included, must keep only a few slices in memory.
TEST_F(SliceStackFile, ReadingAStackKeepsAFewSlicesInMemory) {
    {
        TiffStackWriter writer(path("long.tif"));
        cv::Mat page(500, 500, CV_16UC1);
        for (int i = 0; i < 160; ++i) {
            page.setTo(1000 + 100 * i);
            ASSERT_TRUE(writer.append(page));
        }
    }
    const long long before = residentBytes();
    StackFrames frames(path("long.tif"));
    ASSERT_EQ(frames.frameCount(), 160);
    long long most = before;
    for (int i = 0; i < frames.frameCount(); ++i) {
        const SliceFrame slice = frames.frameAt(i);
        ASSERT_EQ(slice.status, PictureStatus::Ok);
        ASSERT_EQ(slice.frame.type(), CV_8UC3);
        most = std::max(most, residentBytes());
    }
#if !defined(__SANITIZE_ADDRESS__)  // its quarantine keeps freed slices resident on purpose
    EXPECT_LT(most - before, 16ll << 20) << "resident memory grew by " << (most - before);
#endif
    // The window sampled from the stack: the darkest and brightest slices' greys.
    EXPECT_EQ(frames.window().low, 1000);
    EXPECT_EQ(frames.window().high, 1000 + 100 * 159);
}

}  // namespace
}  // namespace quendra
