#pragma once

// Pieces of the k-d tree search shared by its single-colour and its batch versions.

#include <algorithm>
#include <cstdint>

namespace quendra {

// The lowest class with at least `quorum` votes among `count` candidate classes, or 0. Class 0
// (and below, the fillers) never votes.
inline int voteOf(const int* classes, int count, int quorum) {
    int winner = 0;
    for (int i = 0; i < count; ++i) {
        const int cls = classes[i];
        if (cls <= 0 || (winner != 0 && cls >= winner)) continue;
        if (std::count(classes, classes + count, cls) >= quorum) winner = cls;
    }
    return winner;
}

// Classifies `count` colours at once, classes[i] for colours[i], on a tree of `size` nodes
// that splits on three channels and votes among 13 candidates. `nodes` holds the search words
// (split value | class << 8) in tree order, with one word of padding behind them. Trees of 2^23
// nodes or more are not taken.
using BatchSearch = void (*)(const std::uint16_t* nodes, int size, const int* colours, int count,
                             int threshold, int* classes);

inline constexpr int kBatchSearchMaxNodes = 1 << 23;

// The batch search running sixteen searches side by side with AVX-512, or null where the build
// has none; only for processors that run it (VectorCode.h).
BatchSearch avx512BatchSearch();

}  // namespace quendra
