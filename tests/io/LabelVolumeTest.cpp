// Label volumes read back by OpenCV (its own libtiff reading) and by the project's scale reader,
// against pictures drawn by hand; their memory; and what a failed write leaves.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "ResidentMemory.h"
#include "TempFolder.h"
#include "analysis/CanalLevels.h"
#include "io/FileScale.h"
#include "io/LabelVolume.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

using LabelVolumeFile = TempFolder;

// Slice 1 holds canals 4 and 9 as labels 1 and 2 and the pulp chamber as label 3 (no canal);
// slice 2 was not read; slice 3 (32-bit labels) canal 5 as label 7, from edge to edge, and a
// label 1 of no canal.
TEST_F(LabelVolumeFile, PagesHoldTheCanalNumbersAndTheScale) {
    const cv::Rect canal4(2, 3, 10, 5), canal9(20, 3, 10, 5), canal5(0, 10, 40, 3);
    cv::Mat first = cv::Mat::zeros(30, 40, CV_16UC1), third = cv::Mat::zeros(30, 40, CV_32SC1);
    first(canal4).setTo(1), first(canal9).setTo(2), first(cv::Rect(5, 20, 30, 4)).setTo(3);
    third(canal5).setTo(7), third(cv::Rect(3, 25, 4, 4)).setTo(1);
    LabelVolume volume;
    volume.addSlice(first), volume.addSlice(cv::Mat()), volume.addSlice(third);
    const std::vector<CanalRun> canals = {{4, 1, {{1, 1, 50, {}}}, {}, {}},
                                          {9, 1, {{1, 2, 50, {}}}, {}, {}},
                                          {5, 1, {{3, 7, 120, {}}}, {}, {}}};
    std::vector<cv::Mat> expected;
    for (int i = 0; i < 3; ++i) expected.push_back(cv::Mat::zeros(30, 40, CV_16UC1));
    expected[0](canal4).setTo(4), expected[0](canal9).setTo(9), expected[2](canal5).setTo(5);

    const std::pair<std::optional<double>, std::optional<double>> scales[] = {
        {12.5, 0.025}, {std::nullopt, std::nullopt}};
    for (const auto& [pxPerMm, sliceMm] : scales) {
        SCOPED_TRACE(pxPerMm.has_value());
        std::string reason;
        ASSERT_TRUE(volume.write(path("canals.tif"), canalNumbersBySlice(canals, 3), pxPerMm,
                                 sliceMm, reason))
            << reason;
        std::vector<cv::Mat> pages;
        ASSERT_TRUE(cv::imreadmulti(path("canals.tif"), pages, cv::IMREAD_UNCHANGED));
        ASSERT_EQ(pages.size(), 3u);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            ASSERT_EQ(pages[i].type(), CV_16UC1) << i;
            EXPECT_EQ(cv::norm(pages[i], expected[i], cv::NORM_INF), 0) << i;
        }
        const std::string description =
            pxPerMm ? "ImageJ=1.11a\nimages=3\nslices=3\nunit=mm\nspacing=0.025\nloop=false\n"
                    : "ImageJ=1.11a\nimages=3\nslices=3\nloop=false\n";
        EXPECT_NE(readBytes(path("canals.tif")).find(description + '\0'), std::string::npos);
        const FileScale scale = tiffScale(path("canals.tif"));
        EXPECT_EQ(scale.pxPerMm, pxPerMm);
        EXPECT_EQ(scale.sliceMm, sliceMm);
    }
}

// 200 slices of 1000 x 1000 pixels, 400 MB as pictures, take a few hundred kilobytes.
TEST(LabelVolume, SlicesAreKeptRunLengthEncoded) {
    cv::Mat slice = cv::Mat::zeros(1000, 1000, CV_16UC1);
    for (int c = 0; c < 4; ++c) cv::circle(slice, {200 + 200 * c, 500}, 30, c + 1, cv::FILLED);
    LabelVolume volume;
    const long long before = residentBytes();
    for (int i = 0; i < 200; ++i) volume.addSlice(slice);
    EXPECT_LT(residentBytes() - before, 16ll << 20);
    EXPECT_EQ(volume.sliceCount(), 200);
}

// A folder that does not exist, and a disk that fills up half-way (a file-size limit, as a
// full disk fails a write): false, the reason, the file that was there untouched and no
// temporary file left.
TEST_F(LabelVolumeFile, FailuresLeaveNothingBehind) {
    cv::Mat slice = cv::Mat::zeros(64, 64, CV_16UC1);
    LabelVolume volume;
    for (int i = 0; i < 40; ++i) volume.addSlice(slice.setTo(1));
    const std::vector<std::vector<int>> numbers(40, {0, 1});
    std::string reason;
    EXPECT_FALSE(volume.write(path("missing/canals.tif"), numbers, 20, 0.05, reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_TRUE(fs::is_empty(folder));

    writeBytes("canals.tif", "old");
    const auto writeOnAFullDisk = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool written = volume.write(path("canals.tif"), numbers, 20, 0.05, reason);
        const bool tooLarge = errno == EFBIG;
        const auto files = std::distance(fs::directory_iterator(folder), {});
        std::fprintf(stderr, "%s, %d file(s): %s", reason.c_str(), static_cast<int>(files),
                     readBytes(path("canals.tif")).c_str());
        std::exit(!written && tooLarge ? 0 : 1);
    };
    EXPECT_EXIT(writeOnAFullDisk(), ::testing::ExitedWithCode(0),
                "File too large, 1 file\\(s\\): old");
}

}  // namespace
}  // namespace quendra
