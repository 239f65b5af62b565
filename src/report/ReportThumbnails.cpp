#include "report/ReportThumbnails.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string_view>
#include <vector>

#include "io/FileWriting.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kThumbnailEnd = "-thumb.jpg";

bool endsWith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

bool inThumbnailSpread(std::size_t item, std::size_t items) {
    const auto part = [&](std::size_t i) { return i * kSpreadThumbnails / items; };
    return item < items && (item == 0 || part(item) != part(item - 1));
}

fs::path relativeToOut(const fs::path& file, const fs::path& out) {
    const auto absoluteNormal = [](const fs::path& p) {
        std::error_code ec;
        fs::path a = fs::absolute(p, ec).lexically_normal();
        return a.has_filename() ? a : a.parent_path();
    };
    return absoluteNormal(file).lexically_relative(absoluteNormal(out));
}

fs::path thumbnailPath(const fs::path& folder, const fs::path& out, const BatchItem& item,
                       int frame) {
    // The recognition data's name carries the frame tag of every per-frame output.
    std::string name = relativeToOut(outputPath(item, Output::Text, frame), out).string();
    name.erase(name.size() - std::string_view("-analyse.txt").size());
    return folder / (name + std::string(kThumbnailEnd));
}

ThumbnailSample::ThumbnailSample(fs::path folder, fs::path outFolder,
                                 const std::vector<BatchItem>& runItems, bool fresh)
    : where(std::move(folder)), out(std::move(outFolder)), items(runItems) {
    if (!fresh) return;
    std::error_code ec;
    std::vector<fs::path> old;
    for (fs::recursive_directory_iterator it(where, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && endsWith(it->path().filename().string(), kThumbnailEnd))
            old.push_back(it->path());
    for (const fs::path& file : old) fs::remove(file, ec);
}

bool ThumbnailSample::wants(const BatchItem& item, int frame, std::size_t seq, bool notable) {
    // A notable frame counts toward its limit also when the spread takes it, as the gallery
    // counts it among the notable ones.
    const bool takenAsNotable = notable && amongFirstNotable(seq);
    const auto index = static_cast<std::size_t>(&item - items.data());
    return takenAsNotable || (frame <= 0 && inThumbnailSpread(index, items.size()));
}

// Whether `seq` is among the earliest notable units seen so far. The earliest of the whole run
// always are, since every unit seen before them is earlier still.
bool ThumbnailSample::amongFirstNotable(std::size_t seq) {
    const std::lock_guard lock(mutex);
    firstNotable.insert(seq);
    if (firstNotable.size() > kNotableThumbnails) firstNotable.erase(std::prev(firstNotable.end()));
    return firstNotable.contains(seq);
}

bool ThumbnailSample::save(const BatchItem& item, int frame, const cv::Mat& overlay) const {
    const double scale = std::min(
        {1.0, double(kThumbnailWidth) / overlay.cols, double(kThumbnailHeight) / overlay.rows});
    const cv::Size size(std::max(1, cvRound(overlay.cols * scale)),
                        std::max(1, cvRound(overlay.rows * scale)));
    // An area average over every pixel of a 1080p overlay costs about a tenth of the picture's
    // analysis. A bilinear reduction to twice the size first (averaging 2 x 2 of each 4 x 4
    // pixels) makes it a fifth of that, and the thumbnail looks the same.
    cv::Mat half = overlay, small;
    if (overlay.cols > 4 * size.width) cv::resize(overlay, half, size * 2, 0, 0, cv::INTER_LINEAR);
    cv::resize(half, small, size, 0, 0, cv::INTER_AREA);
    std::vector<std::uint8_t> jpeg;
    if (!cv::imencode(".jpg", small, jpeg, {cv::IMWRITE_JPEG_QUALITY, kThumbnailQuality}))
        return false;
    const fs::path path = pathOf(item, frame);
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    return writeFileReplacing(path.string(),
                              {reinterpret_cast<const char*>(jpeg.data()), jpeg.size()},
                              Durability::Deferred);
}

}  // namespace quendra
