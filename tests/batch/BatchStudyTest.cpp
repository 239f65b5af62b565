// What a research study asks of the batch analyser: a row for every tooth found, label
// pictures that match the table, one movie per video, a scale per picture, and runs that can
// be interrupted and continued, or cut into shards for a cluster.

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "BatchFixture.h"
#include "batch/Progress.h"
#include "io/CsvRecords.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

using BatchStudy = BatchFixture;

std::vector<std::vector<std::string>> rowsOf(const std::string& table) {
    std::vector<std::vector<std::string>> rows;
    for (const CsvRecord& r : readCsvRecords(table)) rows.push_back(r.fields);
    return rows;
}

// A tooth whose canals are all refused still gets its row, told apart from a picture without
// any tooth.
TEST_F(BatchStudy, AToothWithoutCanalsIsNotNothing) {
    sample("front-640x480.png", "zahn.png");
    cv::imwrite(path("in/zahnfleisch.png"),
                cv::imread(QUENDRA_SAMPLE_DIR "/front-640x480.png")(cv::Rect(0, 0, 120, 100)));
    BatchOptions o = options({path("in")});
    o.analysis.filter = 0;  // an acceptance ellipse of nothing: no canal is taken
    ASSERT_EQ(run(o), 0) << log.str();
    const auto rows = rowsOf(table());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][2], "tooth");
    EXPECT_EQ(rows[1][3], "Zahn nicht erkannt.");
    EXPECT_EQ(rows[1][4], "0");
    EXPECT_EQ(rows[2][2], "none");
}

// Read back as 16-bit labels, every label holds as many pixels as its row's area.
TEST_F(BatchStudy, MasksHoldTheTableAreas) {
    sample("molar-640x480.png", "m.png");
    sample("front-640x480.png", "f.png");
    BatchOptions o = options({path("in")});
    o.masks = true;
    ASSERT_EQ(run(o), 0) << log.str();
    const auto rows = rowsOf(table());
    int label = 0;
    std::string file;
    cv::Mat labels;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i][0] != file) {
            file = rows[i][0];
            labels = cv::imread(path("out/" + fs::path(file).filename().string() + "-labels.png"),
                                cv::IMREAD_UNCHANGED);
            ASSERT_EQ(labels.type(), CV_16UC1) << file;
            label = 0;
        }
        ++label;
        EXPECT_EQ(cv::countNonZero(labels == label), std::stoi(rows[i][5])) << rows[i][2];
    }
    EXPECT_EQ(label, 4);  // the molar's three canals came last
}

// One movie per video with a frame for every analysed frame, at the video's rate over --every,
// and a mask per analysed frame.
TEST_F(BatchStudy, AMovieOfEveryAnalysedFrame) {
    BatchOptions o = options({video("film.avi", 30, {96, 64})});
    o.every = 3;
    o.masks = true;
    ASSERT_EQ(run(o), 0) << log.str();
    EXPECT_EQ(tableFrames(), (std::vector<int>{0, 3, 6, 9, 12, 15, 18, 21, 24, 27}));
    for (const int frame : tableFrames())  // the masks number frames as the table does
        EXPECT_TRUE(fs::exists(path("out/film.avi-f" + std::to_string(frame) + "-labels.png")));
    cv::VideoCapture movie(path("out/film.avi-analyse.mov"));
    ASSERT_TRUE(movie.isOpened());
    EXPECT_EQ(movie.get(cv::CAP_PROP_FRAME_COUNT), 10);
    EXPECT_NEAR(movie.get(cv::CAP_PROP_FPS), 25.0 / 3, 0.01);
    EXPECT_FALSE(fs::exists(path("out/film.avi-f0-analyse.txt")));  // texts only with --texts
}

// Each picture its own scale, by the name given or within its folder; one without gets empty
// millimetre columns, and the run says so once.
TEST_F(BatchStudy, AScalePerPicture) {
    sample("molar-640x480.png", "m.png");
    sample("front-640x480.png", "f.png");
    sample("front-640x480.png", "ohne.png");
    writeBytes("scale.csv", "file,px_per_mm\r\nm.png,20\r\n\"" + path("in/f.png") + "\",12.5\r\n");
    BatchOptions o = options({path("in")});
    o.scale = path("scale.csv");
    ASSERT_EQ(run(o), 0) << log.str();
    EXPECT_THAT(log.str(), HasSubstr("1 inputs have no scale"));
    for (const auto& row : rowsOf(table())) {
        if (row[2] != "tooth") continue;
        const std::string name = fs::path(row[0]).filename().string();
        const double scale = name == "m.png" ? 20 : name == "f.png" ? 12.5 : 0;
        if (scale == 0) {
            EXPECT_EQ(row[15] + row[16] + row[21], "");
            continue;
        }
        EXPECT_EQ(std::stod(row[15]), scale);
        EXPECT_FLOAT_EQ(std::stof(row[16]),
                        static_cast<float>(std::stod(row[5]) / (scale * scale)));
        EXPECT_FLOAT_EQ(std::stof(row[21]), static_cast<float>(std::stod(row[11]) / scale));
    }
    writeBytes("scale.csv", "m.png,-3\r\n");
    EXPECT_EQ(run(o), 1);
    EXPECT_THAT(log.str(), HasSubstr("scale.csv: row 1"));
}

// Interrupted by SIGINT at a point the test holds it at, then resumed: the table is byte for
// byte that of a run that was never interrupted, and the movie is whole.
TEST_F(BatchStudy, AResumedRunEqualsAnUninterruptedOne) {
    const std::string video = longVideo();
    sample("molar-640x480.png", "nach.png");
    BatchOptions whole = options({video, path("in/nach.png")}, "whole");
    ASSERT_EQ(run(whole), 0) << log.str();

    const auto args = [&](std::vector<std::string> more) {
        more.insert(more.begin(), {video, path("in/nach.png")});
        return command(more);
    };
    Program interrupted(args({}));
    for (int line = 0; line < 10; ++line) ASSERT_TRUE(interrupted.readLine());
    interrupted.signal(SIGINT);
    ASSERT_EQ(interrupted.wait(), 130);
    ASSERT_LT(tableFrames().size(), 1500u);
    std::string truncated = table();
    truncated.resize(truncated.size() - 7);  // as if killed in the middle of a row
    writeBytes("out/results.csv", truncated);

    Program resumed(args({"--resume", "--quiet"}));
    EXPECT_EQ(resumed.wait(), 0) << resumed.errorText();
    EXPECT_EQ(table(), table("whole"));
    EXPECT_EQ(record()["status"], "finished");
    EXPECT_EQ(cv::VideoCapture(path("out/lang.avi-analyse.mov")).get(cv::CAP_PROP_FRAME_COUNT),
              1500);
}

// Killed outright, as a scheduler's time limit does: the rows of the frames done are in the
// table, the record already names what could not be analysed, so the resumed run names it
// too, and the movie the killed run left half-made is cleared away.
TEST_F(BatchStudy, AResumeAfterAKillNamesEveryProblemAndLeavesNoHalfMovie) {
    writeBytes("in/a.png", "kein Bild");
    longVideo();
    Program killed(command({path("in")}));
    for (int line = 0; line < 20; ++line) ASSERT_TRUE(killed.readLine());
    killed.signal(SIGKILL);
    killed.wait();
    EXPECT_EQ(record()["status"], "running");
    EXPECT_GE(tableFrames().size(), 10u);  // rows reach the table as each frame is done
    ASSERT_EQ(record()["problems"].size(), 1u);
    EXPECT_THAT(record()["problems"][0].get<std::string>(), HasSubstr("a.png: "));
    const auto hiddenFiles = [&] {
        std::vector<std::string> hidden;
        for (const auto& entry : fs::directory_iterator(folder / "out"))
            if (entry.path().filename().string().ends_with(".tmp"))
                hidden.push_back(entry.path().filename().string());
        return hidden;
    };
    ASSERT_EQ(hiddenFiles().size(), 1u);  // the movie in hand

    Program resumed(command({path("in"), "--resume", "--quiet"}));
    EXPECT_EQ(resumed.wait(), 1);
    EXPECT_THAT(resumed.errorText(),
                HasSubstr("a.png: cannot read the picture (named by the run resumed)"));
    EXPECT_EQ(record()["problems"].size(), 1u);
    EXPECT_EQ(record()["exit_status"], 1);
    EXPECT_EQ(hiddenFiles(), std::vector<std::string>{});
    EXPECT_EQ(tableFrames().size(), 1500u);
}

// Three shards into one folder: their tables, in order and with the header once, are the table
// of one run.
TEST_F(BatchStudy, ShardsMakeTheTableOfOneRun) {
    for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) sample("front-640x480.png", name);
    video("e.avi", 5);
    ASSERT_EQ(run(options({path("in")}, "single")), 0) << log.str();
    std::string joined;
    for (int shard = 1; shard <= 3; ++shard) {
        BatchOptions o = options({path("in")}, "shards");
        o.shard = shard;
        o.shards = 3;
        ASSERT_EQ(run(o), 0) << log.str();
        const std::string part =
            readBytes(folder / "shards" / ("results-" + std::to_string(shard) + "-of-3.csv"));
        joined += shard == 1 ? part : part.substr(part.find("\r\n") + 2);
        EXPECT_TRUE(
            fs::exists(folder / "shards" / ("run-" + std::to_string(shard) + "-of-3.json")));
    }
    EXPECT_EQ(joined, table("single"));
}

// A problem gets a line of its own; the frames counted are those analysed, as in run.json.
TEST_F(BatchStudy, OnATerminalProgressIsOneLine) {
    sample("front-640x480.png", "a.png");
    sample("front-640x480.png", "b.png");
    writeBytes("in/c.png", "kein Bild");
    BatchOptions o = options({path("in")});
    o.quiet = false;
    log.str({});
    ASSERT_EQ(runBatch(o, log, true), 1);
    const std::string text = log.str();
    EXPECT_THAT(text, HasSubstr("\r\x1b[K[3/3] 2 frames  "));
    EXPECT_EQ(record()["frames_done"], 2);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    EXPECT_EQ(text.back(), '\n');
}

// The time left: the frames still to take at this run's time per frame so far (two videos of
// 100 frames and five pictures, a second a frame); none while there is nothing to tell it by.
// Both styles count the item in hand from 1.
TEST(BatchProgress, TimeLeftFromTheFramesStillToTake) {
    for (const bool known : {true, false}) {
        std::ostringstream log;
        auto now = std::chrono::steady_clock::time_point{};
        Progress progress(log, Progress::Style::Terminal, 7, [&] { return now; });
        if (known) progress.framesToTake(205);
        for (int frame = 0; frame < 5; ++frame) {
            now += std::chrono::seconds(1);
            progress.frameDone(0, "a.avi", frame, "frame", true, false);
        }
        const std::string text = log.str();
        EXPECT_THAT(text, Not(HasSubstr("[0/7]")));
        EXPECT_THAT(text, HasSubstr("[1/7] 5 frames  a.avi frame 4"));
        if (known)
            EXPECT_THAT(text, HasSubstr("a.avi frame 4  about 3 min 20 s left"));
        else
            EXPECT_THAT(text, Not(HasSubstr("left")));
    }
    std::ostringstream lines;
    Progress piped(lines, Progress::Style::Lines, 7);
    piped.frameDone(0, "a.avi", 0, "frame", true, false);
    EXPECT_EQ(lines.str(), "[1/7] a.avi frame 0\n");
}

}  // namespace
}  // namespace quendra
