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

// A TIFF made byte by byte, little-endian unless asked otherwise: `pixels` right after the
// header (from offset 8), then the pages' directories, one after the other. With `loopTo` the
// last page points back to that page (from 0) instead of ending the chain.
inline std::string handMadeTiff(const std::string& pixels,
                                const std::vector<std::vector<TiffEntry>>& pages, int loopTo = -1,
                                bool bigEndian = false) {
    std::string bytes = bigEndian ? "MM" : "II";
    const auto put16 = [&](std::uint32_t v) {
        const char low = static_cast<char>(v & 255), high = static_cast<char>((v >> 8) & 255);
        bytes += bigEndian ? high : low, bytes += bigEndian ? low : high;
    };
    const auto put32 = [&](std::uint32_t v) {
        put16(bigEndian ? v >> 16 : v & 0xFFFF), put16(bigEndian ? v & 0xFFFF : v >> 16);
    };
    put16(42);
    put32(static_cast<std::uint32_t>(8 + pixels.size()));
    bytes += pixels;
    std::vector<std::uint32_t> offsets;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        offsets.push_back(static_cast<std::uint32_t>(bytes.size()));
        put16(static_cast<std::uint32_t>(pages[p].size()));
        for (const auto& [tag, type, value] : pages[p]) {
            put16(tag), put16(type), put32(1);
            if (type == 3)
                put16(value), put16(0);
            else
                put32(value);
        }
        const bool last = p + 1 == pages.size();
        put32(!last         ? static_cast<std::uint32_t>(bytes.size() + 4)
              : loopTo >= 0 ? offsets.at(static_cast<std::size_t>(loopTo))
                            : 0);
    }
    return bytes;
}

// A little-endian TIFF of a writer's (no BigTIFF) with `page` made by hand after its last page.
inline std::string withPageAppended(std::string tiff, const std::vector<TiffEntry>& page) {
    const auto get = [&](std::size_t at, int bytes) {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = v << 8 | static_cast<unsigned char>(tiff.at(at + static_cast<std::size_t>(i)));
        return v;
    };
    std::size_t link = 4;  // where the offset of the next directory is stored
    while (const std::uint32_t next = get(link, 4)) link = next + 2 + 12 * get(next, 2);
    if (tiff.size() % 2) tiff += '\0';
    for (int i = 0; i < 4; ++i)
        tiff[link + static_cast<std::size_t>(i)] = static_cast<char>(tiff.size() >> (8 * i));
    return tiff + handMadeTiff("", {page}).substr(8);
}

// An 8-bit grey page of `size`, its pixels at `offset`.
inline std::vector<TiffEntry> greyPage(cv::Size size, std::uint32_t offset) {
    const auto w = static_cast<std::uint32_t>(size.width),
               h = static_cast<std::uint32_t>(size.height);
    return {{256, 4, w},      {257, 4, h}, {258, 3, 8}, {259, 3, 1},    {262, 3, 1},
            {273, 4, offset}, {277, 3, 1}, {278, 4, h}, {279, 4, w * h}};
}

// An 8-bit grey page of `size` in tiles of 16 x 16 pixels, of which only one is stored: libtiff
// refuses its directory when the size asks for many tiles, as a damaged or absurd page does.
inline std::vector<TiffEntry> tiledPage(cv::Size size) {
    const auto w = static_cast<std::uint32_t>(size.width),
               h = static_cast<std::uint32_t>(size.height);
    return {{256, 4, w}, {257, 4, h},  {258, 3, 8},  {259, 3, 1}, {262, 3, 1},
            {277, 3, 1}, {322, 4, 16}, {323, 4, 16}, {324, 4, 8}, {325, 4, 256}};
}

}  // namespace quendra
