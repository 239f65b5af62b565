#pragma once

// A classification cache: one byte per colour key (2^24 bytes, 16 MiB). An entry with its high
// bit set means not classified yet; 0..127 is the cached class of that colour. A class of 255
// is therefore never cached and is asked of the tree again at every lookup.
//
// Every analysis and every preview owns a cache of its own; the classifier they ask is shared.

#include <cstdint>
#include <memory>

#include "colour/ColorKey.h"

namespace quendra {

class ClassCache {
public:
    // Every colour unclassified.
    ClassCache();

    void clear();

    std::uint8_t* data() { return entries.get(); }
    const std::uint8_t* data() const { return entries.get(); }
    std::uint8_t operator[](ColorKey key) const { return entries[key]; }
    std::uint8_t& operator[](ColorKey key) { return entries[key]; }

private:
    std::unique_ptr<std::uint8_t[]> entries;
};

}  // namespace quendra
