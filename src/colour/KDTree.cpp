#include "colour/KDTree.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>

namespace quendra {

namespace {

void sortIntoTree(std::vector<PackedSample>& s, int lo, int hi, int depth, int axisCount) {
    if (lo > hi) return;
    const int channel = depth % axisCount;
    std::sort(s.begin() + lo, s.begin() + hi + 1, [channel](PackedSample a, PackedSample b) {
        return channelOf(a, channel) < channelOf(b, channel);
    });
    const int mid = (lo + hi) / 2;
    sortIntoTree(s, lo, mid - 1, depth + 1, axisCount);
    sortIntoTree(s, mid + 1, hi, depth + 1, axisCount);
}

// The candidate list: `count` (distance, class) pairs ascending by distance, equal distances in
// insertion order. Inserting places the entry after all equal distances and drops the last one,
// exactly as an ordered multiset that is trimmed back to `count` entries after each insertion.
struct Candidates {
    std::array<int, KDTree::kMaxNeighbours> distance;
    std::array<int, KDTree::kMaxNeighbours> colorClass;
    int count;

    Candidates(int n, int threshold) : count(n) {
        distance.fill(threshold);
        colorClass.fill(-1);
    }

    int greatest() const { return distance[count - 1]; }

    void insert(int d, int cls) {
        if (d >= greatest()) return;  // it would land after the last entry and be dropped again
        int i = count - 1;
        while (i > 0 && distance[i - 1] > d) {
            distance[i] = distance[i - 1];
            colorClass[i] = colorClass[i - 1];
            --i;
        }
        distance[i] = d;
        colorClass[i] = cls;
    }
};

struct Search {
    const PackedSample* nodes;
    int axisCount;
    int color;
    Candidates& candidates;

    void visit(int lo, int hi, int depth) {
        const int mid = (lo + hi) / 2;
        const int channel = depth % axisCount;
        const int d = channelOf(static_cast<ColorKey>(color), channel) - channelOf(nodes[mid], channel);
        const int distance = std::abs(d);
        candidates.insert(distance, sampleClass(nodes[mid]));
        const bool lowerFirst = d < 0;
        const int nearLo = lowerFirst ? lo : mid + 1;
        const int nearHi = lowerFirst ? mid - 1 : hi;
        const int farLo = lowerFirst ? mid + 1 : lo;
        const int farHi = lowerFirst ? hi : mid - 1;
        if (nearLo <= nearHi) visit(nearLo, nearHi, depth + 1);
        if (farLo <= farHi && distance < candidates.greatest()) visit(farLo, farHi, depth + 1);
    }
};

}  // namespace

KDTree::KDTree(std::vector<PackedSample>& samples, int axisCount, int neighbourCount)
    : axisCount_(axisCount), neighbourCount_(neighbourCount) {
    if (axisCount < 1 || axisCount > 3)
        throw std::invalid_argument("KDTree: axisCount must be 1, 2 or 3");
    if (neighbourCount < 1 || neighbourCount > kMaxNeighbours)
        throw std::invalid_argument("KDTree: neighbourCount must lie in 1..13");
    sortIntoTree(samples, 0, static_cast<int>(samples.size()) - 1, 0, axisCount);
    nodes_ = samples;
}

int KDTree::classify(int color, int threshold) const {
    Candidates candidates(neighbourCount_, threshold);
    if (!nodes_.empty()) {
        Search search{nodes_.data(), axisCount_, color, candidates};
        search.visit(0, static_cast<int>(nodes_.size()) - 1, 0);
    }
    // At most two classes can reach the quorum; the lower class number wins.
    const int quorum = neighbourCount_ / 2;
    int winner = 0;
    for (int i = 0; i < candidates.count; ++i) {
        const int cls = candidates.colorClass[i];
        if (cls <= 0 || (winner != 0 && cls >= winner)) continue;
        const auto votes = std::count(candidates.colorClass.begin(),
                                      candidates.colorClass.begin() + candidates.count, cls);
        if (votes >= quorum) winner = cls;
    }
    return winner;
}

}  // namespace quendra
