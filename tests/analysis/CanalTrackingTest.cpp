#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "analysis/CanalTracking.h"

namespace quendra {
namespace {

// A root drawn by hand: its region and its canals, as rectangles of a 120 x 60 slice.
struct RootDrawing {
    cv::Rect region;
    std::vector<cv::Rect> canals;
};

SliceSection sectionOf(const std::vector<RootDrawing>& roots, bool swapLabels = false) {
    SliceSection s{cv::Mat::zeros(60, 120, CV_16UC1), cv::Mat::zeros(60, 120, CV_16UC1), {}};
    for (std::size_t i = 0; i < roots.size(); ++i) {
        const int label = swapLabels ? static_cast<int>(roots.size() - i) : static_cast<int>(i) + 1;
        s.roots(roots[i].region).setTo(label);
        for (const cv::Rect& c : roots[i].canals) {
            s.canalRoot.push_back(label);
            s.canals(c).setTo(static_cast<int>(s.canalRoot.size()));
        }
    }
    return s;
}

// One, two or three canals in a root from x 20 to 80: one wide canal overlaps each of two,
// and two overlap the outer ones of three, as a canal dividing does.
std::vector<cv::Rect> canals(int count) {
    switch (count) {
        case 0:
            return {};
        case 1:
            return {{36, 25, 28, 10}};
        case 2:
            return {{34, 25, 10, 10}, {56, 25, 10, 10}};
        default:
            return {{28, 25, 8, 10}, {46, 25, 8, 10}, {64, 25, 8, 10}};
    }
}

const cv::Rect kRoot(20, 10, 60, 40);

// Canal counts slice by slice, from stretches (count, slices).
std::vector<int> counts(const std::vector<std::pair<int, int>>& stretches) {
    std::vector<int> all;
    for (const auto& [count, slices] : stretches) all.insert(all.end(), slices, count);
    return all;
}

std::vector<RootConfiguration> track(const std::vector<int>& perSlice,
                                     TrackingSettings settings = {}, bool apexFirst = false) {
    CanalTracker tracker(settings);
    for (const int n : perSlice) tracker.addSlice(sectionOf({{kRoot, canals(n)}}));
    return tracker.roots(apexFirst);
}

struct TypeCase {
    std::vector<std::pair<int, int>> stretches;
    std::string configuration, vertucci;
    int divisions, junctions;
};

TEST(CanalTracking, TheEightTypesAndOthers) {
    const std::vector<TypeCase> cases = {
        {{{1, 24}}, "1", "I", 0, 0},
        {{{2, 12}, {1, 12}}, "2-1", "II", 0, 1},
        {{{1, 8}, {2, 8}, {1, 8}}, "1-2-1", "III", 1, 1},
        {{{2, 24}}, "2", "IV", 0, 0},
        {{{1, 12}, {2, 12}}, "1-2", "V", 1, 0},
        {{{2, 8}, {1, 8}, {2, 8}}, "2-1-2", "VI", 1, 1},
        {{{1, 6}, {2, 6}, {1, 6}, {2, 6}}, "1-2-1-2", "VII", 2, 1},
        {{{3, 24}}, "3", "VIII", 0, 0},
        {{{2, 8}, {3, 8}, {1, 8}}, "2-3-1", "", 0, 2},  // no type; the middle canal begins anew
        {{{0, 5}, {1, 12}, {0, 4}}, "1", "I", 0, 0},    // no canal seen at the ends of the root
    };
    // Stored from the apex and read so, each is the same root; the counts stay in stack order.
    for (const TypeCase& c : cases)
        for (const bool apexFirst : {false, true}) {
            SCOPED_TRACE(c.configuration + (apexFirst ? " apex first" : ""));
            std::vector<int> perSlice = counts(c.stretches);
            if (apexFirst) std::reverse(perSlice.begin(), perSlice.end());
            const auto roots = track(perSlice, {}, apexFirst);
            ASSERT_EQ(roots.size(), 1u);
            EXPECT_EQ(roots[0].configuration, c.configuration);
            EXPECT_EQ(roots[0].vertucci, c.vertucci);
            EXPECT_EQ(roots[0].divisions, c.divisions);
            EXPECT_EQ(roots[0].junctions, c.junctions);
            EXPECT_EQ(roots[0].firstSlice, 1);
            EXPECT_EQ(roots[0].lastSlice, static_cast<int>(perSlice.size()));
            EXPECT_EQ(roots[0].canalCounts, perSlice);
            EXPECT_EQ(roots[0].note.empty(), !c.vertucci.empty());
        }
}

// A configuration is never made up from stretches shorter than the minimum: with a minimum
// longer than every stretch the root has none, and says why.
TEST(CanalTracking, NoConfigurationFromStretchesShorterThanTheMinimum) {
    for (const int minRun : {13, 1000}) {
        const auto roots = track(counts({{1, 12}, {2, 12}, {1, 12}}), {.minRun = minRun});
        ASSERT_EQ(roots.size(), 1u) << minRun;
        EXPECT_EQ(roots[0].configuration, "") << minRun;
        EXPECT_EQ(roots[0].vertucci, "") << minRun;
        EXPECT_NE(roots[0].note.find("--min-run"), std::string::npos) << roots[0].note;
    }
    EXPECT_EQ(track(counts({{1, 12}, {2, 13}, {1, 12}}), {.minRun = 13})[0].configuration, "2");
}

// What lasts fewer than minRun slices is noise; with minRun 1 it counts.
TEST(CanalTracking, ShortRunsAreNoise) {
    const cv::Rect speck(70, 40, 4, 4);
    struct Noisy {
        const char* name;
        std::vector<std::vector<cv::Rect>> slices;
        std::string withMinRun3, withMinRun1;
    };
    std::vector<std::vector<cv::Rect>> one(20, canals(1)), two(20, canals(2));
    Noisy specks{"a speck", one, "1", "1-2-1"};
    specks.slices[9].push_back(speck);
    Noisy spur{"a spur of two slices", one, "1", "1-2-1"};
    spur.slices[9] = spur.slices[10] = canals(2);
    spur.slices[9][1].y = spur.slices[10][1].y = 26;            // the second branch ends loose: ...
    spur.slices[11] = {canals(1)[0] & cv::Rect(0, 0, 44, 60)};  // ...only the first goes on
    Noisy gap{"a canal missing in one slice", two, "2", "2-1-2"};
    gap.slices[10] = {canals(2)[0]};
    const std::vector<Noisy> cases = {specks, spur, gap};
    for (const Noisy& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& [minRun, expected] : {std::pair{3, c.withMinRun3}, {1, c.withMinRun1}}) {
            CanalTracker tracker({.minRun = minRun});
            for (const auto& slice : c.slices) tracker.addSlice(sectionOf({{kRoot, slice}}));
            EXPECT_EQ(tracker.roots()[0].configuration, expected) << "minRun " << minRun;
        }
    }
    // A division that joins again within two slices: no division, no junction.
    const auto loop = track(counts({{1, 9}, {2, 2}, {1, 9}}));
    EXPECT_EQ(loop[0].configuration, "1");
    EXPECT_EQ(loop[0].divisions + loop[0].junctions, 0);
    EXPECT_EQ(loop[0].canalsMax, 1);
}

// A canal one pixel wide that moves a pixel each slice never overlaps itself: it continues
// only within the tolerance.
TEST(CanalTracking, ThinDriftingCanalContinuesWithinTheTolerance) {
    for (const int tolerance : {1, 0}) {
        CanalTracker tracker({.minRun = 3, .tolerancePx = tolerance});
        for (int i = 0; i < 20; ++i)
            tracker.addSlice(sectionOf({{kRoot, {cv::Rect(30 + i, 20, 1, 12)}}}));
        const auto roots = tracker.roots();
        // Without the tolerance every slice's canal is a speck of its own, dropped as noise.
        ASSERT_EQ(roots.size(), 1u) << tolerance;
        EXPECT_EQ(roots[0].configuration, tolerance > 0 ? "1" : "") << tolerance;
    }
}

// Two roots followed by their overlap whatever their labels, and a third that begins later.
TEST(CanalTracking, RootsAreFollowedByTheirPixels) {
    CanalTracker tracker;
    const cv::Rect left(2, 10, 40, 40), right(60, 10, 40, 40);
    const auto in = [](const cv::Rect& root, int n) {
        std::vector<cv::Rect> c;
        for (int i = 0; i < n; ++i) c.emplace_back(root.x + 5 + 15 * i, 20, 8, 8);
        return c;
    };
    for (int i = 0; i < 30; ++i) {
        std::vector<RootDrawing> roots = {{left, in(left, 1)}, {right, in(right, 2)}};
        if (i >= 12) roots.push_back({{104, 0, 16, 16}, {{108, 4, 4, 4}}});
        tracker.addSlice(sectionOf(roots, i % 2 == 1));
    }
    const auto roots = tracker.roots();
    ASSERT_EQ(roots.size(), 3u);
    EXPECT_EQ(roots[0].configuration, "1");
    EXPECT_EQ(roots[1].configuration, "2");
    EXPECT_EQ(roots[2].configuration, "1");
    EXPECT_EQ(roots[2].firstSlice, 13);
    EXPECT_EQ(roots[2].lastSlice, 30);
}

// A lower molar from the apex up: two roots, the left with one canal, the right with one that
// divides; the roots fuse into the trunk, where the three canals run on side by side, then open
// into the pulp chamber under the crown, whose cusps stand apart at the top. Each canal
// belongs to the root it runs in apically; the chamber ends both roots; the crown, the cusps
// and a speck are no roots. Read apex first and crown first alike.
TEST(CanalTracking, FusedRootsEndAtThePulpChamber) {
    const cv::Rect left(2, 10, 40, 40), right(60, 10, 40, 40), trunk(2, 10, 98, 40);
    const cv::Rect leftCanal(18, 25, 8, 8), rightCanals[] = {{70, 14, 8, 8}, {70, 36, 8, 8}};
    const cv::Rect rightCanal(70, 14, 8, 30);  // before it divides
    std::vector<std::vector<RootDrawing>> fromApex;
    for (int i = 0; i < 12; ++i) {
        const std::vector<cv::Rect> rc =
            i < 4 ? std::vector{rightCanal} : std::vector{rightCanals[0], rightCanals[1]};
        fromApex.push_back({{left, {leftCanal}}, {right, rc}});
    }
    fromApex[6].push_back({{104, 50, 8, 8}, {}});  // a speck beside the roots
    for (int i = 0; i < 8; ++i)
        fromApex.push_back({{trunk, {leftCanal, rightCanals[0], rightCanals[1]}}});
    for (int i = 0; i < 4; ++i) fromApex.push_back({{trunk, {cv::Rect(16, 12, 64, 34)}}});
    for (int i = 0; i < 4; ++i) fromApex.push_back({{trunk, {}}});
    for (int i = 0; i < 2; ++i)
        fromApex.push_back({{{2, 0, 20, 20}, {}}, {{80, 0, 20, 20}, {}}, {{2, 40, 20, 20}, {}}});

    for (const bool apexFirst : {true, false}) {
        SCOPED_TRACE(apexFirst ? "apex first" : "crown first");
        CanalTracker tracker;
        std::vector<std::vector<RootDrawing>> slices = fromApex;
        if (!apexFirst) std::reverse(slices.begin(), slices.end());
        for (const auto& slice : slices) tracker.addSlice(sectionOf(slice));
        RootsLeftOut leftOut;
        auto roots = tracker.roots(apexFirst, &leftOut);
        ASSERT_EQ(roots.size(), 2u);
        std::sort(roots.begin(), roots.end(),
                  [](const auto& a, const auto& b) { return a.configuration < b.configuration; });
        EXPECT_EQ(roots[0].configuration, "1");
        EXPECT_EQ(roots[1].configuration, "2-1");
        EXPECT_EQ(roots[1].vertucci, "II");
        EXPECT_EQ(roots[1].divisions, 0);
        EXPECT_EQ(roots[1].junctions, 1);
        for (const RootConfiguration& root : roots) {
            // From the apex (slice 1 apex first) to the last slice below the chamber.
            const int apex = apexFirst ? 1 : 30, chamberSide = apexFirst ? 20 : 11;
            EXPECT_EQ(root.firstSlice, std::min(apex, chamberSide));
            EXPECT_EQ(root.lastSlice, std::max(apex, chamberSide));
        }
        // The speck, and two of the cusps (the third continues the crown).
        EXPECT_EQ(leftOut.fewSlices, 3);
        EXPECT_EQ(leftOut.total(), 3);
    }
}

// Slices where the analysis found no tooth at all (noise, a blurred slice) do not cut the
// root in two: it continues from the last slice that showed it.
TEST(CanalTracking, SlicesWithoutAnyRootAreBridged) {
    CanalTracker tracker;
    for (int i = 0; i < 24; ++i)
        tracker.addSlice(i == 9 || i == 10 ? sectionOf({})
                                           : sectionOf({{kRoot, canals(i < 12 ? 1 : 2)}}));
    const auto roots = tracker.roots();
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots[0].configuration, "1-2");
    EXPECT_EQ(roots[0].firstSlice, 1);
    EXPECT_EQ(roots[0].lastSlice, 24);
    EXPECT_EQ(roots[0].canalCounts[9], 0);
}

TEST(CanalTracking, InputThatBreaksTheRulesIsRefused) {
    CanalTracker tracker;
    SliceSection good = sectionOf({{kRoot, canals(2)}});
    SliceSection noRoot = good;
    noRoot.canalRoot = {1, 0};
    SliceSection tooFew = good;
    tooFew.canalRoot = {1};
    SliceSection wrongType = good;
    good.canals.convertTo(wrongType.canals, CV_8U);
    for (const SliceSection* bad : {&noRoot, &tooFew, &wrongType})
        EXPECT_THROW(tracker.addSlice(*bad), std::invalid_argument);
    tracker.addSlice(good);
    SliceSection smaller{good.roots(cv::Rect(0, 0, 50, 50)).clone(),
                         good.canals(cv::Rect(0, 0, 50, 50)).clone(), good.canalRoot};
    EXPECT_THROW(tracker.addSlice(smaller), std::invalid_argument);
    EXPECT_THROW(CanalTracker({.minRun = 0}), std::invalid_argument);
}

}  // namespace
}  // namespace quendra
