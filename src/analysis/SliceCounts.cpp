#include "analysis/SliceCounts.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quendra {

namespace {

// Every canal of the previous slice within `t` pixels of (x, y), on canal `c`, goes into
// `reach`; `reached` is the pair entered last, which a canal's next pixels mostly find again.
void addReach(const cv::Mat& previousCanals, int x, int y, int c, int t,
              std::pair<int, int>& reached, std::set<std::pair<int, int>>& reach) {
    for (int v = std::max(0, y - t); v <= std::min(previousCanals.rows - 1, y + t); ++v) {
        const std::uint16_t* before = previousCanals.ptr<std::uint16_t>(v);
        for (int u = std::max(0, x - t); u <= std::min(previousCanals.cols - 1, x + t); ++u)
            if (before[u] && (before[u] != reached.first || c != reached.second)) {
                reached = {before[u], c};
                reach.insert(reached);
            }
    }
}

}  // namespace

// Along a row the same root over the same previous root repeats, so each such stretch is
// counted in a local and entered once it ends.
SliceCounts countSlice(const cv::Mat& roots, const cv::Mat& canals, const cv::Mat& previousRoots,
                       const cv::Mat& previousCanals, int rootCount, std::size_t canalCount,
                       int tolerancePx) {
    const bool hasPrevious = !previousRoots.empty();
    SliceCounts counts;
    counts.rootPixels.assign(static_cast<std::size_t>(rootCount) + 1, 0);
    counts.canalPixels.assign(canalCount + 1, 0);
    counts.canalSums.assign(canalCount + 1, cv::Point2d());
    std::pair<int, int> reached{0, 0};
    const auto enter = [&](int previous, int root, long long pixels) {
        counts.rootPixels[static_cast<std::size_t>(root)] += pixels;
        if (root && previous) counts.overlap[{previous, root}] += pixels;
    };
    for (int y = 0; y < roots.rows; ++y) {
        const std::uint16_t* rootRow = roots.ptr<std::uint16_t>(y);
        const std::uint16_t* canalRow = canals.ptr<std::uint16_t>(y);
        const std::uint16_t* previousRow =
            hasPrevious ? previousRoots.ptr<std::uint16_t>(y) : nullptr;
        int root = 0, previous = 0;
        long long stretch = 0;
        for (int x = 0; x < roots.cols; ++x) {
            // Four pixels at once while nothing changes and no canal comes.
            if (x + 4 <= roots.cols && previousRow) {
                std::uint64_t r4, p4, c4;
                std::memcpy(&r4, rootRow + x, 8);
                std::memcpy(&p4, previousRow + x, 8);
                std::memcpy(&c4, canalRow + x, 8);
                constexpr std::uint64_t kEach = 0x0001000100010001;
                if (c4 == 0 && r4 == kEach * static_cast<std::uint64_t>(root) &&
                    p4 == kEach * static_cast<std::uint64_t>(previous)) {
                    stretch += 4;
                    x += 3;
                    continue;
                }
            }
            const int r = rootRow[x], p = previousRow ? previousRow[x] : 0;
            if (r != root || p != previous) {
                enter(previous, root, stretch);
                root = r, previous = p, stretch = 0;
            }
            ++stretch;
            const int c = canalRow[x];
            if (!c) continue;
            ++counts.canalPixels[static_cast<std::size_t>(c)];
            counts.canalSums[static_cast<std::size_t>(c)] += cv::Point2d(x, y);
            if (hasPrevious) addReach(previousCanals, x, y, c, tolerancePx, reached, counts.reach);
        }
        enter(previous, root, stretch);
    }
    return counts;
}

std::vector<char> presentRoots(const SliceCounts& counts, const std::vector<int>& canalRoot) {
    std::vector<char> present(counts.rootPixels.size(), 0);
    for (std::size_t r = 1; r < present.size(); ++r) present[r] = counts.rootPixels[r] > 0;
    for (std::size_t c = 1; c < counts.canalPixels.size(); ++c)
        if (counts.canalPixels[c] > 0) present[static_cast<std::size_t>(canalRoot[c - 1])] = 1;
    return present;
}

}  // namespace quendra
