#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <random>

#include "LiteralClassify.h"
#include "colour/KDTree.h"

namespace quendra {
namespace {

// A sample of class `cls` at (b, g, r).
PackedSample at(int cls, int b, int g, int r) {
    return packSample(static_cast<unsigned>(cls), static_cast<ColorKey>(r << 16 | g << 8 | b));
}

std::vector<PackedSample> times(int n, PackedSample s) {
    return std::vector<PackedSample>(n, s);
}

std::vector<PackedSample> operator+(std::vector<PackedSample> a,
                                    const std::vector<PackedSample>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The vote among the 13 candidates: the quorum is 6, the lowest class that reaches it wins,
// class 0 takes slots but never votes, and candidates must be strictly closer than the
// threshold on their node's own split channel.
TEST(KDTreeVote, Cases) {
    struct Case {
        const char* name;
        std::vector<PackedSample> samples;
        cv::Vec3i query;  // B, G, R
        int threshold;
        int expected;
    };
    const auto six = times(6, at(2, 100, 100, 100)), zeros = times(7, at(0, 9, 9, 9));
    const auto ones = times(6, at(1, 9, 9, 9)), far = times(6, at(1, 200, 200, 200));
    const Case cases[] = {
        {"a single sample never reaches the quorum", {at(1, 10, 20, 30)}, {10, 20, 30}, 5, 0},
        {"six close samples make the class", six, {102, 101, 99}, 5, 2},
        {"five are too few", times(5, at(2, 100, 100, 100)), {100, 100, 100}, 5, 0},
        {"threshold 1 counts equal split channels", six, {100, 100, 100}, 1, 2},
        {"threshold 1 and one off", six, {101, 101, 101}, 1, 0},
        {"the lower class wins over more votes", ones + times(7, at(2, 9, 9, 9)), {9, 9, 9}, 5, 1},
        {"the conflict class votes like any other", times(7, at(255, 9, 9, 9)), {9, 9, 9}, 3, 255},
        {"class 0 never votes", zeros + zeros, {9, 9, 9}, 3, 0},
        {"class 0 takes slots, six of class 1 still win", zeros + ones, {9, 9, 9}, 3, 1},
        {"a far split channel keeps samples out", far, {10, 10, 10}, 50, 0},
    };
    for (const Case& c : cases) {
        const KDTree tree(c.samples);
        EXPECT_EQ(tree.classify(c.query[2] << 16 | c.query[1] << 8 | c.query[0], c.threshold),
                  c.expected)
            << c.name;
    }
    // The same colour twice, with two classes, makes two nodes.
    EXPECT_EQ(KDTree({at(1, 5, 5, 5), at(2, 5, 5, 5)}).nodes().size(), 2u);
}

TEST(KDTreeConstruction, SortsTheCallersListAndKeepsItsSamples) {
    std::vector<PackedSample> s = {at(1, 3, 0, 0), at(1, 1, 0, 0), at(1, 2, 0, 0)};
    const KDTree tree(s);
    // The root splits on B and holds the median.
    EXPECT_EQ(channelOf(tree.nodes()[1], 0), 2);
    EXPECT_TRUE(std::is_permutation(s.begin(), s.end(), tree.nodes().begin()));
}

// Both searches must answer exactly like the ordered multiset, ties included: small channel
// ranges force many equal distances and equal colours. classifyMany is checked on batches of
// every length around its 16 side-by-side searches; with 3 channels and 13 candidates it runs
// them where the processor has AVX-512, otherwise (and for other trees) one search at a time.
TEST(KDTreeClassify, EqualsTheMultisetVersionOnRandomTrees) {
    std::mt19937 random(1234);
    const auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int trial = 0; trial < 300; ++trial) {
        const int range = 1 + below(64);
        const int size = trial % 50 == 0 ? 5000 + below(5000) : 1 + below(400);
        const bool usual = trial % 3 != 0;
        const int axes = usual ? 3 : 1 + below(3);
        const int neighbours = usual ? 13 : 1 + below(13);
        std::vector<PackedSample> samples;
        for (int i = 0; i < size; ++i)
            samples.push_back(at(below(4), below(range), below(range), below(range)));
        const KDTree tree(samples, axes, neighbours);
        const int threshold = trial % 10 == 0 ? 250 + below(20) : below(12) - 1;
        std::vector<int> colours(static_cast<std::size_t>(below(trial % 4 == 0 ? 40 : 300)));
        for (int& c : colours) c = below(range) << 16 | below(range) << 8 | below(range);
        std::vector<int> many(colours.size(), -1);
        tree.classifyMany(colours, threshold, many);
        for (std::size_t q = 0; q < colours.size(); ++q) {
            const int expected = literalClassify(tree, colours[q], threshold);
            ASSERT_EQ(tree.classify(colours[q], threshold), expected)
                << "trial " << trial << " colour " << colours[q] << " threshold " << threshold;
            ASSERT_EQ(many[q], expected)
                << "trial " << trial << " query " << q << " of " << colours.size();
        }
    }
}

TEST(KDTreeClassify, ManyOnAnEmptyTreeAndMismatchedSpans) {
    std::vector<PackedSample> none;
    const KDTree empty(none);
    std::vector<int> colours = {0, 0x102030}, classes = {7, 7};
    empty.classifyMany(colours, 5, classes);
    EXPECT_EQ(classes, (std::vector<int>{0, 0}));
    std::vector<int> shorter(1);
    EXPECT_THROW(empty.classifyMany(colours, 5, shorter), std::invalid_argument);
}

}  // namespace
}  // namespace quendra
