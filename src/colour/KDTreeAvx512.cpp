#include "colour/KDTreeSearch.h"

#if defined(__x86_64__)

#include <array>

// GCC 12's AVX-512 intrinsics start from _mm512_undefined_epi32(), which its own flow
// analysis then reports as maybe uninitialised in every inlined caller.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

// Only these functions are compiled for AVX-512; they run only after the processor was asked.
#define QUENDRA_AVX512 __attribute__((target("avx512f")))

namespace quendra {

namespace {

// A search of one colour steps from node to node with a branch at each that is a coin toss, so
// one search at a time spends most of its time on mispredicted branches. Here sixteen searches
// run side by side, one per 32-bit lane, and every step is done for all of them with masks
// instead of branches: each lane either visits the middle node of its current range or, with
// the range used up, takes its next pending range from its own stack. A lane whose stack is
// empty is done; its vote is taken and the lane starts on the next colour.
//
// Each lane does exactly what the single search does, in the same order: the node's distance
// is offered to the candidates, the near subtree comes next, the far one is pushed when it can
// still pass the pruning test and taken up only if it still passes when popped.
constexpr int kLanes = 16;
constexpr int kSlots = 13;   // candidates per search
constexpr int kLevels = 32;  // pending ranges per lane: at most one per level of the tree

struct Searches {
    // The current range of each lane, lo and the node count n; its split channel; its stack
    // height; its query's channels.
    __m512i lo, n, channel, top, queryB, queryG, queryR;
    // Candidate j of every lane as distance << 8 | class, ascending by distance, equal
    // distances in insertion order. Fillers are threshold << 8 with class 0, which never votes.
    __m512i slot[kSlots];
    // Pending ranges: lane l's entry k at k * kLanes + l. `rangeFrom` holds lo | distance << 24,
    // `rangeSize` n | channel << 24.
    alignas(64) std::array<int, kLevels * kLanes> rangeFrom, rangeSize;
    std::array<int, kLanes> colourOf;  // index of the colour each lane works on
};

QUENDRA_AVX512 inline __m512i splat(int v) {
    return _mm512_set1_epi32(v);
}

// Inserts `entry` (distance << 8 | class) after the entries of equal or smaller distance in
// the lanes of `in`; the last entry drops out. `beyond` is (distance + 1) << 8: an entry at or
// above it is farther.
QUENDRA_AVX512 void insertCandidate(Searches& s, __mmask16 in, __m512i entry, __m512i beyond) {
    for (int j = kSlots - 1; j > 0; --j) {
        const __mmask16 movesUp = _mm512_mask_cmpge_epi32_mask(in, s.slot[j - 1], beyond);
        const __mmask16 landsHere = _mm512_mask_cmpge_epi32_mask(in & ~movesUp, s.slot[j], beyond);
        s.slot[j] = _mm512_mask_mov_epi32(_mm512_mask_mov_epi32(s.slot[j], landsHere, entry),
                                          movesUp, s.slot[j - 1]);
    }
    s.slot[0] = _mm512_mask_mov_epi32(s.slot[0],
                                      _mm512_mask_cmpge_epi32_mask(in, s.slot[0], beyond), entry);
}

// Lanes of `lanes` start on the next colours, as long as there are any; returns the lanes
// that did.
QUENDRA_AVX512 __mmask16 startSearches(Searches& s, __mmask16 lanes, const int* colours, int count,
                                       int& next, int size, int threshold) {
    alignas(64) std::array<int, kLanes> b, g, r;
    _mm512_store_si512(b.data(), s.queryB);
    _mm512_store_si512(g.data(), s.queryG);
    _mm512_store_si512(r.data(), s.queryR);
    __mmask16 started = 0;
    for (int l = 0; l < kLanes && next < count; ++l) {
        if (!(lanes >> l & 1)) continue;
        const int c = colours[next];
        s.colourOf[static_cast<std::size_t>(l)] = next++;
        b[static_cast<std::size_t>(l)] = c & 0xFF;
        g[static_cast<std::size_t>(l)] = c >> 8 & 0xFF;
        r[static_cast<std::size_t>(l)] = c >> 16 & 0xFF;
        started = static_cast<__mmask16>(started | 1u << l);
    }
    s.queryB = _mm512_load_si512(b.data());
    s.queryG = _mm512_load_si512(g.data());
    s.queryR = _mm512_load_si512(r.data());
    const __m512i zero = _mm512_setzero_si512();
    s.lo = _mm512_mask_mov_epi32(s.lo, started, zero);
    s.n = _mm512_mask_mov_epi32(s.n, started, splat(size));
    s.channel = _mm512_mask_mov_epi32(s.channel, started, zero);
    s.top = _mm512_mask_mov_epi32(s.top, started, zero);
    for (__m512i& slot : s.slot) slot = _mm512_mask_mov_epi32(slot, started, splat(threshold << 8));
    return started;
}

// Writes the votes of the lanes of `lanes`.
QUENDRA_AVX512 void finishSearches(const Searches& s, __mmask16 lanes, int* classes) {
    alignas(64) std::array<int, kSlots * kLanes> keys;
    for (int j = 0; j < kSlots; ++j) _mm512_store_si512(keys.data() + j * kLanes, s.slot[j]);
    for (int l = 0; l < kLanes; ++l) {
        if (!(lanes >> l & 1)) continue;
        std::array<int, kSlots> candidates;
        for (int j = 0; j < kSlots; ++j)
            candidates[static_cast<std::size_t>(j)] =
                keys[static_cast<std::size_t>(j * kLanes + l)] & 0xFF;
        classes[s.colourOf[static_cast<std::size_t>(l)]] =
            voteOf(candidates.data(), kSlots, kSlots / 2);
    }
}

QUENDRA_AVX512 void batchSearch(const std::uint16_t* nodes, int size, const int* colours, int count,
                                int threshold, int* classes) {
    // Distances are 0..255, so any threshold above 256 prunes like 256 and any below 0 like 0.
    const int bound = std::clamp(threshold, 0, 256);
    const __m512i zero = _mm512_setzero_si512(), one = splat(1);
    const __m512i laneIds = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    Searches s;
    s.lo = s.n = s.channel = s.top = s.queryB = s.queryG = s.queryR = zero;
    int next = 0;
    __mmask16 running = startSearches(s, 0xFFFF, colours, count, next, size, bound);
    while (running) {
        const __m512i greatestBefore = _mm512_srai_epi32(s.slot[kSlots - 1], 8);
        const __mmask16 visiting = _mm512_mask_cmpgt_epi32_mask(running, s.n, zero);
        const __mmask16 popping = running & ~visiting;

        // Visit the middle node of the range: lower half [lo, mid - 1], upper [mid + 1, ...].
        const __m512i lowerSize = _mm512_srai_epi32(_mm512_sub_epi32(s.n, one), 1);
        const __m512i upperSize = _mm512_srai_epi32(s.n, 1);
        const __m512i mid = _mm512_add_epi32(s.lo, lowerSize);
        const __m512i upperLo = _mm512_add_epi32(mid, one);
        // Reads the 16-bit word at mid and the one behind it, hence the padding word.
        const __m512i word = _mm512_mask_i32gather_epi32(zero, visiting, mid, nodes, 2);
        const __m512i split = _mm512_and_si512(word, splat(0xFF));
        const __m512i cls = _mm512_and_si512(_mm512_srli_epi32(word, 8), splat(0xFF));
        const __m512i query = _mm512_mask_mov_epi32(
            _mm512_mask_mov_epi32(s.queryR, _mm512_cmpeq_epi32_mask(s.channel, one), s.queryG),
            _mm512_cmpeq_epi32_mask(s.channel, zero), s.queryB);
        const __m512i d = _mm512_sub_epi32(query, split);
        const __m512i distance = _mm512_abs_epi32(d);
        const __mmask16 lowerNear = _mm512_cmplt_epi32_mask(d, zero);
        const __mmask16 in = _mm512_mask_cmplt_epi32_mask(visiting, distance, greatestBefore);
        insertCandidate(s, in, _mm512_or_si512(_mm512_slli_epi32(distance, 8), cls),
                        _mm512_slli_epi32(_mm512_add_epi32(distance, one), 8));
        const __m512i greatest = _mm512_srai_epi32(s.slot[kSlots - 1], 8);

        const __m512i nextChannel = _mm512_mask_mov_epi32(
            _mm512_add_epi32(s.channel, one), _mm512_cmpeq_epi32_mask(s.channel, splat(2)), zero);
        const __m512i farLo = _mm512_mask_mov_epi32(s.lo, lowerNear, upperLo);
        const __m512i farSize = _mm512_mask_mov_epi32(lowerSize, lowerNear, upperSize);
        const __mmask16 push = _mm512_mask_cmpgt_epi32_mask(in, farSize, zero) &
                               _mm512_cmplt_epi32_mask(distance, greatest);
        const __m512i pushAt = _mm512_add_epi32(_mm512_slli_epi32(s.top, 4), laneIds);
        _mm512_mask_i32scatter_epi32(s.rangeFrom.data(), push, pushAt,
                                     _mm512_or_si512(farLo, _mm512_slli_epi32(distance, 24)), 4);
        _mm512_mask_i32scatter_epi32(s.rangeSize.data(), push, pushAt,
                                     _mm512_or_si512(farSize, _mm512_slli_epi32(nextChannel, 24)),
                                     4);
        s.top = _mm512_mask_add_epi32(s.top, push, s.top, one);
        s.lo = _mm512_mask_mov_epi32(s.lo, visiting & ~lowerNear, upperLo);
        s.n = _mm512_mask_mov_epi32(s.n, visiting,
                                    _mm512_mask_mov_epi32(upperSize, lowerNear, lowerSize));
        s.channel = _mm512_mask_mov_epi32(s.channel, visiting, nextChannel);

        // A lane with its range used up takes its latest pending range, if it still passes.
        const __mmask16 pops = _mm512_mask_cmpgt_epi32_mask(popping, s.top, zero);
        const __mmask16 done = popping & ~pops;
        s.top = _mm512_mask_sub_epi32(s.top, pops, s.top, one);
        const __m512i popAt = _mm512_add_epi32(_mm512_slli_epi32(s.top, 4), laneIds);
        const __m512i from = _mm512_mask_i32gather_epi32(zero, pops, popAt, s.rangeFrom.data(), 4);
        const __m512i sized = _mm512_mask_i32gather_epi32(zero, pops, popAt, s.rangeSize.data(), 4);
        const __mmask16 resume =
            _mm512_mask_cmplt_epi32_mask(pops, _mm512_srli_epi32(from, 24), greatest);
        s.lo = _mm512_mask_and_epi32(s.lo, resume, from, splat(0xFFFFFF));
        s.n = _mm512_mask_and_epi32(s.n, resume, sized, splat(0xFFFFFF));
        s.channel = _mm512_mask_srli_epi32(s.channel, resume, sized, 24);

        if (done) {
            finishSearches(s, done, classes);
            running = static_cast<__mmask16>(
                (running & ~done) | startSearches(s, done, colours, count, next, size, bound));
        }
    }
}

}  // namespace

BatchSearch avx512BatchSearch() {
    return batchSearch;
}

}  // namespace quendra

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#else

namespace quendra {
BatchSearch avx512BatchSearch() {
    return nullptr;
}
}  // namespace quendra

#endif
