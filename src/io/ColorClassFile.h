#pragma once

// The colour-class file: a bare sequence of 4-byte records, no header, no count, no trailer.
// Each record is one picked colour, bytes B, G, R, class; read as a little-endian 32-bit value
// it is the packed sample class<<24 | R<<16 | G<<8 | B. The byte order is little-endian on
// every host. A writer emits one record per picked colour in ascending colour-key order, so a
// file holds at most 2^24 records (64 MiB); a reader depends on neither order nor uniqueness
// and ignores 1 to 3 trailing bytes.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "colour/ColorKey.h"

namespace quendra {

enum class ClassFileStatus {
    Ok,
    CannotOpen,  // missing, not a regular file, or unreadable
    Empty,       // fewer than 4 bytes: not one colour
    TooLarge,    // more than kMaxClassFileRecords records
    CannotWrite,
    NothingPicked,  // nothing to save
};

inline constexpr std::uintmax_t kMaxClassFileRecords = kColorKeyCount;

// Writes one record per sample, replacing the file only when all of it was written. No
// samples write nothing and give NothingPicked: an empty file would replace a trained one with
// classes that find nothing.
ClassFileStatus writeColorClassFile(const std::string& path, std::span<const PackedSample> samples);

// Reads every complete record of the file into `samples` (replaced). On failure `samples` is
// left as it was.
ClassFileStatus readColorClassFile(const std::string& path, std::vector<PackedSample>& samples);

}  // namespace quendra
