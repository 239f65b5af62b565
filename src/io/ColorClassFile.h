#pragma once

// The colour-class file: a bare sequence of 4-byte records, no header, no count, no trailer.
// Each record is one picked colour, bytes B, G, R, class; read as a little-endian 32-bit value
// it is the packed sample class<<24 | R<<16 | G<<8 | B. The byte order is little-endian on
// every host. A writer emits one record per picked colour in ascending colour-key order, so a
// file holds at most 2^24 records (64 MiB), every class byte 1 ("Zahnschmelz"), 2
// ("Zahnfleisch") or 255 (picked for both). A reader depends on neither order nor uniqueness,
// and refuses a file with a record cut short or a class byte no writer gives: such a file is
// something else, and its bytes taken as colours would replace good classes with nonsense.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "colour/ColorKey.h"

namespace quendra {

enum class ClassFileStatus {
    Ok,
    CannotOpen,     // missing, not a regular file, or unreadable
    Empty,          // no bytes: not one colour
    PartialRecord,  // the size is no whole number of records: the last one is cut short
    UnknownClass,   // a record's class byte is not 1, 2 or 255
    TooLarge,       // more than kMaxClassFileRecords records
    CannotWrite,
    NothingPicked,  // nothing to save
};

// What reading a colour-class file found, and for a record at fault which one it is.
struct ClassFileRead {
    ClassFileStatus status = ClassFileStatus::Ok;
    std::uintmax_t record = 0;  // 1-based number of the record at fault, 0 for none
    // PartialRecord: the bytes the last record has (1 to 3); UnknownClass: its class byte.
    int value = 0;
    // CannotOpen: why, in English ("No such file or directory", "not a regular file").
    std::string reason{};
};

inline constexpr std::uintmax_t kMaxClassFileRecords = kColorKeyCount;

// The class bytes a colour-class file holds.
bool isFileClass(int colorClass);

// Writes one record per sample, replacing the file only when all of it was written. No
// samples write nothing and give NothingPicked: an empty file would replace a trained one with
// classes that find nothing.
ClassFileStatus writeColorClassFile(const std::string& path, std::span<const PackedSample> samples);

// Reads every record of the file into `samples` (replaced). On failure `samples` is left as it
// was; a file with faults names the first of them in file order.
ClassFileRead readColorClassFile(const std::string& path, std::vector<PackedSample>& samples);

}  // namespace quendra
