#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "ResidentMemory.h"
#include "TempFolder.h"
#include "batch/BatchRun.h"

namespace quendra {
namespace {

using BatchSoak = TempFolder;

// One run of 2,000 items: resident memory, sampled while it runs, stays within 5 % of what it
// was a quarter of the way through.
TEST_F(BatchSoak, TwoThousandItemsKeepMemoryFlat) {
    BatchOptions o;
    o.classes = QUENDRA_SAMPLE_DIR "/classes.dat";
    o.out = folder.string();
    o.quiet = true;
    o.jobs = 2;
    o.inputs.assign(2000, QUENDRA_SAMPLE_DIR "/molar-640x480.png");

    std::vector<long long> samples;
    std::atomic<bool> running{true};
    std::thread sampler([&] {
        while (running) {
            samples.push_back(residentBytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    std::ostringstream log;
    const int status = runBatch(o, log);
    running = false;
    sampler.join();
    ASSERT_EQ(status, 0) << log.str();
    ASSERT_GT(samples.size(), 20u);
    const long long warm = samples[samples.size() / 4];
    const long long peak = *std::max_element(samples.begin() + static_cast<long>(samples.size() / 4), samples.end());
    EXPECT_LE(peak, warm + warm / 20) << warm << " -> " << peak;
}

}  // namespace
}  // namespace quendra
