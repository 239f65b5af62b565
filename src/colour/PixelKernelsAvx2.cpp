#include "colour/PixelKernels.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <climits>
#include <cstdint>

// Only these functions are compiled for AVX2; they run only after the processor was asked.
#define QUENDRA_AVX2 __attribute__((target("avx2")))

namespace quendra {

namespace {

// Eight pixels take 24 bytes but are loaded as 32, so an 8-pixel load needs three more pixels
// of the row behind it; the rest of a row is left to the portable kernel.
constexpr int kSlack = 3;

// Eight pixels at p, one per 32-bit lane as B | G << 8 | R << 16 (the colour key).
QUENDRA_AVX2 __m256i pixelsOf8(const std::uint8_t* p) {
    const __m256i bytes =
        _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                                    _mm256_setr_epi32(0, 1, 2, 2, 3, 4, 5, 5));
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                            1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    return _mm256_shuffle_epi8(bytes, spread);
}

// Four vectors of eight 32-bit flags (all ones: pixel selected) as 32 mask bytes in pixel
// order, 0 for a selected pixel and 255 otherwise.
QUENDRA_AVX2 __m256i maskBytes(__m256i f0, __m256i f1, __m256i f2, __m256i f3) {
    const __m256i packed =
        _mm256_packs_epi16(_mm256_packs_epi32(f0, f1), _mm256_packs_epi32(f2, f3));
    const __m256i ordered =
        _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    return _mm256_xor_si256(ordered, _mm256_set1_epi8(-1));
}

// The cache entries of eight pixels. Bytes cannot be gathered, so each lane fetches the
// aligned 4-byte word holding its entry (never outside the cache, whose size is a multiple of
// four) and shifts the entry down.
QUENDRA_AVX2 __m256i cachedOf8(const std::uint8_t* p, const std::uint8_t* cache) {
    const __m256i keys = pixelsOf8(p);
    const __m256i words =
        _mm256_i32gather_epi32(reinterpret_cast<const int*>(cache), _mm256_srli_epi32(keys, 2), 4);
    const __m256i shift = _mm256_slli_epi32(_mm256_and_si256(keys, _mm256_set1_epi32(3)), 3);
    return _mm256_and_si256(_mm256_srlv_epi32(words, shift), _mm256_set1_epi32(0xFF));
}

QUENDRA_AVX2 unsigned maskFromCache(const std::uint8_t* p, int n, const std::uint8_t* cache,
                                    int classId, std::uint8_t* m) {
    const PixelKernels& portable = portablePixelKernels();
    if (reinterpret_cast<std::uintptr_t>(cache) % 4 != 0)
        return portable.maskFromCache(p, n, cache, classId, m);
    const __m256i id = _mm256_set1_epi32(classId);
    __m256i seen = _mm256_setzero_si256();
    int i = 0;
    for (; i + 32 + kSlack <= n; i += 32) {
        const std::uint8_t* q = p + 3 * i;
        const __m256i c0 = cachedOf8(q, cache), c1 = cachedOf8(q + 24, cache);
        const __m256i c2 = cachedOf8(q + 48, cache), c3 = cachedOf8(q + 72, cache);
        seen = _mm256_or_si256(seen,
                               _mm256_or_si256(_mm256_or_si256(c0, c1), _mm256_or_si256(c2, c3)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(m + i),
                            maskBytes(_mm256_cmpeq_epi32(c0, id), _mm256_cmpeq_epi32(c1, id),
                                      _mm256_cmpeq_epi32(c2, id), _mm256_cmpeq_epi32(c3, id)));
    }
    const unsigned rest = portable.maskFromCache(p + 3 * i, n - i, cache, classId, m + i);
    return rest | (_mm256_testz_si256(seen, _mm256_set1_epi32(0x80)) ? 0u : 0x80u);
}

// B + G + R of eight pixels.
QUENDRA_AVX2 __m256i sumsOf8(const std::uint8_t* p) {
    const __m256i pairs = _mm256_maddubs_epi16(pixelsOf8(p), _mm256_set1_epi32(0x00010101));
    return _mm256_madd_epi16(pairs, _mm256_set1_epi16(1));
}

// The row's smallest sum is found eight pixels at a time; only a row that beats `best` is
// walked again pixel by pixel for the first position of that sum.
QUENDRA_AVX2 int darkestInRow(const std::uint8_t* p, int n, int& best) {
    __m256i lowest = _mm256_set1_epi32(INT_MAX);
    int i = 0;
    for (; i + 8 + kSlack <= n; i += 8) lowest = _mm256_min_epi32(lowest, sumsOf8(p + 3 * i));
    __m128i half =
        _mm_min_epi32(_mm256_castsi256_si128(lowest), _mm256_extracti128_si256(lowest, 1));
    half = _mm_min_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(1, 0, 3, 2)));
    half = _mm_min_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(2, 3, 0, 1)));
    int rowLowest = _mm_cvtsi128_si32(half);
    for (const std::uint8_t* q = p + 3 * i; i < n; ++i, q += 3) {
        const int sum = q[0] + q[1] + q[2];
        if (sum < rowLowest) rowLowest = sum;
    }
    return rowLowest < best ? portablePixelKernels().darkestInRow(p, n, best) : -1;
}

// Squared B,G,R distance of eight pixels to the reference key `ref` (in every lane).
QUENDRA_AVX2 __m256i squaredDistancesOf8(const std::uint8_t* p, __m256i ref) {
    const __m256i pixels = pixelsOf8(p);
    const __m256i d = _mm256_sub_epi8(_mm256_max_epu8(pixels, ref), _mm256_min_epu8(pixels, ref));
    const __m256i blueRed = _mm256_and_si256(d, _mm256_set1_epi32(0x00FF00FF));
    const __m256i green = _mm256_srli_epi16(d, 8);
    return _mm256_add_epi32(_mm256_madd_epi16(blueRed, blueRed), _mm256_madd_epi16(green, green));
}

QUENDRA_AVX2 void distanceMask(const std::uint8_t* p, int n, const std::uint8_t ref[3], int limit,
                               std::uint8_t* m) {
    const __m256i key = _mm256_set1_epi32(ref[0] | ref[1] << 8 | ref[2] << 16);
    const __m256i bound = _mm256_set1_epi32(limit);
    int i = 0;
    for (; i + 32 + kSlack <= n; i += 32) {
        const std::uint8_t* q = p + 3 * i;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(m + i),
                            maskBytes(_mm256_cmpgt_epi32(bound, squaredDistancesOf8(q, key)),
                                      _mm256_cmpgt_epi32(bound, squaredDistancesOf8(q + 24, key)),
                                      _mm256_cmpgt_epi32(bound, squaredDistancesOf8(q + 48, key)),
                                      _mm256_cmpgt_epi32(bound, squaredDistancesOf8(q + 72, key))));
    }
    portablePixelKernels().distanceMask(p + 3 * i, n - i, ref, limit, m + i);
}

}  // namespace

const PixelKernels* avx2PixelKernels() {
    static constexpr PixelKernels kernels{maskFromCache, darkestInRow, distanceMask};
    return &kernels;
}

}  // namespace quendra

#else

namespace quendra {
const PixelKernels* avx2PixelKernels() {
    return nullptr;
}
}  // namespace quendra

#endif
