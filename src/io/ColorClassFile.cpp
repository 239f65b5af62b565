#include "io/ColorClassFile.h"

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>

#include "io/FileWriting.h"
#include "io/MediaFiles.h"

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
    if (!isRegularFile(path)) return {ClassFileStatus::CannotOpen};
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in) return {ClassFileStatus::CannotOpen};
    if (size / 4 > kMaxClassFileRecords) return {ClassFileStatus::TooLarge};
    if (size == 0) return {ClassFileStatus::Empty};

    std::vector<PackedSample> read(static_cast<std::size_t>(size / 4));
    const auto bytes = static_cast<std::streamsize>(read.size() * sizeof(PackedSample));
    in.read(reinterpret_cast<char*>(read.data()), bytes);
    if (in.gcount() != bytes) return {ClassFileStatus::CannotOpen};
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
