// Levels from the apex on canals and roots made by hand, so that each level's slice and canals
// are known by construction; and the levels' option text.

#include <gtest/gtest.h>

#include "analysis/CanalLevels.h"

namespace quendra {
namespace {

// A canal of `root` from slice `from` to slice `to`; its label in slice s is label0 + s % 5, as
// labels change from slice to slice.
CanalRun canal(int number, int root, int from, int to, int label0) {
    CanalRun c{number, root, {}, {}, {}};
    for (int s = from; s <= to; ++s) c.sections.push_back({s, label0 + s % 5, 10, {}});
    return c;
}

// Root 1 runs from slice 11 to 60 at 0.1 mm: crown first, canal 1 from slice 11 to 35 divides
// into canals 2 and 3, which run to the apex at slice 60; root 2's canal 4 runs beside it
// through the whole stack. Read apex first, the same root is stored the other way round: slice
// s there is slice 71 - s here.
TEST(CanalLevels, LevelsAreCountedFromTheApexInEitherStackOrder) {
    const std::vector<double> levels = {0.04, 0.15, 1, 3, 4.9, 5};
    // Crown first: the slices and the canals (number, label) of each level.
    const std::vector<std::optional<int>> slices = {60, 58, 50, 30, 11, std::nullopt};
    const std::vector<std::vector<int>> canalsAt = {{2, 3}, {2, 3}, {2, 3}, {1}, {1}, {}};
    RootConfiguration root;
    root.root = 1, root.firstSlice = 11, root.lastSlice = 60;
    for (const bool apexFirst : {false, true}) {
        SCOPED_TRACE(apexFirst);
        const auto stored = [&](int s) { return apexFirst ? 71 - s : s; };
        const auto storedCanal = [&](int number, int rootOf, int from, int to, int label0) {
            return canal(number, rootOf, std::min(stored(from), stored(to)),
                         std::max(stored(from), stored(to)), label0);
        };
        const std::vector<CanalRun> canals = {
            storedCanal(1, 1, 11, 35, 1), storedCanal(2, 1, 36, 60, 20),
            storedCanal(3, 1, 36, 60, 30), storedCanal(4, 2, 1, 70, 40)};
        const std::vector<RootLevel> found = rootLevels(root, canals, levels, 0.1, apexFirst);
        ASSERT_EQ(found.size(), levels.size());
        for (std::size_t i = 0; i < levels.size(); ++i) {
            SCOPED_TRACE(levels[i]);
            EXPECT_EQ(found[i].mm, levels[i]);
            ASSERT_EQ(found[i].slice.has_value(), slices[i].has_value());
            if (!slices[i]) continue;
            const int slice = stored(*slices[i]);
            EXPECT_EQ(*found[i].slice, slice);
            ASSERT_EQ(found[i].canals.size(), canalsAt[i].size());
            for (std::size_t c = 0; c < canalsAt[i].size(); ++c) {
                const int number = canalsAt[i][c];
                EXPECT_EQ(found[i].canals[c].canal, number);
                EXPECT_EQ(found[i].canals[c].label, (number == 1 ? 1 : 10 * number) + slice % 5);
            }
        }
    }
}

TEST(CanalLevels, OptionTextGivesLevelsOrNamesTheFault) {
    const ParsedLevels good = parseLevels(" 1, 2,3.5 ,4,0.25");
    EXPECT_EQ(good.error, "");
    EXPECT_EQ(good.mm, (std::vector<double>{1, 2, 3.5, 4, 0.25}));
    std::string hundred = "1";
    for (int i = 2; i <= 100; ++i) hundred += "," + std::to_string(i);
    EXPECT_EQ(parseLevels(hundred).mm.size(), 100u);
    const std::pair<std::string, std::string> faults[] = {
        {"", "level 1 is empty"},
        {"1,,2", "level 2 is empty"},
        {"1,2,", "level 3 is empty"},
        {"1,2mm", "level 2 (\"2mm\") is no number of millimetres"},
        {"1,inf", "level 2 (\"inf\") is no number of millimetres"},
        {"1;2", "level 1 (\"1;2\") is no number of millimetres"},
        {"0", "level 1 (\"0\") is not above 0 mm"},
        {"1,-2", "level 2 (\"-2\") is not above 0 mm"},
        {"1,2,1.0", "level 3 (\"1.0\") repeats level 1"},
        {hundred + ",101", "more than 100 levels"}};
    for (const auto& [text, error] : faults) {
        const ParsedLevels parsed = parseLevels(text);
        EXPECT_EQ(parsed.error, error) << text;
        EXPECT_TRUE(parsed.mm.empty()) << text;
    }
}

}  // namespace
}  // namespace quendra
