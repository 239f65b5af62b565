#pragma once

// The per-row loops behind the frame scans, each in a portable version and, on x86-64, one
// using AVX2; `pixelKernels()` picks the fastest the processor runs, once. Every version of a
// kernel writes the same bytes and returns the same value for the same input.
//
// A row is `n` packed B,G,R pixels starting at `bgr`; only those 3 * n bytes are read.

#include <cstdint>

namespace quendra {

struct PixelKernels {
    // mask[i] = 0 where the cache entry of pixel i equals `classId`, else 255. Bit 7 of the
    // result is set when some entry had it set: a pixel not classified yet, so the row must
    // be done again through the tree.
    unsigned (*maskFromCache)(const std::uint8_t* bgr, int n, const std::uint8_t* cache,
                              int classId, std::uint8_t* mask);

    // The first pixel whose B+G+R is the row's smallest, if that is below `best`; `best` then
    // becomes that sum. Otherwise -1 and `best` unchanged.
    int (*darkestInRow)(const std::uint8_t* bgr, int n, int& best);

    // mask[i] = 0 where the squared B,G,R distance of pixel i to `ref` is below `limit`, else
    // 255. `limit` lies in 0..kDistanceLimitAll.
    void (*distanceMask)(const std::uint8_t* bgr, int n, const std::uint8_t ref[3], int limit,
                         std::uint8_t* mask);
};

// A squared distance limit that every pixel passes: 3 * 255^2 + 1.
inline constexpr int kDistanceLimitAll = 195076;

const PixelKernels& portablePixelKernels();

// The AVX2 versions, or null where the build has none; only for processors that run them
// (VectorCode.h).
const PixelKernels* avx2PixelKernels();

// The kernels in use: AVX2 where vectorCode() allows it, else the portable ones.
const PixelKernels& pixelKernels();

}  // namespace quendra
