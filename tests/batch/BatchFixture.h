#pragma once

// One fixture for every batch test: a fresh folder with an input folder "in", and the batch
// run either in this process or as the real program.

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "Program.h"
#include "TempFolder.h"
#include "batch/BatchRun.h"

namespace quendra {

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

    std::string table(const std::string& out = "out") const {
        return readBytes(folder / out / "results.csv");
    }

    nlohmann::json record(const std::string& out = "out") const {
        return nlohmann::json::parse(readBytes(folder / out / "run.json"));
    }

    std::ostringstream log;
};

}  // namespace quendra
