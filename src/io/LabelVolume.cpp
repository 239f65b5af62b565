#include "io/LabelVolume.h"

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <type_traits>

namespace quendra {

namespace {

// The first error libtiff reports, and errno as it was then: a write that failed for a full
// disk says so by errno, not by libtiff's text.
struct TiffError {
    int error = 0;
    std::string message;
};

int noteError(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* noted = static_cast<TiffError*>(user);
    if (!noted->message.empty()) return 1;
    noted->error = errno;
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    noted->message = text[0] ? text : "libtiff failed";
    return 1;
}

int ignore(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// The shortest text that reads back as the same double, whatever the locale.
std::string numberText(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// ImageJ's description of a stack of `slices` slices (ImageJ reads it from the first page).
std::string imageJDescription(int slices, std::optional<double> pxPerMm,
                              std::optional<double> sliceMm) {
    std::string text = "ImageJ=1.11a\nimages=" + std::to_string(slices) +
                       "\nslices=" + std::to_string(slices) + "\n";
    if (pxPerMm) {
        text += "unit=mm\n";
        if (sliceMm) text += "spacing=" + numberText(*sliceMm) + "\n";
    }
    return text + "loop=false\n";
}

// The tags of the next page; ImageJ writes its resolutions in pixels per the description's unit
// with ResolutionUnit none.
bool startPage(TIFF* tiff, cv::Size size, const std::string& description,
               std::optional<double> pxPerMm) {
    // Strips of about 64 KiB: Deflate needs some length to pay off, and readers hold one strip.
    // Its fastest level: labels are mostly 0, which any level packs tightly (1000 slices of
    // 1000 x 1000 pixels: 11 MB in 3 s, against 3.7 MB in 9 s at its default level).
    const auto rows = static_cast<std::uint32_t>(std::max(1, 65536 / (2 * size.width)));
    bool set = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(size.width)) &&
               TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(size.height)) &&
               TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 16) &&
               TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1) &&
               TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT) &&
               TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) &&
               TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
               TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
               TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, 1) &&
               TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rows);
    if (set && !description.empty())
        set = TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, description.c_str());
    if (set && pxPerMm)
        set = TIFFSetField(tiff, TIFFTAG_XRESOLUTION, *pxPerMm) &&
              TIFFSetField(tiff, TIFFTAG_YRESOLUTION, *pxPerMm) &&
              TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE);
    return set;
}

bool isPositiveFinite(std::optional<double> value) {
    return !value || (*value > 0 && std::isfinite(*value));
}

}  // namespace

void LabelVolume::addSlice(const cv::Mat& labels) {
    std::vector<LabelRun> runs;
    if (labels.empty()) {
        slices_.push_back(std::move(runs));
        return;
    }
    if (labels.type() != CV_16UC1 && labels.type() != CV_32SC1)
        throw std::invalid_argument("LabelVolume: labels must be CV_16UC1 or CV_32SC1");
    if (!size_.empty() && labels.size() != size_)
        throw std::invalid_argument("LabelVolume: a slice of another size");
    const auto encode = [&]<typename Label>(Label) {
        for (int y = 0; y < labels.rows; ++y) {
            const Label* row = labels.ptr<Label>(y);
            for (int x = 0; x < labels.cols;) {
                int end = x + 1;
                while (end < labels.cols && row[end] == row[x]) ++end;
                if constexpr (std::is_signed_v<Label>)
                    if (row[x] < 0) throw std::invalid_argument("LabelVolume: a negative label");
                if (row[x] != 0) runs.push_back({y, x, end - x, static_cast<int>(row[x])});
                x = end;
            }
        }
    };
    labels.type() == CV_16UC1 ? encode(std::uint16_t{}) : encode(std::int32_t{});
    runs.shrink_to_fit();
    size_ = labels.size();
    slices_.push_back(std::move(runs));
}

bool LabelVolume::write(const std::string& path, const std::vector<std::vector<int>>& numbers,
                        std::optional<double> pxPerMm, std::optional<double> sliceMm,
                        std::string& reason, Durability durability) const {
    if (!isPositiveFinite(pxPerMm) || !isPositiveFinite(sliceMm))
        throw std::invalid_argument("LabelVolume: the scale must be positive and finite");
    int smallest = 0, largest = 0;
    for (const std::vector<int>& ofSlice : numbers)
        for (const int number : ofSlice)
            smallest = std::min(smallest, number), largest = std::max(largest, number);
    if (smallest < 0) throw std::invalid_argument("LabelVolume: a negative canal number");
    errno = 0;  // a volume refused here is no full disk
    if (size_.empty() || largest > std::numeric_limits<std::uint16_t>::max()) {
        reason = size_.empty() ? "no slice has a picture" : "more canals than 16 bits can number";
        return false;
    }
    ReplacingFile file;
    if (!file.open(path)) {
        reason = std::strerror(errno);
        return false;
    }
    // libtiff closes the descriptor it is given; the file keeps its own for the commit.
    TiffError noted;
    const int fd = ::dup(::fileno(file.stream()));
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, noteError, &noted);
    TIFFOpenOptionsSetWarningHandlerExtR(options, ignore, nullptr);
    std::unique_ptr<TIFF, TiffClose> tiff(fd < 0 ? nullptr
                                                 : TIFFFdOpenExt(fd, path.c_str(), "w", options));
    TIFFOpenOptionsFree(options);
    if (!tiff && fd >= 0) ::close(fd);
    if (!tiff && noted.message.empty()) noted = {errno, "the TIFF cannot be opened for writing"};
    const std::string description = imageJDescription(sliceCount(), pxPerMm, sliceMm);
    static const std::vector<int> kNone;
    std::vector<std::uint16_t> row(static_cast<std::size_t>(size_.width));
    bool written = tiff != nullptr;
    for (std::size_t s = 0; s < slices_.size() && written; ++s)
        written = startPage(tiff.get(), size_, s == 0 ? description : "", pxPerMm) &&
                  writePage(tiff.get(), s, s < numbers.size() ? numbers[s] : kNone, row);
    tiff.reset();
    if (!written) {
        reason = noted.error ? std::strerror(noted.error) : noted.message;
        errno = noted.error;
        return false;
    }
    if (!file.commit(durability)) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

bool LabelVolume::writePage(TIFF* tiff, std::size_t slice, const std::vector<int>& numberOf,
                            std::vector<std::uint16_t>& row) const {
    auto run = slices_[slice].begin();
    for (int y = 0; y < size_.height; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (; run != slices_[slice].end() && run->y == y; ++run) {
            const auto label = static_cast<std::size_t>(run->label);
            const int number = label < numberOf.size() ? numberOf[label] : 0;
            std::fill_n(row.begin() + run->x, run->length, static_cast<std::uint16_t>(number));
        }
        if (TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) < 0) return false;
    }
    return TIFFWriteDirectory(tiff) == 1;
}

}  // namespace quendra
