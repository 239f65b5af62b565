#include <gtest/gtest.h>

#include <random>

#include "LiteralClassify.h"
#include "colour/KDTree.h"

namespace quendra {
namespace {

// A sample of class `cls` at (b, g, r).
PackedSample at(int cls, int b, int g, int r) {
    return packSample(static_cast<unsigned>(cls), static_cast<ColorKey>(r << 16 | g << 8 | b));
}

int classify(std::vector<PackedSample> samples, int b, int g, int r, int threshold) {
    const KDTree tree(samples);
    return tree.classify(r << 16 | g << 8 | b, threshold);
}

TEST(KDTreeVote, SingleSampleNeverReachesTheQuorum) {
    EXPECT_EQ(classify({at(1, 10, 20, 30)}, 10, 20, 30, 5), 0);
}

TEST(KDTreeVote, SixCloseSamplesMakeTheClass) {
    std::vector<PackedSample> six(6, at(2, 100, 100, 100));
    EXPECT_EQ(classify(six, 102, 101, 99, 5), 2);
    std::vector<PackedSample> five(5, at(2, 100, 100, 100));
    EXPECT_EQ(classify(five, 100, 100, 100, 5), 0);
}

TEST(KDTreeVote, ThresholdOneCountsOnlyEqualSplitChannels) {
    std::vector<PackedSample> six(6, at(2, 100, 100, 100));
    EXPECT_EQ(classify(six, 100, 100, 100, 1), 2);
    EXPECT_EQ(classify(six, 101, 101, 101, 1), 0);
}

TEST(KDTreeVote, LowerClassWinsOverMoreVotes) {
    std::vector<PackedSample> s(6, at(1, 50, 50, 50));
    s.insert(s.end(), 7, at(2, 50, 50, 50));
    EXPECT_EQ(classify(s, 50, 50, 50, 5), 1);
}

TEST(KDTreeVote, ConflictClassVotesLikeAnyOther) {
    std::vector<PackedSample> s(7, at(255, 9, 9, 9));
    EXPECT_EQ(classify(s, 9, 9, 9, 3), 255);
}

TEST(KDTreeVote, ClassZeroTakesSlotsButNeverVotes) {
    std::vector<PackedSample> s(13, at(0, 9, 9, 9));
    EXPECT_EQ(classify(s, 9, 9, 9, 3), 0);
    // Seven class-0 samples fill slots, yet six class-1 samples still make the quorum.
    std::vector<PackedSample> mixed(7, at(0, 9, 9, 9));
    mixed.insert(mixed.end(), 6, at(1, 9, 9, 9));
    EXPECT_EQ(classify(mixed, 9, 9, 9, 3), 1);
}

TEST(KDTreeVote, SameColourTwiceMakesTwoNodes) {
    std::vector<PackedSample> s = {at(1, 5, 5, 5), at(2, 5, 5, 5)};
    const KDTree tree(s);
    EXPECT_EQ(tree.nodes().size(), 2u);
}

TEST(KDTreeVote, FarSplitChannelKeepsASampleOut) {
    // Samples farther than the threshold on their split channel never displace a filler.
    std::vector<PackedSample> far(6, at(1, 200, 200, 200));
    EXPECT_EQ(classify(far, 10, 10, 10, 50), 0);
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
