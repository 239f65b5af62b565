#pragma once

// The classification of a KDTree written the plain way: candidates in an ordered multiset and
// votes in an ordered map, both allocated per query. It walks the same tree as
// KDTree::classify and serves as the reference the fixed-array version must equal, and as its
// peer in the benchmarks.

#include <cstdlib>
#include <map>
#include <set>

#include "colour/KDTree.h"

namespace quendra {

inline int literalClassify(const KDTree& tree, int color, int threshold) {
    struct ByDistance {
        bool operator()(const std::pair<int, int>& a, const std::pair<int, int>& b) const {
            return a.first < b.first;
        }
    };
    std::multiset<std::pair<int, int>, ByDistance> candidates;
    for (int i = 0; i < tree.neighbourCount(); ++i) candidates.insert({threshold, -1});

    const auto nodes = tree.nodes();
    const auto search = [&](auto&& self, int lo, int hi, int depth) -> void {
        const int mid = (lo + hi) / 2;
        const int channel = depth % tree.axisCount();
        const int d =
            channelOf(static_cast<ColorKey>(color), channel) - channelOf(nodes[mid], channel);
        candidates.insert({std::abs(d), sampleClass(nodes[mid])});  // after equal distances
        candidates.erase(std::prev(candidates.end()));
        if (d < 0) {
            if (lo <= mid - 1) self(self, lo, mid - 1, depth + 1);
            if (mid + 1 <= hi && std::abs(d) < std::prev(candidates.end())->first)
                self(self, mid + 1, hi, depth + 1);
        } else {
            if (mid + 1 <= hi) self(self, mid + 1, hi, depth + 1);
            if (lo <= mid - 1 && d < std::prev(candidates.end())->first)
                self(self, lo, mid - 1, depth + 1);
        }
    };
    if (!nodes.empty()) search(search, 0, static_cast<int>(nodes.size()) - 1, 0);

    std::map<int, int> votes;
    for (const auto& [distance, cls] : candidates)
        if (cls > 0) ++votes[cls];
    for (const auto& [cls, count] : votes)
        if (count >= tree.neighbourCount() / 2) return cls;
    return 0;
}

}  // namespace quendra
