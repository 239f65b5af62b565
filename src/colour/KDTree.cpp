#include "colour/KDTree.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "colour/KDTreeSearch.h"
#include "colour/VectorCode.h"

namespace quendra {

namespace {

// Sorts the range by its depth's channel and recurses into both halves. The middle element is
// in its final place once its range is sorted (the halves are sorted apart from it), so its
// search word (split value | class << 8) is written right then.
void sortIntoTree(std::vector<PackedSample>& s, std::vector<std::uint16_t>& search, int lo, int hi,
                  int depth, int axisCount) {
    if (lo > hi) return;
    const int channel = depth % axisCount;
    std::sort(s.begin() + lo, s.begin() + hi + 1, [channel](PackedSample a, PackedSample b) {
        return channelOf(a, channel) < channelOf(b, channel);
    });
    const int mid = (lo + hi) / 2;
    const PackedSample node = s[static_cast<std::size_t>(mid)];
    search[static_cast<std::size_t>(mid)] =
        static_cast<std::uint16_t>(channelOf(node, channel) | (sampleClass(node) & 0xFF) << 8);
    sortIntoTree(s, search, lo, mid - 1, depth + 1, axisCount);
    sortIntoTree(s, search, mid + 1, hi, depth + 1, axisCount);
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
    Candidates(int n, int threshold) : fillers(n), last(threshold) {
        const int buckets = std::clamp(threshold, 0, kBuckets);
        std::fill(sizes.begin() + 1, sizes.begin() + 1 + buckets, std::uint8_t{0});
        sizes[0] = 1;  // below distance 0: never empty, so the search for the farthest stops
    }

    // The distance of the last entry, which the search tests at every node.
    int greatest() const { return last; }

    // Only for d below greatest(): anything else would land last and be dropped again.
    void insert(int d, int cls) {
        entries[d][sizes[d + 1]++] = static_cast<std::int16_t>(cls);
        if (d > farthest) farthest = d;
        if (fillers > 0) {
            if (--fillers == 0) last = farthest;
            return;
        }
        --sizes[farthest + 1];
        while (sizes[farthest + 1] == 0) --farthest;
        last = farthest;
    }

    // The classes of the entries that are not fillers, nearest first.
    template <typename Visit>
    void forEachClass(Visit visit) const {
        for (int d = 0; d <= farthest; ++d)
            for (int i = 0; i < sizes[d + 1]; ++i) visit(entries[d][i]);
    }

private:
    static constexpr int kBuckets = 256;  // channel differences are 0..255

    int fillers;
    int farthest = -1;
    int last;  // threshold while fillers are left, else farthest
    // sizes[d + 1] entries at distance d; sizes[0] stands for distance -1.
    std::array<std::uint8_t, kBuckets + 1> sizes;
    std::array<std::array<std::int16_t, KDTree::kMaxNeighbours>, kBuckets> entries;
};

// a where `mask` is all ones, b where it is zero.
int select(int mask, int a, int b) {
    return b ^ ((a ^ b) & mask);
}

// Depth-first search without recursion. A node's far subtree is put on a stack with the node's
// distance and looked at only once the near subtree is done, when the pruning test (distance
// below the greatest candidate) can be made: the same order and the same test as a recursive
// walk that searches near first and then far. The greatest candidate never grows, so a far
// subtree that fails the test already when its node is visited is left off the stack.
//
// `nodes` holds per node its value on its own split channel (low byte) and its class (high
// byte), the only two things a search reads.
void searchTree(const std::uint16_t* nodes, int size, int axisCount, const int query[3],
                Candidates& candidates) {
    // The split channel cycles with the depth; it is carried along instead of taking the depth
    // modulo the axis count, a division, at every node.
    struct Pending {
        int lo, hi, channel, distance;
    };
    std::array<Pending, 64> stack;  // one entry per level at most; the depth is below 32
    int top = 0;
    int lo = 0, hi = size - 1, channel = 0;
    for (;;) {
        while (lo <= hi) {
            const int mid = (lo + hi) >> 1;  // lo + hi >= 0 here
            const int d = query[channel] - (nodes[mid] & 0xFF);
            const int distance = d < 0 ? -d : d;
            channel = channel + 1 == axisCount ? 0 : channel + 1;
            // Which side is near is a coin toss per node, so it is chosen by masks, not by a
            // branch: all ones when the lower side is near.
            const int lowerNear = d >> 31;
            const int farLo = select(lowerNear, mid + 1, lo),
                      farHi = select(lowerNear, hi, mid - 1);
            lo = select(lowerNear, lo, mid + 1);
            hi = select(lowerNear, mid - 1, hi);
            if (distance < candidates.greatest()) {
                candidates.insert(distance, nodes[mid] >> 8);
                if (farLo <= farHi && distance < candidates.greatest())
                    stack[top++] = {farLo, farHi, channel, distance};
            }
        }
        do {
            if (top == 0) return;
            --top;
        } while (stack[top].distance >= candidates.greatest());
        lo = stack[top].lo;
        hi = stack[top].hi;
        channel = stack[top].channel;
    }
}

}  // namespace

KDTree::KDTree(std::vector<PackedSample> samples, int axisCount, int neighbourCount)
    : axisCount_(axisCount), neighbourCount_(neighbourCount) {
    if (axisCount < 1 || axisCount > 3)
        throw std::invalid_argument("KDTree: axisCount must be 1, 2 or 3");
    if (neighbourCount < 1 || neighbourCount > kMaxNeighbours)
        throw std::invalid_argument("KDTree: neighbourCount must lie in 1..13");
    searchNodes_.resize(samples.size() + 1);
    sortIntoTree(samples, searchNodes_, 0, static_cast<int>(samples.size()) - 1, 0, axisCount);
    nodes_ = std::move(samples);
}

int KDTree::classify(int color, int threshold) const {
    Candidates candidates(neighbourCount_, threshold);
    if (!nodes_.empty()) {
        const auto key = static_cast<ColorKey>(color);
        const int query[3] = {channelOf(key, 0), channelOf(key, 1), channelOf(key, 2)};
        searchTree(searchNodes_.data(), static_cast<int>(nodes_.size()), axisCount_, query,
                   candidates);
    }
    std::array<int, kMaxNeighbours> classes;
    int count = 0;
    candidates.forEachClass([&](int cls) { classes[static_cast<std::size_t>(count++)] = cls; });
    return voteOf(classes.data(), count, neighbourCount_ / 2);
}

void KDTree::classifyMany(std::span<const int> colours, int threshold,
                          std::span<int> classes) const {
    if (classes.size() != colours.size())
        throw std::invalid_argument("KDTree::classifyMany: one class per colour");
    static const BatchSearch batch = vectorCode().avx512 ? avx512BatchSearch() : nullptr;
    if (batch && axisCount_ == 3 && neighbourCount_ == kMaxNeighbours && !nodes_.empty() &&
        nodes_.size() < static_cast<std::size_t>(kBatchSearchMaxNodes)) {
        batch(searchNodes_.data(), static_cast<int>(nodes_.size()), colours.data(),
              static_cast<int>(colours.size()), threshold, classes.data());
        return;
    }
    for (std::size_t i = 0; i < colours.size(); ++i) classes[i] = classify(colours[i], threshold);
}

}  // namespace quendra
