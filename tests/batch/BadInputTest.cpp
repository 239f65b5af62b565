#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "BadInputs.h"
#include "TempFolder.h"
#include "batch/BatchRun.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

using BatchBadInput = TempFolder;

// Every odd file is either analysed or named; nothing crashes and the good ones are in the table.
TEST_F(BatchBadInput, EveryFileIsAnalysedOrNamed) {
    const auto inputs = makeBadPictures(folder / "in");
    BatchOptions o;
    o.classes = QUENDRA_SAMPLE_DIR "/classes.dat";
    o.out = (folder / "out").string();
    o.quiet = true;
    o.jobs = 2;
    for (const BadInput& b : inputs) o.inputs.push_back(b.path.string());
    std::ostringstream log;
    EXPECT_EQ(runBatch(o, log), 1);
    const std::string table = fileBytes(folder / "out" / "results.csv");
    for (const BadInput& b : inputs) {
        SCOPED_TRACE(b.path.string());
        const bool named = log.str().find(b.path.string() + ":") != std::string::npos;
        const bool inTable = table.find(csvField(b.path.string()) + ",") != std::string::npos;
        EXPECT_EQ(named, !b.readable) << log.str();
        EXPECT_EQ(inTable, b.readable);
    }
}

TEST_F(BatchBadInput, VideoWithBrokenLastFramesKeepsTheGoodOnes) {
    const fs::path video = makeVideoWithBrokenTail(folder, 20, 0.6);
    BatchOptions o;
    o.classes = QUENDRA_SAMPLE_DIR "/classes.dat";
    o.out = (folder / "out").string();
    o.quiet = true;
    o.inputs = {video.string()};
    std::ostringstream log;
    const int status = runBatch(o, log);
    const std::string table = fileBytes(folder / "out" / "results.csv");
    EXPECT_NE(table.find(csvField(video.string()) + ",0,none"), std::string::npos) << table;
    if (status == 1) EXPECT_NE(log.str().find("cannot be read"), std::string::npos) << log.str();
    else EXPECT_NE(table.find(",19,none"), std::string::npos);  // the back end read on regardless
}

TEST_F(BatchBadInput, OutputFolderProblemsAreNamed) {
    writeText(folder / "datei", "x");
    BatchOptions o;
    o.classes = QUENDRA_SAMPLE_DIR "/classes.dat";
    o.quiet = true;
    o.inputs = {QUENDRA_SAMPLE_DIR "/front-640x480.png"};
    o.out = (folder / "datei").string();  // a file where a folder is expected
    std::ostringstream log;
    EXPECT_EQ(runBatch(o, log), 1);
    EXPECT_NE(log.str().find("output folder"), std::string::npos);
    o.out = (folder / "neu" / "tief").string();  // missing folders are made
    EXPECT_EQ(runBatch(o, log), 0) << log.str();
}

TEST_F(BatchBadInput, ColourClassFilesOfOddSizes) {
    BatchOptions o;
    o.quiet = true;
    o.inputs = {QUENDRA_SAMPLE_DIR "/front-640x480.png"};
    o.out = (folder / "out").string();
    for (const int size : {0, 3, 6}) {
        writeText(folder / "c.dat", std::string(static_cast<std::size_t>(size), '\x01'));
        o.classes = (folder / "c.dat").string();
        std::ostringstream log;
        EXPECT_EQ(runBatch(o, log), 0) << size << ": " << log.str();
    }
    writeText(folder / "huge.dat", "");
    fs::resize_file(folder / "huge.dat", 70u << 20);
    o.classes = (folder / "huge.dat").string();
    std::ostringstream log;
    EXPECT_EQ(runBatch(o, log), 1);
    EXPECT_NE(log.str().find("huge.dat"), std::string::npos);
}

}  // namespace
}  // namespace quendra
