#pragma once

// The colour-class file: a bare sequence of 4-byte records, no header, no count, no trailer.
// Each record is one picked colour, bytes B, G, R, class; read as a little-endian 32-bit value
// it is the packed sample class<<24 | R<<16 | G<<8 | B. The byte order is little-endian on
// every host. A writer emits one record per picked colour in ascending colour-key order, so a
// file holds at most 2^24 records (64 MiB); a reader depends on neither order nor uniqueness
// and ignores 1 to 3 trailing bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "colour/ColorKey.h"

namespace quendra {

enum class ClassFileStatus { Ok, CannotOpen, TooLarge, CannotWrite };

inline constexpr std::uintmax_t kMaxClassFileRecords = kColorKeyCount;

// Writes one record for every non-zero entry of `sampleTable` (2^24 bytes), replacing the
// file only when all of it was written.
ClassFileStatus writeColorClassFile(const std::string& path, const std::uint8_t* sampleTable);

// Reads every complete record of the file into `samples` (replaced). On failure `samples` is
// left as it was: a file that cannot be opened, is a folder, or holds more than 2^24 records.
ClassFileStatus readColorClassFile(const std::string& path, std::vector<PackedSample>& samples);

// A German sentence naming the file, for the operator; empty for Ok.
std::string describeClassFileStatus(ClassFileStatus status, const std::string& path);

}  // namespace quendra
