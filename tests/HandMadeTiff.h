#pragma once

// TIFF files made byte by byte, for pages no writer makes: a page whose directory promises
// more pixels than the limit, or one whose directory lacks its size.

#include <array>
#include <cstdint>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace quendra {

using TiffEntry = std::array<std::uint32_t, 3>;  // tag, type (3 short, 4 long), one value

// A little-endian TIFF made byte by byte: `pixels` right after the header (from offset 8), then
// the pages' directories, one after the other.
inline std::string handMadeTiff(const std::string& pixels,
                                const std::vector<std::vector<TiffEntry>>& pages) {
    std::string bytes;
    const auto put16 = [&](std::uint32_t v) {
        bytes += static_cast<char>(v & 255), bytes += static_cast<char>((v >> 8) & 255);
    };
    const auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
    bytes = "II";
    put16(42);
    put32(static_cast<std::uint32_t>(8 + pixels.size()));
    bytes += pixels;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        put16(static_cast<std::uint32_t>(pages[p].size()));
        for (const auto& [tag, type, value] : pages[p]) {
            put16(tag), put16(type), put32(1);
            if (type == 3)
                put16(value), put16(0);
            else
                put32(value);
        }
        put32(p + 1 < pages.size() ? static_cast<std::uint32_t>(bytes.size() + 4) : 0);
    }
    return bytes;
}

// An 8-bit grey page of `size`, its pixels at `offset`.
inline std::vector<TiffEntry> greyPage(cv::Size size, std::uint32_t offset) {
    const auto w = static_cast<std::uint32_t>(size.width),
               h = static_cast<std::uint32_t>(size.height);
    return {{256, 4, w},      {257, 4, h}, {258, 3, 8}, {259, 3, 1},    {262, 3, 1},
            {273, 4, offset}, {277, 3, 1}, {278, 4, h}, {279, 4, w * h}};
}

}  // namespace quendra
