#include "io/ColorClassFile.h"

#include <bit>
#include <filesystem>
#include <fstream>

#include "io/FileWriting.h"
#include "io/MediaFiles.h"

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
    if (!isRegularFile(path)) return ClassFileStatus::CannotOpen;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in) return ClassFileStatus::CannotOpen;
    if (size / 4 > kMaxClassFileRecords) return ClassFileStatus::TooLarge;
    if (size < 4) return ClassFileStatus::Empty;

    std::vector<PackedSample> read(static_cast<std::size_t>(size / 4));
    const auto bytes = static_cast<std::streamsize>(read.size() * sizeof(PackedSample));
    in.read(reinterpret_cast<char*>(read.data()), bytes);
    if (in.gcount() != bytes) return ClassFileStatus::CannotOpen;
    samples = std::move(read);
    return ClassFileStatus::Ok;
}

}  // namespace quendra
