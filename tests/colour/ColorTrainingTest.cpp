#include <gtest/gtest.h>

#include "colour/ColorSampling.h"
#include "colour/ColorTraining.h"

namespace quendra {
namespace {

cv::Mat colourRow(std::initializer_list<cv::Vec3b> pixels) {
    cv::Mat frame(1, static_cast<int>(pixels.size()), CV_8UC3);
    int x = 0;
    for (const cv::Vec3b& p : pixels) frame.at<cv::Vec3b>(0, x++) = p;
    return frame;
}

// A table of no picks, with the counts markSamples keeps beside it.
struct SampleTable {
    std::vector<std::uint8_t> table = std::vector<std::uint8_t>(kColorKeyCount, ClassNone);
    std::array<std::size_t, 256> counts{kColorKeyCount};

    void mark(const cv::Mat& frame, std::uint8_t classId, int x0, int y0, int x1, int y1) {
        markSamples(frame, table.data(), counts, classId, x0, y0, x1, y1);
    }
    // The counts taken afresh from the whole table.
    std::array<std::size_t, 256> counted() const {
        std::array<std::size_t, 256> fresh{};
        for (const std::uint8_t entry : table) ++fresh[entry];
        return fresh;
    }
};

TEST(MarkSamples, AClassOnceConflictingStaysConflicting) {
    SampleTable t;
    const cv::Mat frame = colourRow({{1, 2, 3}});
    const ColorKey key = 0x030201;
    t.mark(frame, 1, 0, 0, 1, 1);
    EXPECT_EQ(t.table[key], 1);
    t.mark(frame, 1, 0, 0, 1, 1);
    EXPECT_EQ(t.table[key], 1);
    t.mark(frame, 2, 0, 0, 1, 1);
    EXPECT_EQ(t.table[key], 255);
    t.mark(frame, 1, 0, 0, 1, 1);
    EXPECT_EQ(t.table[key], 255);
    EXPECT_EQ(t.counts, t.counted());
}

TEST(MarkSamples, RecordsTheHalfOpenRectangleClippedToTheFrame) {
    SampleTable t;
    cv::Mat frame(3, 3, CV_8UC3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            frame.at<cv::Vec3b>(y, x) = {static_cast<uchar>(3 * y + x), 0, 0};
    t.mark(frame, 2, 1, -4, 9, 2);  // columns 1..2, rows 0..1
    std::vector<int> picked;
    for (int b = 0; b < 9; ++b)
        if (t.table[static_cast<std::size_t>(b)]) picked.push_back(b);
    EXPECT_EQ(picked, (std::vector<int>{1, 2, 4, 5}));
    t.mark(frame, 1, 2, 2, 2, 3);  // no width: nothing
    EXPECT_EQ(t.table[8], 0);
    EXPECT_EQ(t.counts, t.counted());
}

TEST(ColorTrainingPreview, PaintsEachClassAndKeepsOtherColours) {
    ColorTraining training;
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
    for (int cls = 1; cls <= 3; ++cls) {
        training.setColorClass(cls);
        training.addSamples(frame, cls - 1, 0, cls, 6);
    }
    const cv::Mat preview = training.paintPreview(frame, 10);
    for (int y = 0; y < 6; ++y) {
        EXPECT_EQ(preview.at<cv::Vec3b>(y, 0), cv::Vec3b(255, 255, 255));
        EXPECT_EQ(preview.at<cv::Vec3b>(y, 1), cv::Vec3b(0, 0, 255));
        EXPECT_EQ(preview.at<cv::Vec3b>(y, 2), cv::Vec3b(0, 0, 0));
        EXPECT_EQ(preview.at<cv::Vec3b>(y, 3), frame.at<cv::Vec3b>(y, 3));
    }
}

// Counts per class, conflicts among them; with no class at its quorum the preview is the frame
// unpainted; a reset forgets every pick.
TEST(ColorTraining, CountsPerClassAndResetForgetsEveryPick) {
    ColorTraining training;
    const cv::Mat frame = colourRow({{9, 9, 9}, {8, 8, 8}, {7, 7, 7}});
    training.addSamples(frame, 0, 0, 2, 1);
    training.setColorClass(2);
    training.addSamples(frame, 0, 0, 1, 1);
    training.addSamples(frame, 2, 0, 3, 1);
    const auto counts = training.classCounts();
    EXPECT_EQ(counts[ClassEnamel], 1u);
    EXPECT_EQ(counts[ClassGum], 1u);
    EXPECT_EQ(counts[ClassConflict], 1u);
    EXPECT_EQ(counts[ClassNone], kColorKeyCount - 3);
    EXPECT_EQ(cv::norm(training.paintPreview(frame, 5), frame, cv::NORM_INF), 0);
    EXPECT_TRUE(training.paintPreview(cv::Mat(), 5).empty());
    training.reset();
    EXPECT_EQ(training.classCounts()[ClassNone], kColorKeyCount);
    EXPECT_TRUE(training.samples().empty());
    training.addSamples(cv::Mat(), 0, 0, 1, 1);  // no frame yet: nothing happens
}

}  // namespace
}  // namespace quendra
