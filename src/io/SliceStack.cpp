#include "io/SliceStack.h"

#include <algorithm>
#include <cctype>

#include "io/DicomSeries.h"
#include "io/MediaFiles.h"

namespace quendra {

SliceStack::SliceStack(const std::string& path) : path_(path) {
    std::error_code ec;
    const bool folder = std::filesystem::is_directory(path, ec);
    if (folder ? holdsDicom(path) : isDicomFile(path)) {
        dicom_ = std::make_shared<DicomSeries>(path);
        status_ = dicom_->status();
        count_ = dicom_->sliceCount();
        return;
    }
    if (folder) {
        files_ = slicesOfFolder(path);
        count_ = static_cast<int>(files_.size());
        status_ = count_ > 0 ? PictureStatus::Ok : PictureStatus::Unreadable;
        return;
    }
    pages_.emplace(path);
    status_ = pages_->status();
    count_ = status_ == PictureStatus::Ok ? pages_->pageCount() : 0;
}

SliceStack::SliceStack(std::vector<std::filesystem::path> files)
    : files_(std::move(files)),
      status_(files_.empty() ? PictureStatus::Unreadable : PictureStatus::Ok),
      count_(static_cast<int>(files_.size())) {}

SliceRead SliceStack::read(int index) {
    if (index < 0 || index >= count_) return {};
    if (pages_) return pages_->read(index);
    if (dicom_) return dicom_->read(index);
    const std::filesystem::path& path = files_[static_cast<std::size_t>(index)];
    SliceRead read;
    if (isTiffName(path.string())) {
        read = TiffPages(path.string()).read(0);
    } else {
        PictureRead picture = readPicture(path.string(), PictureDepth::AsStored);
        read = {picture.status, std::move(picture.picture), picture.size, {}};
        if (read.status == PictureStatus::TooLarge) read.reason = pixelLimitReason(read.size);
    }
    // A slice of a folder is named by its file, which its number alone does not tell.
    if (read.status != PictureStatus::Ok)
        read.reason = path.filename().string() + (read.reason.empty() ? "" : ": " + read.reason);
    return read;
}

int SliceStack::bitsOf(int index) const {
    return pages_ ? pages_->bitsOf(index) : dicom_ ? dicom_->bits() : 0;
}

std::vector<std::string> SliceStack::notes() const {
    return dicom_ ? dicom_->notes() : std::vector<std::string>{};
}

std::optional<std::pair<double, double>> SliceStack::fileWindow() const {
    return dicom_ ? dicom_->window() : std::nullopt;
}

FileScale SliceStack::fileScale() const {
    if (dicom_) return dicom_->scale();
    return pages_ ? tiffScale(path_) : FileScale{};
}

std::string SliceStack::problem() const {
    return dicom_ ? dicom_->problem() : std::string();
}

std::string SliceStack::sliceName(int index) const {
    if (dicom_) return dicom_->sliceName(index);
    if (pages_) return path_ + " page " + std::to_string(index + 1);
    if (index < 0 || index >= count_) return path_;
    return files_[static_cast<std::size_t>(index)].string();
}

bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            // Compared by value: leading zeros skipped, then the longer run is larger, then the
            // first differing digit decides.
            std::size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei])) ++ei;
            while (ej < b.size() && digit(b[ej])) ++ej;
            std::size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            const int order = a.compare(si, ei - si, b, sj, ej - sj);
            if (order != 0) return order < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;  // equal by value ("s02" and "s2"): a fixed order all the same
}

std::vector<std::filesystem::path> slicesOfFolder(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().string();
        if ((mediaKindOf(name) == MediaKind::Picture || isTiffName(name)) && isRegularFile(name))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return naturalLess(a.filename().string(), b.filename().string());
    });
    return files;
}

}  // namespace quendra

namespace quendra {

std::vector<std::filesystem::path> stackFiles(const std::filesystem::path& folder) {
    if (!holdsDicom(folder)) return slicesOfFolder(folder);
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (isRegularFile(entry.path().string())) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace quendra
