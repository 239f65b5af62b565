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
// Each pair is packed into one int, distance above the class bits, so that a shift moves one
// word; only the distance part is ever compared.
class Candidates {
public:
    static constexpr int kClassBits = 9;  // classes -1..255 stored as 0..256

    Candidates(int n, int threshold) : count(n) {
        entries.fill(pack(threshold, -1));
    }

    int greatest() const { return entries[count - 1] >> kClassBits; }

    void insert(int d, int cls) {
        if (d >= greatest()) return;  // it would land after the last entry and be dropped again
        int i = count - 1;
        while (i > 0 && (entries[i - 1] >> kClassBits) > d) {
            entries[i] = entries[i - 1];
            --i;
        }
        entries[i] = pack(d, cls);
    }

    int classAt(int i) const { return (entries[i] & ((1 << kClassBits) - 1)) - 1; }
    int size() const { return count; }

private:
    // Distances are below 256 or the threshold; a threshold that does not fit is clamped,
    // which changes no comparison with a channel difference (0..255).
    static int pack(int d, int cls) {
        const int clamped = std::clamp(d, -1, 1 << 20);
        return clamped * (1 << kClassBits) + (cls + 1);
    }

    std::array<int, KDTree::kMaxNeighbours> entries;
    int count;
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
                if (p.lo <= p.hi && p.distance < candidates.greatest()) {
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
        stack[top++] = {lowerNear ? mid + 1 : lo, lowerNear ? hi : mid - 1, channel, distance};
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
    // At most two classes can reach the quorum; the lower class number wins.
    const int quorum = neighbourCount_ / 2;
    int winner = 0;
    for (int i = 0; i < candidates.size(); ++i) {
        const int cls = candidates.classAt(i);
        if (cls <= 0 || (winner != 0 && cls >= winner)) continue;
        int votes = 0;
        for (int j = 0; j < candidates.size(); ++j) votes += candidates.classAt(j) == cls;
        if (votes >= quorum) winner = cls;
    }
    return winner;
}

}  // namespace quendra
