#include <gtest/gtest.h>
#include <unistd.h>

#include "TempFolder.h"
#include "colour/ColorClassifier.h"
#include "colour/ColorTraining.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

cv::Mat colourRow(std::initializer_list<cv::Vec3b> pixels) {
    cv::Mat frame(1, static_cast<int>(pixels.size()), CV_8UC3);
    int x = 0;
    for (const cv::Vec3b& p : pixels) frame.at<cv::Vec3b>(0, x++) = p;
    return frame;
}

using ColorClassFile = TempFolder;

TEST_F(ColorClassFile, RecordsAreLittleEndianBGRClassInKeyOrder) {
    ColorTraining training;
    const cv::Mat frame = colourRow({{0, 0, 255}, {255, 0, 0}, {1, 2, 3}});
    training.addSamples(frame, 1, 0, 3, 1);  // blue and (1,2,3) as enamel
    training.setColorClass(2);
    training.addSamples(frame, 0, 0, 1, 1);  // red as gum
    training.addSamples(frame, 2, 0, 3, 1);  // (1,2,3) now a conflict
    ASSERT_EQ(training.save(path("c.dat")), ClassFileStatus::Ok);
    EXPECT_EQ(readBytes(path("c.dat")), std::string("\xFF\x00\x00\x01"
                                                    "\x01\x02\x03\xFF"
                                                    "\x00\x00\xFF\x02",
                                                    12));
}

// Saving before anything was picked used to replace a trained file with an empty one.
TEST_F(ColorClassFile, NothingPickedWritesNothing) {
    writeBytes("trained.dat", std::string("\x01\x02\x03\x01", 4));
    ColorTraining training;
    EXPECT_EQ(training.save(path("trained.dat")), ClassFileStatus::NothingPicked);
    EXPECT_EQ(readBytes(path("trained.dat")), std::string("\x01\x02\x03\x01", 4));
    EXPECT_EQ(training.save(path("new.dat")), ClassFileStatus::NothingPicked);
    EXPECT_FALSE(fs::exists(path("new.dat")));
}

// Every size a file may have: fewer than 4 bytes hold no colour, trailing bytes are ignored,
// any class byte is taken, and 2^24 records are the most a saved file holds.
TEST_F(ColorClassFile, FileSizes) {
    struct Case {
        const char* name;
        std::uintmax_t bytes;
        ClassFileStatus status;
        std::size_t records;
    };
    const Case cases[] = {
        {"empty", 0, ClassFileStatus::Empty, 0},
        {"three bytes", 3, ClassFileStatus::Empty, 0},
        {"six bytes", 6, ClassFileStatus::Ok, 1},
        {"the limit and three", kMaxClassFileRecords * 4 + 3, ClassFileStatus::Ok,
         kMaxClassFileRecords},
        {"above the limit", (kMaxClassFileRecords + 1) * 4, ClassFileStatus::TooLarge, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes("c.dat", c.bytes <= 6 ? std::string("\x01\x02\x03\x07\xAA\xBB", c.bytes) : "");
        if (c.bytes > 6) fs::resize_file(path("c.dat"), c.bytes);  // sparse
        std::vector<PackedSample> samples{42};
        EXPECT_EQ(readColorClassFile(path("c.dat"), samples), c.status);
        if (c.status != ClassFileStatus::Ok) {
            EXPECT_EQ(samples, std::vector<PackedSample>{42});
            continue;
        }
        ASSERT_EQ(samples.size(), c.records);
        if (c.bytes == 6) {
            EXPECT_EQ(samples[0], 0x07030201u);
        }
    }
}

TEST_F(ColorClassFile, LoadedClassifierVotesWithTheRecords) {
    std::string bytes;
    for (int i = 0; i < 6; ++i) bytes += std::string{static_cast<char>(50 + i), 60, 70, 1};
    writeBytes("six.dat", bytes);
    ColorClassifier classifier;
    ASSERT_EQ(loadColorClassifier(path("six.dat"), 5, classifier), ClassFileStatus::Ok);
    ASSERT_NE(classifier.tree, nullptr);
    EXPECT_EQ(classifier.threshold, 5);
    EXPECT_EQ(classifier.tree->classify(70 << 16 | 60 << 8 | 52, 5), 1);
}

// A file that cannot be used leaves the classes loaded before in use; an empty one used to
// be taken as loaded, so that the old classes went on without the operator knowing.
TEST_F(ColorClassFile, FailedLoadLeavesTheClassifierAsItWas) {
    writeBytes("good.dat", std::string(24, '\x01'));
    ColorClassifier classifier;
    ASSERT_EQ(loadColorClassifier(path("good.dat"), 5, classifier), ClassFileStatus::Ok);
    const auto tree = classifier.tree;

    writeBytes("empty.dat", "");
    writeBytes("huge.dat", "");
    fs::resize_file(path("huge.dat"), (kMaxClassFileRecords + 1) * 4);
    ASSERT_EQ(::mkfifo(path("fifo.dat").c_str(), 0600), 0);
    EXPECT_EQ(loadColorClassifier(path("empty.dat"), 7, classifier), ClassFileStatus::Empty);
    EXPECT_EQ(loadColorClassifier(path("huge.dat"), 7, classifier), ClassFileStatus::TooLarge);
    EXPECT_EQ(loadColorClassifier(path("missing.dat"), 7, classifier), ClassFileStatus::CannotOpen);
    EXPECT_EQ(loadColorClassifier(folder.string(), 7, classifier), ClassFileStatus::CannotOpen);
    EXPECT_EQ(loadColorClassifier(path("fifo.dat"), 7, classifier), ClassFileStatus::CannotOpen);
    EXPECT_EQ(classifier.tree, tree);
    EXPECT_EQ(classifier.threshold, 5);
}

TEST_F(ColorClassFile, UnwritableFileIsReportedAndTheOldOneKept) {
    writeBytes("keep.dat", "1234");
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    ColorTraining training;
    training.addSamples(colourRow({{9, 9, 9}}), 0, 0, 1, 1);
    if (::geteuid() != 0) {  // root writes into read-only folders
        EXPECT_EQ(training.save(path("keep.dat")), ClassFileStatus::CannotWrite);
        EXPECT_EQ(readBytes(path("keep.dat")), "1234");
    }
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(training.save(path("no/such/folder.dat")), ClassFileStatus::CannotWrite);
    EXPECT_EQ(training.save(folder.string()), ClassFileStatus::CannotWrite);
    EXPECT_TRUE(fs::is_directory(folder));
}

}  // namespace
}  // namespace quendra
