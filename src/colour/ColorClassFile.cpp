#include "colour/ColorClassFile.h"

#include <filesystem>
#include <fstream>

#include "colour/FileWriting.h"

namespace quendra {

ClassFileStatus writeColorClassFile(const std::string& path, const std::uint8_t* sampleTable) {
    std::vector<char> bytes;
    for (ColorKey k = 0; k < kColorKeyCount; ++k) {
        const std::uint8_t cls = sampleTable[k];
        if (cls == ClassNone) continue;
        bytes.push_back(static_cast<char>(k & 0xFF));
        bytes.push_back(static_cast<char>((k >> 8) & 0xFF));
        bytes.push_back(static_cast<char>((k >> 16) & 0xFF));
        bytes.push_back(static_cast<char>(cls));
    }
    return writeFileReplacing(path, bytes) ? ClassFileStatus::Ok : ClassFileStatus::CannotWrite;
}

ClassFileStatus readColorClassFile(const std::string& path, std::vector<PackedSample>& samples) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return ClassFileStatus::CannotOpen;
    std::ifstream in(path, std::ios::binary);
    if (!in) return ClassFileStatus::CannotOpen;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return ClassFileStatus::CannotOpen;
    if (size / 4 > kMaxClassFileRecords) return ClassFileStatus::TooLarge;

    std::vector<unsigned char> bytes(static_cast<std::size_t>(size / 4 * 4));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::size_t>(in.gcount()) != bytes.size()) return ClassFileStatus::CannotOpen;

    std::vector<PackedSample> read(bytes.size() / 4);
    for (std::size_t i = 0; i < read.size(); ++i) {
        const unsigned char* r = &bytes[4 * i];
        read[i] = PackedSample{r[0]} | PackedSample{r[1]} << 8 | PackedSample{r[2]} << 16 |
                  PackedSample{r[3]} << 24;
    }
    samples = std::move(read);
    return ClassFileStatus::Ok;
}

std::string describeClassFileStatus(ClassFileStatus status, const std::string& path) {
    switch (status) {
        case ClassFileStatus::Ok: return {};
        case ClassFileStatus::CannotOpen:
            return "Die Farbklassendatei \"" + path + "\" konnte nicht geöffnet werden.";
        case ClassFileStatus::TooLarge:
            return "Die Datei \"" + path +
                   "\" ist zu groß für eine Farbklassendatei (mehr als 16777216 Einträge).";
        case ClassFileStatus::CannotWrite:
            return "Die Farbklassendatei \"" + path + "\" konnte nicht geschrieben werden.";
    }
    return {};
}

}  // namespace quendra
