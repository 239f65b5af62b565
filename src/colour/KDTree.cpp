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
// insertion order; inserting places an entry after all equal distances and drops the last one,
// as an ordered multiset trimmed back to `count` entries after each insertion would.
//
// Kept as one bucket per distance instead of one sorted list: the fillers (distance =
// threshold, no class) are only counted, since every node that gets in is closer than the
// threshold and so sorts before them; nodes go to the back of their distance's bucket, and the
// last entry is a filler while any is left, else the back of the farthest bucket. That makes an
// insertion a push and a pop, with the same entries as the sorted list at every step.
class Candidates {
public:
    Candidates(int n, int threshold) : threshold(threshold), fillers(n) {
        const int buckets = std::clamp(threshold, 0, kBuckets);
        std::fill(size.begin(), size.begin() + buckets, std::uint8_t{0});
    }

    int greatest() const { return fillers > 0 ? threshold : farthest; }

    // Only for d below greatest(): anything else would land last and be dropped again.
    void insert(int d, int cls) {
        if (d >= greatest()) return;
        entries[d][size[d]++] = static_cast<std::int16_t>(cls);
        if (d > farthest) farthest = d;
        if (fillers > 0) {
            --fillers;
            return;
        }
        --size[farthest];
        while (size[farthest] == 0) --farthest;
    }

    // The classes of the entries that are not fillers, nearest first.
    template <typename Visit>
    void forEachClass(Visit visit) const {
        for (int d = 0; d <= farthest; ++d)
            for (int i = 0; i < size[d]; ++i) visit(entries[d][i]);
    }

private:
    static constexpr int kBuckets = 256;  // channel differences are 0..255

    int threshold;
    int fillers;
    int farthest = -1;
    std::array<std::uint8_t, kBuckets> size;
    std::array<std::array<std::int16_t, KDTree::kMaxNeighbours>, kBuckets> entries;
};

// Depth-first search without recursion. A node's far subtree is put on a stack with the node's
// distance and looked at only once the near subtree is done, when the pruning test (distance
// below the greatest candidate) can be made: the same order and the same test as a recursive
// walk that searches near first and then far.
void searchTree(const std::uint8_t* splitValue, const std::uint8_t* nodeClass, int size,
                int axisCount, const int query[3], Candidates& candidates) {
    // The split channel cycles with the depth; it is carried along instead of taking the depth
    // modulo the axis count, a division, at every node.
    struct Pending { int lo, hi, channel, distance; };
    std::array<Pending, 64> stack;  // one entry per level at most; the depth is below 32
    int top = 0;
    int lo = 0, hi = size - 1, channel = 0;
    for (;;) {
        if (lo > hi) {
            for (;;) {
                if (top == 0) return;
                const Pending p = stack[--top];
                if (p.distance < candidates.greatest()) {
                    lo = p.lo;
                    hi = p.hi;
                    channel = p.channel;
                    break;
                }
            }
        }
        const int mid = (lo + hi) / 2;
        const int d = query[channel] - splitValue[mid];
        const int distance = d < 0 ? -d : d;
        candidates.insert(distance, nodeClass[mid]);
        const bool lowerNear = d < 0;
        channel = channel + 1 == axisCount ? 0 : channel + 1;
        const int farLo = lowerNear ? mid + 1 : lo, farHi = lowerNear ? hi : mid - 1;
        if (farLo <= farHi) stack[top++] = {farLo, farHi, channel, distance};
        lo = lowerNear ? lo : mid + 1;
        hi = lowerNear ? mid - 1 : hi;
    }
}

// Each node's value on its own split channel, found by walking the ranges as construction did.
void recordSplitValues(const std::vector<PackedSample>& nodes, std::vector<std::uint8_t>& values,
                       int lo, int hi, int depth, int axisCount) {
    if (lo > hi) return;
    const int mid = (lo + hi) / 2;
    values[static_cast<std::size_t>(mid)] = static_cast<std::uint8_t>(channelOf(nodes[static_cast<std::size_t>(mid)], depth % axisCount));
    recordSplitValues(nodes, values, lo, mid - 1, depth + 1, axisCount);
    recordSplitValues(nodes, values, mid + 1, hi, depth + 1, axisCount);
}

}  // namespace

KDTree::KDTree(std::vector<PackedSample>& samples, int axisCount, int neighbourCount)
    : axisCount_(axisCount), neighbourCount_(neighbourCount) {
    if (axisCount < 1 || axisCount > 3)
        throw std::invalid_argument("KDTree: axisCount must be 1, 2 or 3");
    if (neighbourCount < 1 || neighbourCount > kMaxNeighbours)
        throw std::invalid_argument("KDTree: neighbourCount must lie in 1..13");
    sortIntoTree(samples, 0, static_cast<int>(samples.size()) - 1, 0, axisCount);
    nodes_ = samples;
    splitValue_.resize(nodes_.size());
    nodeClass_.resize(nodes_.size());
    recordSplitValues(nodes_, splitValue_, 0, static_cast<int>(nodes_.size()) - 1, 0, axisCount);
    for (std::size_t i = 0; i < nodes_.size(); ++i)
        nodeClass_[i] = static_cast<std::uint8_t>(sampleClass(nodes_[i]));
}

int KDTree::classify(int color, int threshold) const {
    Candidates candidates(neighbourCount_, threshold);
    if (!nodes_.empty()) {
        const auto key = static_cast<ColorKey>(color);
        const int query[3] = {channelOf(key, 0), channelOf(key, 1), channelOf(key, 2)};
        searchTree(splitValue_.data(), nodeClass_.data(), static_cast<int>(nodes_.size()),
                   axisCount_, query, candidates);
    }
    std::array<int, kMaxNeighbours> voters;
    int voterCount = 0;
    candidates.forEachClass([&](int cls) {
        if (cls > 0) voters[voterCount++] = cls;  // class 0 takes a slot but never votes
    });
    // At most two classes can reach the quorum; the lower class number wins.
    const int quorum = neighbourCount_ / 2;
    int winner = 0;
    for (int i = 0; i < voterCount; ++i) {
        const int cls = voters[i];
        if (winner != 0 && cls >= winner) continue;
        if (std::count(voters.begin(), voters.begin() + voterCount, cls) >= quorum) winner = cls;
    }
    return winner;
}

}  // namespace quendra
