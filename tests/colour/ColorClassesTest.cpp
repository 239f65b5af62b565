#include <filesystem>
#include <fstream>

#include <unistd.h>

#include <gtest/gtest.h>

#include "TempFolder.h"

#include "colour/ColorClasses.h"
#include "colour/ColorSampling.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

cv::Mat colourRow(std::initializer_list<cv::Vec3b> pixels) {
    cv::Mat frame(1, static_cast<int>(pixels.size()), CV_8UC3);
    int x = 0;
    for (const cv::Vec3b& p : pixels) frame.at<cv::Vec3b>(0, x++) = p;
    return frame;
}

TEST(MarkSamples, AClassOnceConflictingStaysConflicting) {
    std::vector<std::uint8_t> table(kColorKeyCount, 0);
    const cv::Mat frame = colourRow({{1, 2, 3}});
    const ColorKey key = 0x030201;
    markSamples(frame, table.data(), 1, 0, 0, 1, 1);
    EXPECT_EQ(table[key], 1);
    markSamples(frame, table.data(), 1, 0, 0, 1, 1);
    EXPECT_EQ(table[key], 1);
    markSamples(frame, table.data(), 2, 0, 0, 1, 1);
    EXPECT_EQ(table[key], 255);
    markSamples(frame, table.data(), 1, 0, 0, 1, 1);
    EXPECT_EQ(table[key], 255);
}

TEST(MarkSamples, RecordsTheHalfOpenRectangleClippedToTheFrame) {
    std::vector<std::uint8_t> table(kColorKeyCount, 0);
    cv::Mat frame(3, 3, CV_8UC3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) frame.at<cv::Vec3b>(y, x) = {static_cast<uchar>(3 * y + x), 0, 0};
    markSamples(frame, table.data(), 2, 1, -4, 9, 2);  // columns 1..2, rows 0..1
    std::vector<int> picked;
    for (int b = 0; b < 9; ++b)
        if (table[static_cast<std::size_t>(b)]) picked.push_back(b);
    EXPECT_EQ(picked, (std::vector<int>{1, 2, 4, 5}));
    markSamples(frame, table.data(), 1, 2, 2, 2, 3);  // no width: nothing
    EXPECT_EQ(table[8], 0);
}

TEST(ColorClassesPreview, PaintsEachClassAndKeepsOtherColours) {
    ColorClasses classes;
    // Each of the three colours six times over, so that each reaches the quorum of its own.
    cv::Mat frame(6, 4, CV_8UC3);
    for (int y = 0; y < 6; ++y) {
        frame.at<cv::Vec3b>(y, 0) = {200, 200, 200};
        frame.at<cv::Vec3b>(y, 1) = {60, 60, 150};
        frame.at<cv::Vec3b>(y, 2) = {20, 20, 20};
        frame.at<cv::Vec3b>(y, 3) = {120, 10, 240};
    }
    // Six different colours per class: the table holds each colour once.
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 3; ++x) frame.at<cv::Vec3b>(y, x)[0] += static_cast<uchar>(y);
    classes.setLutThreshold(10);
    for (int cls = 1; cls <= 3; ++cls) {
        classes.setColorClass(cls);
        classes.addSamples(frame, cls - 1, 0, cls, 6);
    }
    const cv::Mat preview = classes.paintPreview(frame);
    for (int y = 0; y < 6; ++y) {
        EXPECT_EQ(preview.at<cv::Vec3b>(y, 0), cv::Vec3b(255, 255, 255));
        EXPECT_EQ(preview.at<cv::Vec3b>(y, 1), cv::Vec3b(0, 0, 255));
        EXPECT_EQ(preview.at<cv::Vec3b>(y, 2), cv::Vec3b(0, 0, 0));
        EXPECT_EQ(preview.at<cv::Vec3b>(y, 3), frame.at<cv::Vec3b>(y, 3));
    }
}

TEST(ColorClassesPreview, NothingUsablePickedShowsTheFrameUnpainted) {
    ColorClasses classes;
    const cv::Mat frame = colourRow({{5, 5, 5}, {6, 6, 6}});
    classes.addSamples(frame, 0, 0, 2, 1);
    classes.setColorClass(2);
    classes.addSamples(frame, 0, 0, 2, 1);  // both colours now conflicts
    const cv::Mat preview = classes.paintPreview(frame);
    EXPECT_EQ(cv::norm(preview, frame, cv::NORM_INF), 0);
    EXPECT_TRUE(classes.paintPreview(cv::Mat()).empty());
}

using ColorClassFile = TempFolder;

TEST_F(ColorClassFile, RecordsAreLittleEndianBGRClassInKeyOrder) {
    ColorClasses classes;
    const cv::Mat frame = colourRow({{0, 0, 255}, {255, 0, 0}, {1, 2, 3}});
    classes.addSamples(frame, 1, 0, 3, 1);  // blue and (1,2,3) as enamel
    classes.setColorClass(2);
    classes.addSamples(frame, 0, 0, 1, 1);  // red as gum
    classes.addSamples(frame, 2, 0, 3, 1);  // (1,2,3) now a conflict
    ASSERT_EQ(classes.save(path("c.dat")), ClassFileStatus::Ok);
    EXPECT_EQ(readBytes(path("c.dat")), std::string("\xFF\x00\x00\x01"
                                              "\x01\x02\x03\xFF"
                                              "\x00\x00\xFF\x02", 12));
}

TEST_F(ColorClassFile, NothingPickedSavesAnEmptyFileThatLoads) {
    ColorClasses classes;
    ASSERT_EQ(classes.save(path("empty.dat")), ClassFileStatus::Ok);
    EXPECT_EQ(fs::file_size(path("empty.dat")), 0u);
    EXPECT_EQ(classes.load(path("empty.dat")), ClassFileStatus::Ok);
    EXPECT_TRUE(classes.isLoaded());
    EXPECT_EQ(classes.tree(), nullptr);
}

TEST_F(ColorClassFile, TrailingBytesAreIgnoredAndAnyClassIsAccepted) {
    writeBytes("six.dat", std::string("\x01\x02\x03\x07\xAA\xBB", 6));
    std::vector<PackedSample> samples;
    ASSERT_EQ(readColorClassFile(path("six.dat"), samples), ClassFileStatus::Ok);
    EXPECT_EQ(samples, (std::vector<PackedSample>{0x07030201u}));
    writeBytes("three.dat", "abc");
    ASSERT_EQ(readColorClassFile(path("three.dat"), samples), ClassFileStatus::Ok);
    EXPECT_TRUE(samples.empty());
}

TEST_F(ColorClassFile, LoadingBuildsTheTreeButNotThePicks) {
    ColorClasses classes;
    std::string bytes;
    for (int i = 0; i < 6; ++i) bytes += std::string{static_cast<char>(50 + i), 60, 70, 1};
    writeBytes("six.dat", bytes);
    classes.addSamples(colourRow({{9, 9, 9}}), 0, 0, 1, 1);
    ASSERT_EQ(classes.load(path("six.dat")), ClassFileStatus::Ok);
    ASSERT_NE(classes.tree(), nullptr);
    EXPECT_EQ(classes.tree()->classify(70 << 16 | 60 << 8 | 52, classes.lutThreshold()), 1);
    EXPECT_EQ(classes.sampleTable()[0x090909], 0);
    ASSERT_EQ(classes.save(path("again.dat")), ClassFileStatus::Ok);
    EXPECT_EQ(fs::file_size(path("again.dat")), 0u);
    // A later empty file keeps the tree of the earlier load.
    writeBytes("empty.dat", "");
    const KDTree* before = classes.tree();
    ASSERT_EQ(classes.load(path("empty.dat")), ClassFileStatus::Ok);
    EXPECT_EQ(classes.tree(), before);
}

TEST_F(ColorClassFile, FailedLoadLeavesTheStateAsItWas) {
    ColorClasses classes;
    const cv::Mat frame = colourRow({{9, 9, 9}});
    classes.addSamples(frame, 0, 0, 1, 1);
    classes.classLut()[0x090909] = 1;

    writeBytes("huge.dat", "");
    fs::resize_file(path("huge.dat"), (kMaxClassFileRecords + 1) * 4);  // sparse, 64 MiB + 4
    EXPECT_EQ(classes.load(path("huge.dat")), ClassFileStatus::TooLarge);
    EXPECT_EQ(classes.load(path("missing.dat")), ClassFileStatus::CannotOpen);
    EXPECT_EQ(classes.load(folder.string()), ClassFileStatus::CannotOpen);

    EXPECT_FALSE(classes.isLoaded());
    EXPECT_EQ(classes.sampleTable()[0x090909], 1);
    EXPECT_EQ(classes.classLut()[0x090909], 1);
    EXPECT_NE(describeClassFileStatus(ClassFileStatus::TooLarge, "huge.dat").find("huge.dat"),
              std::string::npos);
}

TEST_F(ColorClassFile, FileOfExactlyTheLimitIsAccepted) {
    writeBytes("full.dat", "");
    fs::resize_file(path("full.dat"), kMaxClassFileRecords * 4 + 3);
    std::vector<PackedSample> samples;
    EXPECT_EQ(readColorClassFile(path("full.dat"), samples), ClassFileStatus::Ok);
    EXPECT_EQ(samples.size(), kMaxClassFileRecords);
}

TEST_F(ColorClassFile, UnwritableFileIsReportedAndTheOldOneKept) {
    writeBytes("keep.dat", "1234");
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    ColorClasses classes;
    classes.addSamples(colourRow({{9, 9, 9}}), 0, 0, 1, 1);
    if (::geteuid() != 0) {  // root writes into read-only folders
        EXPECT_EQ(classes.save(path("keep.dat")), ClassFileStatus::CannotWrite);
        EXPECT_EQ(readBytes(path("keep.dat")), "1234");
    }
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(classes.save(path("no/such/folder.dat")), ClassFileStatus::CannotWrite);
    EXPECT_EQ(classes.save(folder.string()), ClassFileStatus::CannotWrite);
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST(ColorClassesReset, EmptiesPicksCachesAndTheLoadedState) {
    ColorClasses classes;
    classes.addSamples(colourRow({{9, 9, 9}}), 0, 0, 1, 1);
    classes.classLut()[0x090909] = 1;
    classes.reset();
    EXPECT_EQ(classes.sampleTable()[0x090909], 0);
    EXPECT_EQ(classes.classLut()[0x090909], 0xFF);
    EXPECT_FALSE(classes.isLoaded());
    classes.addSamples(cv::Mat(), 0, 0, 1, 1);  // no frame yet: nothing happens
}

}  // namespace
}  // namespace quendra
