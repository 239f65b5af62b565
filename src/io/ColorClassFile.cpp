#include "io/ColorClassFile.h"

#include <bit>
#include <cstring>

#include "io/FileReading.h"
#include "io/FileWriting.h"

static_assert(std::endian::native == std::endian::little,
              "records are read as little-endian words");

namespace quendra {

ClassFileStatus writeColorClassFile(const std::string& path,
                                    std::span<const PackedSample> samples) {
    if (samples.empty()) return ClassFileStatus::NothingPicked;
    const std::span<const char> bytes{reinterpret_cast<const char*>(samples.data()),
                                      samples.size_bytes()};
    return writeFileReplacing(path, bytes) ? ClassFileStatus::Ok : ClassFileStatus::CannotWrite;
}

ClassFileStatus readColorClassFile(const std::string& path, std::vector<PackedSample>& samples) {
    // Whole records, and up to 3 trailing bytes that are ignored.
    const FileRead file = readRegularFile(path, kMaxClassFileRecords * 4 + 3);
    if (file.status == FileReadStatus::TooLarge) return ClassFileStatus::TooLarge;
    if (file.status != FileReadStatus::Ok) return ClassFileStatus::CannotOpen;
    if (file.bytes.size() < 4) return ClassFileStatus::Empty;

    std::vector<PackedSample> read(file.bytes.size() / 4);
    std::memcpy(read.data(), file.bytes.data(), read.size() * sizeof(PackedSample));
    samples = std::move(read);
    return ClassFileStatus::Ok;
}

}  // namespace quendra
