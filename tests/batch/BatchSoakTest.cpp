#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "BatchFixture.h"
#include "ResidentMemory.h"

namespace quendra {
namespace {

using BatchSoak = BatchFixture;

// One run of 2,000 pictures: resident memory, sampled while the pictures are analysed, stays
// within 5 % of what it was a quarter of the way through.
TEST_F(BatchSoak, TwoThousandItemsKeepMemoryFlat) {
    for (int i = 0; i < 2000; ++i)
        std::filesystem::create_symlink(QUENDRA_SAMPLE_DIR "/molar-640x480.png",
                                        folder / "in" / ("zahn" + std::to_string(i) + ".png"));
    BatchOptions o = options({(folder / "in").string()});
    o.jobs = 2;

    std::vector<long long> samples;
    std::atomic<bool> running{true};
    const std::filesystem::path firstOutput = folder / "out" / "zahn0.png-analyse.jpg";
    std::thread sampler([&] {
        while (running) {
            if (std::filesystem::exists(firstOutput)) samples.push_back(residentBytes());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const int status = run(o);
    running = false;
    sampler.join();
    ASSERT_EQ(status, 0) << log.str();
    ASSERT_GT(samples.size(), 20u);
    const long long warm = samples[samples.size() / 4];
    const long long peak =
        *std::max_element(samples.begin() + static_cast<long>(samples.size() / 4), samples.end());
    EXPECT_LE(peak, warm + warm / 20) << warm << " -> " << peak;
}

}  // namespace
}  // namespace quendra
