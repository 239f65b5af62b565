#include "io/MediaFiles.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace quendra {

namespace {

constexpr std::array<std::string_view, 6> kPictureExtensions{".jpg", ".jpeg", ".bmp",
                                                             ".png", ".tif",  ".tiff"};
constexpr std::array<std::string_view, 6> kVideoExtensions{".avi",  ".mov", ".mpg",
                                                           ".mpeg", ".wmv", ".mp4"};

template <std::size_t N>
bool oneOf(const std::string& extension, const std::array<std::string_view, N>& list) {
    return std::find(list.begin(), list.end(), extension) != list.end();
}

}  // namespace

MediaKind mediaKindOf(const std::string& path) {
    std::string e = std::filesystem::path(path).extension().string();
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return std::tolower(c); });
    if (oneOf(e, kPictureExtensions)) return MediaKind::Picture;
    if (oneOf(e, kVideoExtensions)) return MediaKind::Video;
    return MediaKind::Other;
}

bool isRegularFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool holdsTiff(const std::string& path) {
    if (!isRegularFile(path)) return false;
    char start[4] = {};
    std::ifstream file(path, std::ios::binary);
    if (!file.read(start, sizeof start)) return false;
    const std::string_view magic(start, sizeof start);
    using namespace std::string_view_literals;
    return magic == "II*\0"sv || magic == "MM\0*"sv || magic == "II+\0"sv || magic == "MM\0+"sv;
}

}  // namespace quendra
