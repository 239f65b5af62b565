#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

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

// Every size a file may have: no bytes hold no colour, a size that is no whole number of
// records is refused by the record cut short (it used to be ignored), and 2^24 records are the
// most a saved file holds.
TEST_F(ColorClassFile, FileSizes) {
    struct Case {
        const char* name;
        std::uintmax_t bytes;
        ClassFileRead read;
    };
    using enum ClassFileStatus;
    const Case cases[] = {
        {"empty", 0, {Empty}},
        {"three bytes", 3, {PartialRecord, 1, 3}},
        {"four bytes", 4, {Ok}},
        {"six bytes", 6, {PartialRecord, 2, 2}},
        {"the limit", kMaxClassFileRecords * 4, {Ok}},
        {"limit + 3", kMaxClassFileRecords * 4 + 3, {PartialRecord, kMaxClassFileRecords + 1, 3}},
        {"above the limit", (kMaxClassFileRecords + 1) * 4, {TooLarge}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Records of a grey of class 1; the large files are sparse, so their colours are
        // black and their classes filled in below where the size allows.
        std::string bytes;
        for (std::uintmax_t i = 0; i < std::min<std::uintmax_t>(c.bytes, 8); ++i)
            bytes += i % 4 == 3 ? '\x01' : '\x50';
        writeBytes("c.dat", bytes);
        if (c.bytes > 8) {
            fs::resize_file(path("c.dat"), c.bytes);
            if (c.bytes / 4 <= kMaxClassFileRecords) {
                std::vector<PackedSample> whole(c.bytes / 4, packSample(ClassEnamel, 0));
                std::ofstream out(path("c.dat"), std::ios::binary | std::ios::in);
                out.write(reinterpret_cast<const char*>(whole.data()),
                          static_cast<std::streamsize>(whole.size() * 4));
            }
        }
        std::vector<PackedSample> samples{42};
        const ClassFileRead read = readColorClassFile(path("c.dat"), samples);
        EXPECT_EQ(read.status, c.read.status);
        EXPECT_EQ(read.record, c.read.record);
        EXPECT_EQ(read.value, c.read.value);
        if (read.status != ClassFileStatus::Ok) {
            EXPECT_EQ(samples, std::vector<PackedSample>{42});
            continue;
        }
        ASSERT_EQ(samples.size(), c.bytes / 4);
        EXPECT_EQ(samples[0], c.bytes == 4 ? 0x01505050u : packSample(ClassEnamel, 0));
    }
}

// A class byte is 1, 2 or 255 in every file the window writes; any other marks a file that is
// not a colour-class file (a text's letters, random bytes), refused by its first such record
// instead of loaded as colours of made-up classes.
TEST_F(ColorClassFile, ClassesTheFormatDoesNotHave) {
    const auto record = [](std::uint8_t colorClass) {
        return std::string{'\x10', '\x20', '\x30', static_cast<char>(colorClass)};
    };
    struct Case {
        const char* name;
        std::string bytes;
        ClassFileRead read;
    };
    const Case cases[] = {
        {"the three classes", record(1) + record(2) + record(255), {ClassFileStatus::Ok}},
        {"no class", record(1) + record(0), {ClassFileStatus::UnknownClass, 2, 0}},
        {"class 3", record(2) + record(2) + record(3), {ClassFileStatus::UnknownClass, 3, 3}},
        {"class 254", record(254) + record(1), {ClassFileStatus::UnknownClass, 1, 254}},
        {"text", "hello world\n", {ClassFileStatus::UnknownClass, 1, 'l'}},
        // The first fault in file order, before the record cut short at the end.
        {"both faults", record(1) + record(7) + "\x01", {ClassFileStatus::UnknownClass, 2, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes("c.dat", c.bytes);
        std::vector<PackedSample> samples;
        const ClassFileRead read = readColorClassFile(path("c.dat"), samples);
        EXPECT_EQ(read.status, c.read.status);
        EXPECT_EQ(read.record, c.read.record);
        EXPECT_EQ(read.value, c.read.value);
    }
    // 5000 random bytes: some record has a class no writer gives.
    std::string noise(5000, '\0');
    cv::RNG rng(20);
    for (char& b : noise) b = static_cast<char>(rng.uniform(0, 256));
    writeBytes("noise.dat", noise);
    std::vector<PackedSample> samples;
    EXPECT_EQ(readColorClassFile(path("noise.dat"), samples).status, ClassFileStatus::UnknownClass);
}

TEST_F(ColorClassFile, LoadedClassifierVotesWithTheRecords) {
    std::string bytes;
    for (int i = 0; i < 6; ++i) bytes += std::string{static_cast<char>(50 + i), 60, 70, 1};
    writeBytes("six.dat", bytes);
    ColorClassifier classifier;
    ASSERT_EQ(loadColorClassifier(path("six.dat"), classifier).status, ClassFileStatus::Ok);
    ASSERT_NE(classifier.tree, nullptr);
    EXPECT_EQ(classifier.tree->classify(70 << 16 | 60 << 8 | 52, 5), 1);
}

// A file that cannot be used leaves the classes loaded before in use; an empty one used to
// be taken as loaded, so that the old classes went on without the operator knowing.
TEST_F(ColorClassFile, FailedLoadLeavesTheClassifierAsItWas) {
    writeBytes("good.dat", std::string(24, '\x01'));
    ColorClassifier classifier;
    ASSERT_EQ(loadColorClassifier(path("good.dat"), classifier).status, ClassFileStatus::Ok);
    const auto tree = classifier.tree;

    writeBytes("empty.dat", "");
    writeBytes("huge.dat", "");
    fs::resize_file(path("huge.dat"), (kMaxClassFileRecords + 1) * 4);
    ASSERT_EQ(::mkfifo(path("fifo.dat").c_str(), 0600), 0);
    writeBytes("text.dat", "hello world\n");
    const auto load = [&](const std::string& file) {
        return loadColorClassifier(file, classifier).status;
    };
    EXPECT_EQ(load(path("empty.dat")), ClassFileStatus::Empty);
    EXPECT_EQ(load(path("huge.dat")), ClassFileStatus::TooLarge);
    EXPECT_EQ(load(path("text.dat")), ClassFileStatus::UnknownClass);
    EXPECT_EQ(load(path("missing.dat")), ClassFileStatus::CannotOpen);
    EXPECT_EQ(load(folder.string()), ClassFileStatus::CannotOpen);
    EXPECT_EQ(load(path("fifo.dat")), ClassFileStatus::CannotOpen);
    EXPECT_EQ(classifier.tree, tree);
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
