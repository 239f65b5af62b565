#include "colour/PixelKernels.h"

#include <bit>
#include <cstring>

#include "colour/ColorKey.h"
#include "colour/VectorCode.h"

static_assert(std::endian::native == std::endian::little, "pixels are read as little-endian words");

namespace quendra {

namespace {

// Four pixels are twelve bytes, read as two overlapping 8-byte words; the last few pixels of a
// row are read bytewise, so nothing past the row's own bytes is touched.
unsigned maskFromCache(const std::uint8_t* p, int n, const std::uint8_t* cache, int classId,
                       std::uint8_t* m) {
    unsigned seen = 0;
    const auto put = [&](int i, std::uint8_t c) {
        m[i] = c == classId ? 0 : 255;
        seen |= c;
    };
    int i = 0;
    for (; i + 4 <= n; i += 4, p += 12) {
        std::uint64_t low, high;
        std::memcpy(&low, p, sizeof low);
        std::memcpy(&high, p + 4, sizeof high);
        put(i, cache[low & 0xFFFFFFu]);
        put(i + 1, cache[(low >> 24) & 0xFFFFFFu]);
        put(i + 2, cache[(high >> 16) & 0xFFFFFFu]);
        put(i + 3, cache[high >> 40]);
    }
    for (; i < n; ++i, p += 3) put(i, cache[colorKeyOf(p)]);
    return seen;
}

int darkestInRow(const std::uint8_t* p, int n, int& best) {
    int found = -1;
    for (int i = 0; i < n; ++i, p += 3) {
        const int sum = p[0] + p[1] + p[2];
        if (sum < best) {
            best = sum;
            found = i;
        }
    }
    return found;
}

void distanceMask(const std::uint8_t* p, int n, const std::uint8_t ref[3], int limit,
                  std::uint8_t* m) {
    for (int i = 0; i < n; ++i, p += 3) {
        const int db = ref[0] - p[0], dg = ref[1] - p[1], dr = ref[2] - p[2];
        m[i] = db * db + dg * dg + dr * dr < limit ? 0 : 255;
    }
}

}  // namespace

const PixelKernels& portablePixelKernels() {
    static constexpr PixelKernels kernels{maskFromCache, darkestInRow, distanceMask};
    return kernels;
}

const PixelKernels& pixelKernels() {
    static const PixelKernels& chosen =
        vectorCode().avx2 && avx2PixelKernels() ? *avx2PixelKernels() : portablePixelKernels();
    return chosen;
}

}  // namespace quendra
