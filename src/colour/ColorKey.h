#pragma once

// Colour keys, packed samples and the colour-class values shared by the colour-class code.
//
// A colour key is a pixel's colour as the 24-bit value R<<16 | G<<8 | B (B in the low byte).
// A packed sample adds the colour class in the top byte: class<<24 | colour key. Tables indexed
// by colour key have kColorKeyCount entries.

#include <cstddef>
#include <cstdint>

namespace quendra {

using ColorKey = std::uint32_t;
using PackedSample = std::uint32_t;

inline constexpr std::size_t kColorKeyCount = std::size_t{1} << 24;

// Colour class values as stored in the sample table, the caches and the colour-class file.
enum ColorClass : std::uint8_t {
    ClassNone = 0,
    ClassEnamel = 1,     // "Zahnschmelz"; the class the analysis segments
    ClassGum = 2,        // "Zahnfleisch"
    ClassBlack = 3,      // painted black by the preview; never picked, never in a file
    ClassConflict = 255  // a colour picked for two different classes
};

// Key of a B,G,R pixel given by a pointer to its three bytes.
inline ColorKey colorKeyOf(const std::uint8_t* bgr) {
    return ColorKey{bgr[2]} << 16 | ColorKey{bgr[1]} << 8 | ColorKey{bgr[0]};
}

inline PackedSample packSample(unsigned colorClass, ColorKey key) {
    return (PackedSample{colorClass} & 0xFFu) << 24 | (key & 0xFFFFFFu);
}

inline int sampleClass(PackedSample s) {
    return static_cast<int>(s >> 24);
}

// Channel 0 is B, 1 is G, 2 is R of a colour key.
inline int channelOf(ColorKey key, int channel) {
    return static_cast<int>((key >> (8 * channel)) & 0xFFu);
}

}  // namespace quendra
