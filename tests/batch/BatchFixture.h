#pragma once

// One fixture for every batch test: a fresh folder with an input folder "in", and the batch
// run either in this process or as the real program.

#include <gmock/gmock.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "Program.h"
#include "TempFolder.h"
#include "TestVideo.h"
#include "batch/BatchRun.h"

namespace quendra {

using ::testing::HasSubstr;
using ::testing::Not;

// Its helpers are public, so that the tables of cases can use them.
class BatchFixture : public TempFolder {
public:
    using TempFolder::folder;
    using TempFolder::path;
    using TempFolder::readBytes;
    using TempFolder::writeBytes;

    static constexpr const char* kClasses = QUENDRA_SAMPLE_DIR "/classes.dat";

    void SetUp() override {
        TempFolder::SetUp();
        std::filesystem::create_directories(folder / "in");
    }

    // A bundled sample copied into the input folder under another name.
    std::filesystem::path sample(const std::string& name, const std::string& as) const {
        const std::filesystem::path to = folder / "in" / as;
        std::filesystem::create_directories(to.parent_path());
        std::filesystem::copy_file(std::string(QUENDRA_SAMPLE_DIR "/") + name, to);
        return to;
    }

    BatchOptions options(std::vector<std::string> inputs, const std::string& out = "out") const {
        BatchOptions o;
        o.classes = kClasses;
        o.out = (folder / out).string();
        o.quiet = true;
        o.inputs = std::move(inputs);
        return o;
    }

    int run(const BatchOptions& o) {
        log.str({});
        return runBatch(o, log);
    }

    // quendra-batch itself with these arguments.
    static std::vector<std::string> program(std::vector<std::string> args) {
        args.insert(args.begin(), QUENDRA_BATCH_PROGRAM);
        return args;
    }

    // The command line of quendra-batch with the sample classes into `out` and these arguments.
    std::vector<std::string> command(std::vector<std::string> args,
                                     const std::string& out = "out") const {
        args.insert(args.begin(), {"--classes", kClasses, "--out", path(out)});
        return program(std::move(args));
    }

    std::string table(const std::string& out = "out") const {
        return readBytes(folder / out / "results.csv");
    }

    // An MJPG video of `frames` indexed frames in the input folder; its path.
    std::string video(const std::string& name, int frames, cv::Size size = {160, 120}) const {
        const std::string file = path("in/" + name);
        EXPECT_TRUE(
            writeIndexedVideo(file, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), frames, size))
            << file;
        return file;
    }

    // A video of 1500 small frames, long enough that its progress lines overflow a pipe, so
    // that a run waits for the test at a point the test chooses.
    std::string longVideo() const { return video("lang.avi", 1500, {64, 48}); }

    // The frames in the table, in order; every row must be whole.
    std::vector<int> tableFrames(const std::string& out = "out") const {
        const std::string rows = table(out);
        EXPECT_TRUE(rows.size() >= 2 && rows.compare(rows.size() - 2, 2, "\r\n") == 0)
            << "a half row";
        std::vector<int> frames;
        std::istringstream in(rows);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            const int frame = std::stoi(line.substr(line.find(',') + 1));
            if (frames.empty() || frames.back() != frame) frames.push_back(frame);
        }
        return frames;
    }

    nlohmann::json record(const std::string& out = "out") const {
        return nlohmann::json::parse(readBytes(folder / out / "run.json"));
    }

    std::ostringstream log;
};

}  // namespace quendra
