#include "analysis/RunEncoder.h"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace quendra {

namespace {

constexpr std::uint64_t kAllBackground = ~std::uint64_t{0};

// Offset of the first of the `n` bytes at p that differs from the byte repeated in `same`, or
// n; read 32 and then 8 bytes at a time, never past the n bytes.
int firstChange(const std::uint8_t* p, int n, std::uint64_t same) {
    int i = 0;
    for (; i + 32 <= n; i += 32) {
        std::uint64_t w[4];
        std::memcpy(w, p + i, sizeof w);
        if (((w[0] ^ same) | (w[1] ^ same) | (w[2] ^ same) | (w[3] ^ same)) != 0) break;
    }
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, sizeof w);
        if (w != same) return i + std::countr_zero(w ^ same) / 8;
    }
    while (i < n && p[i] == static_cast<std::uint8_t>(same)) ++i;
    return i;
}

}  // namespace

RunEncoder::~RunEncoder() {
    release();
}

void RunEncoder::release() {
    std::free(begin);
    begin = capacityEnd = end = nullptr;
}

void RunEncoder::append(int xStart, int xEnd, int y) {
    if (end == capacityEnd) {
        const std::size_t used = static_cast<std::size_t>(end - begin);
        const std::size_t capacity = used == 0 ? 4 : 2 * used;
        auto* grown = static_cast<Run*>(std::malloc(capacity * sizeof(Run)));
        if (!grown) throw std::bad_alloc();
        if (used) std::memcpy(grown, begin, used * sizeof(Run));
        std::free(begin);
        begin = grown;
        end = grown + used;
        capacityEnd = grown + capacity;
        relinkNeeded = true;
    }
    end->xStart = xStart;
    end->xEnd = xEnd;
    end->y = y;
    ++end;
}

Run* RunEncoder::encodeRuns(const std::uint8_t* data, int rows, int cols, std::size_t step,
                            int& count, cv::Point origin) {
    release();
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* row = data + static_cast<std::size_t>(y) * step;
        int open = -1;
        int x = 0;
        for (;;) {
            // Inside a run only 0 bytes, outside it only 255 bytes change nothing.
            x += firstChange(row + x, cols - x, open < 0 ? kAllBackground : 0);
            if (x == cols) break;
            const std::uint8_t v = row[x];
            if (v == 0) {
                if (open < 0) open = x;
            } else {
                if (v != 255)
                    std::printf("nix gut %lld %x\n",
                                static_cast<long long>(static_cast<std::size_t>(y) * step + x), v);
                if (open >= 0) {
                    append(open + origin.x, x - 1 + origin.x, y + origin.y);
                    open = -1;
                }
            }
            ++x;
        }
        if (open >= 0) append(open + origin.x, cols - 1 + origin.x, y + origin.y);
    }
    count = static_cast<int>(end - begin);
    if (relinkNeeded) {
        for (Run* r = begin; r != end; ++r) r->parent = r;
        relinkNeeded = false;
    }
    return begin;
}

}  // namespace quendra
