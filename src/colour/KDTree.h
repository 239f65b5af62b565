#pragma once

// A balanced k-d tree over the B, G, R channels of packed samples that answers one question:
// which colour class a colour belongs to under a class threshold, by a vote among the
// `neighbourCount` candidates found near it.
//
// Layout: construction sorts each index range by the split channel of its depth and takes the
// middle element as the node, leaving it in place; the node of range [lo, hi] therefore sits at
// (lo + hi) / 2, its lower subtree is [lo, mid - 1] and its upper subtree [mid + 1, hi]. The
// tree is that sorted array; no node is allocated on its own.
//
// Distances are per split channel: a node's distance to the query is the absolute difference
// on the node's own channel only, not a distance over all three channels.

#include <cstdint>
#include <span>
#include <vector>

#include "colour/ColorKey.h"

namespace quendra {

class KDTree {
public:
    static constexpr int kMaxNeighbours = 13;

    // Takes the samples (moved in, or copied) and sorts them into tree order.
    // `neighbourCount` must lie in 1..kMaxNeighbours; the quorum is neighbourCount / 2.
    explicit KDTree(std::vector<PackedSample> samples, int axisCount = 3, int neighbourCount = 13);

    // The colour class voted for colour key `color`, or 0 for none. Candidates start as
    // `neighbourCount` fillers at distance `threshold` that do not vote; a node displaces the
    // last candidate when its distance is strictly smaller. The lowest class with at least the
    // quorum of votes wins; class 0 never votes. Allocates nothing.
    int classify(int color, int threshold) const;

    // classes[i] := classify(colours[i], threshold) for every i; `classes` must be as long as
    // `colours`. Where the processor can, many searches run side by side, which is several
    // times faster per colour than calling classify for each.
    void classifyMany(std::span<const int> colours, int threshold, std::span<int> classes) const;

    int axisCount() const { return axisCount_; }
    int neighbourCount() const { return neighbourCount_; }

    // The nodes in tree order (see the layout above), for walks of the same tree elsewhere.
    std::span<const PackedSample> nodes() const { return nodes_; }

private:
    void build(int lo, int hi, int depth);

    int axisCount_;
    int neighbourCount_;
    std::vector<PackedSample> nodes_;
    // Per node, in the same order: its value on its own split channel (low byte) and its
    // class (high byte), the only two things a search reads, side by side for the cache. One
    // word of padding follows, for searches that read two words at a time.
    std::vector<std::uint16_t> searchNodes_;
};

}  // namespace quendra
