#include "io/ColorClassFile.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "io/FileReading.h"
#include "io/FileWriting.h"

static_assert(std::endian::native == std::endian::little,
              "records are read as little-endian words");

namespace quendra {

bool isFileClass(int colorClass) {
    return colorClass == ClassEnamel || colorClass == ClassGum || colorClass == ClassConflict;
}

ClassFileStatus writeColorClassFile(const std::string& path,
                                    std::span<const PackedSample> samples) {
    if (samples.empty()) return ClassFileStatus::NothingPicked;
    const std::span<const char> bytes{reinterpret_cast<const char*>(samples.data()),
                                      samples.size_bytes()};
    return writeFileReplacing(path, bytes) ? ClassFileStatus::Ok : ClassFileStatus::CannotWrite;
}

ClassFileRead readColorClassFile(const std::string& path, std::vector<PackedSample>& samples) {
    // A partial record after the largest number of whole ones is named as such.
    const std::uintmax_t maxBytes = kMaxClassFileRecords * 4 + 3;
    const FileRead file = readRegularFile(path, maxBytes);
    if (file.status == FileReadStatus::TooLarge) return {ClassFileStatus::TooLarge};
    if (file.status != FileReadStatus::Ok)
        return {ClassFileStatus::CannotOpen, 0, 0, describeFileRead(file, maxBytes)};
    const std::uintmax_t size = file.bytes.size();
    if (size == 0) return {ClassFileStatus::Empty};

    std::vector<PackedSample> read(static_cast<std::size_t>(size / 4));
    if (!read.empty())  // a file shorter than one record has nothing to copy
        std::memcpy(read.data(), file.bytes.data(), read.size() * sizeof(PackedSample));
    const auto unknown = std::find_if(read.begin(), read.end(),
                                      [](PackedSample s) { return !isFileClass(sampleClass(s)); });
    if (unknown != read.end())
        return {ClassFileStatus::UnknownClass,
                static_cast<std::uintmax_t>(unknown - read.begin()) + 1, sampleClass(*unknown)};
    if (size % 4 != 0)
        return {ClassFileStatus::PartialRecord, size / 4 + 1, static_cast<int>(size % 4)};
    samples = std::move(read);
    return {};
}

}  // namespace quendra
