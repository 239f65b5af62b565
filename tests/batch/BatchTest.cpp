#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include "SampleScene.h"
#include "TempFolder.h"
#include "analysis/ToothAnalysis.h"
#include "batch/BatchRun.h"
#include "colour/ColorClasses.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

class Batch : public TempFolder {
protected:
    void SetUp() override {
        TempFolder::SetUp();
        fs::create_directories(folder / "in");
    }

    BatchOptions options(std::vector<std::string> inputs, const std::string& out = "out") const {
        BatchOptions o;
        o.classes = QUENDRA_SAMPLE_DIR "/classes.dat";
        o.out = (folder / out).string();
        o.quiet = true;
        o.inputs = std::move(inputs);
        return o;
    }
    int run(const BatchOptions& o) {
        log.str({});
        return runBatch(o, log);
    }
    std::ostringstream log;
};

TEST_F(Batch, RowsAgreeWithTheAnalysisAndTheTruth) {
    const SampleScene scene = sampleScenes().front();
    ASSERT_EQ(run(options({QUENDRA_SAMPLE_DIR "/molar-640x480.png"})), 0) << log.str();
    SampleTruth truth;
    const cv::Mat picture = renderScene(scene, &truth);
    ColorClasses classes;
    ASSERT_EQ(classes.load(QUENDRA_SAMPLE_DIR "/classes.dat"), ClassFileStatus::Ok);
    ToothAnalysis analysis;
    analysis.calculate(picture, classes);

    std::istringstream table(readBytes(folder / "out" / "results.csv"));
    std::string line;
    std::getline(table, line);
    std::getline(table, line);
    EXPECT_NE(line.find(",tooth,UK-Molar," + std::to_string(static_cast<int>(analysis.getToothResult().area)) + ","),
              std::string::npos) << line;
    for (std::size_t i = 0; i < truth.canals.size(); ++i) {
        std::getline(table, line);
        const CanalResult& c = analysis.getCanals()[i];
        EXPECT_NE(line.find(",canal " + std::to_string(i + 1) + ",," + std::to_string(static_cast<int>(c.area)) +
                            "," + std::to_string(c.centerX) + "," + std::to_string(c.centerY) + ","),
                  std::string::npos) << line;
        EXPECT_NEAR(c.centerX, truth.canals[i].centre.x, 1.0);
    }
    EXPECT_TRUE(fs::exists(folder / "out" / "molar-640x480-analyse.png"));
    EXPECT_EQ(readBytes(folder / "out" / "molar-640x480-analyse.txt").rfind("Zahn\n\nTyp: UK-Molar\n", 0), 0u);
    EXPECT_NE(readBytes(folder / "out" / "run.json").find("\"classes_bytes\": "), std::string::npos);
}

TEST_F(Batch, BadInputsAreNamedAndTheGoodOnesStillDone) {
    std::ofstream(folder / "in" / "empty.png").close();
    std::ofstream(folder / "in" / "text.png") << "no picture";
    std::ofstream(folder / "in" / "notes.txt") << "ignored in folders";
    fs::copy_file(QUENDRA_SAMPLE_DIR "/front-640x480.png", folder / "in" / "b-front.png");
    const int status = run(options({(folder / "in").string(), (folder / "missing.jpg").string()}));
    EXPECT_EQ(status, 1);
    const std::string text = log.str();
    EXPECT_NE(text.find("empty.png: cannot read"), std::string::npos) << text;
    EXPECT_NE(text.find("text.png: cannot read"), std::string::npos);
    EXPECT_NE(text.find("missing.jpg: no such file"), std::string::npos);
    EXPECT_EQ(text.find("notes.txt"), std::string::npos);
    EXPECT_NE(readBytes(folder / "out" / "results.csv").find(",tooth,Frontzahn,"), std::string::npos);
}

TEST_F(Batch, JobsDoNotChangeTheTable) {
    for (int i = 0; i < 5; ++i)
        fs::copy_file(QUENDRA_SAMPLE_DIR "/molar-640x480.png", folder / "in" / ("m" + std::to_string(i) + ".png"));
    fs::copy_file(QUENDRA_SAMPLE_DIR "/front-640x480.png", folder / "in" / "f.png");
    BatchOptions one = options({(folder / "in").string()}, "one");
    one.jobs = 1;
    BatchOptions two = options({(folder / "in").string()}, "two");
    two.jobs = 2;
    ASSERT_EQ(run(one), 0);
    ASSERT_EQ(run(two), 0);
    EXPECT_EQ(readBytes(folder / "one" / "results.csv"), readBytes(folder / "two" / "results.csv"));
}

TEST_F(Batch, OddFileNamesRoundTripThroughTheTable) {
    const fs::path odd = folder / "in" / "Zahn \"ä\", links.png";
    fs::copy_file(QUENDRA_SAMPLE_DIR "/front-640x480.png", odd);
    ASSERT_EQ(run(options({odd.string()})), 0) << log.str();
    const std::string table = readBytes(folder / "out" / "results.csv");
    EXPECT_NE(table.find(csvField(odd.string()) + ",,tooth,"), std::string::npos) << table;
    EXPECT_EQ(csvField("Zahn \"ä\", links"), "\"Zahn \"\"ä\"\", links\"");
}

TEST(BatchOptions, BadCommandLinesAreRefusedWithAReason) {
    std::string error;
    EXPECT_FALSE(parseBatchOptions({"a.png"}, error));
    EXPECT_NE(error.find("--classes"), std::string::npos);
    EXPECT_FALSE(parseBatchOptions({"--classes", "c.dat", "--filter", "11", "a.png"}, error));
    EXPECT_FALSE(parseBatchOptions({"--classes", "c.dat", "--jobs", "x", "a.png"}, error));
    EXPECT_FALSE(parseBatchOptions({"--classes", "c.dat", "--bogus", "a.png"}, error));
    EXPECT_FALSE(parseBatchOptions({"--classes", "c.dat"}, error));
    const auto ok = parseBatchOptions({"--classes", "c.dat", "--px-per-mm", "12.5", "--every", "3", "a.png"}, error);
    ASSERT_TRUE(ok);
    EXPECT_EQ(*ok->pxPerMm, 12.5);
    EXPECT_EQ(ok->every, 3);
}

}  // namespace
}  // namespace quendra
