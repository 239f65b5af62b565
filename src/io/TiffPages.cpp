#include "io/TiffPages.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <filesystem>
#include <opencv2/imgproc.hpp>
#include <string_view>
#include <vector>

#include "io/MediaFiles.h"

namespace quendra {

namespace {

// libtiff's messages would go to standard error; the caller names the file instead. Only a
// loop in the chain of directories is noted, which libtiff reports (as an error or a warning)
// as an "IFD loop" and otherwise treats like the chain's end.
int listen(TIFF*, void* loopHeard, const char*, const char* format, va_list) {
    if (loopHeard && format && std::string_view(format).find("IFD loop") != std::string_view::npos)
        *static_cast<bool*>(loopHeard) = true;
    return 1;
}

// No single allocation of libtiff's beyond what the largest accepted page needs, so that a
// damaged directory cannot ask for gigabytes.
constexpr tmsize_t kMaxTiffAllocation = kMaxPicturePixels * 3 * 2 + (1 << 20);

struct PageLayout {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 0, samples = 1, photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t planar = PLANARCONFIG_CONTIG, format = SAMPLEFORMAT_UINT;
};

PageLayout layoutOf(TIFF* tiff) {
    PageLayout p;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &p.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &p.height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &p.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &p.samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &p.planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &p.format);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &p.photometric))
        p.photometric = p.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    return p;
}

// What of the page is not read, or empty when it is read.
std::string unsupportedPart(const PageLayout& p) {
    const bool grey =
        p.photometric == PHOTOMETRIC_MINISBLACK || p.photometric == PHOTOMETRIC_MINISWHITE;
    if (p.format == SAMPLEFORMAT_IEEEFP)
        return std::to_string(p.bits) + "-bit floating-point samples";
    if (p.format != SAMPLEFORMAT_UINT) return "signed or complex samples";
    if (p.bits != 8 && p.bits != 16) return std::to_string(p.bits) + "-bit samples";
    if (p.photometric == PHOTOMETRIC_PALETTE) return "a colour palette";
    if (!grey && p.photometric != PHOTOMETRIC_RGB)
        return "the colour model " + std::to_string(p.photometric) + " (not grey or RGB)";
    return {};
}

bool supported(const PageLayout& p) {
    const bool grey =
        p.photometric == PHOTOMETRIC_MINISBLACK || p.photometric == PHOTOMETRIC_MINISWHITE;
    const bool rgb = p.photometric == PHOTOMETRIC_RGB && p.samples >= 3;
    return (p.bits == 8 || p.bits == 16) && p.format == SAMPLEFORMAT_UINT && (grey || rgb) &&
           p.samples >= 1 && p.samples <= 4 && p.width > 0 && p.height > 0;
}

// All samples of the page, interleaved, into `all` (samples channels).
bool readStrips(TIFF* tiff, const PageLayout& p, cv::Mat& all) {
    if (p.planar == PLANARCONFIG_CONTIG) {
        if (TIFFScanlineSize(tiff) != static_cast<tmsize_t>(all.cols * all.elemSize()))
            return false;
        for (int y = 0; y < all.rows; ++y)
            if (TIFFReadScanline(tiff, all.ptr(y), static_cast<std::uint32_t>(y), 0) < 0)
                return false;
        return true;
    }
    std::vector<cv::Mat> planes(p.samples);
    for (std::uint16_t s = 0; s < p.samples; ++s) {
        planes[s].create(all.rows, all.cols, CV_MAKETYPE(all.depth(), 1));
        if (TIFFScanlineSize(tiff) != static_cast<tmsize_t>(all.cols * planes[s].elemSize()))
            return false;
        for (int y = 0; y < all.rows; ++y)
            if (TIFFReadScanline(tiff, planes[s].ptr(y), static_cast<std::uint32_t>(y), s) < 0)
                return false;
    }
    cv::merge(planes, all);
    return true;
}

bool readTiles(TIFF* tiff, const PageLayout& p, cv::Mat& all) {
    std::uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    if (p.planar != PLANARCONFIG_CONTIG || tileWidth == 0 || tileHeight == 0 ||
        std::int64_t{tileWidth} * tileHeight > kMaxPicturePixels)
        return false;
    cv::Mat tile(static_cast<int>(tileHeight), static_cast<int>(tileWidth), all.type());
    if (TIFFTileSize(tiff) != static_cast<tmsize_t>(tile.total() * tile.elemSize())) return false;
    for (std::uint32_t y = 0; y < p.height; y += tileHeight)
        for (std::uint32_t x = 0; x < p.width; x += tileWidth) {
            if (TIFFReadTile(tiff, tile.data, x, y, 0, 0) < 0) return false;
            const cv::Rect part(static_cast<int>(x), static_cast<int>(y),
                                static_cast<int>(std::min(tileWidth, p.width - x)),
                                static_cast<int>(std::min(tileHeight, p.height - y)));
            tile(cv::Rect({0, 0}, part.size())).copyTo(all(part));
        }
    return true;
}

}  // namespace

void TiffPages::Close::operator()(TIFF* tiff) const {
    TIFFClose(tiff);
}

TiffPages::TiffPages(const std::string& path) {
    if (!isRegularFile(path)) {
        status_ = PictureStatus::NotAFile;
        return;
    }
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, listen, loopHeard_.get());
    TIFFOpenOptionsSetWarningHandlerExtR(options, listen, loopHeard_.get());
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxTiffAllocation);
    // "m": read, never map the file, so that its pages do not stay resident as they are read.
    tiff_.reset(TIFFOpenExt(path.c_str(), "rm", options));
    TIFFOpenOptionsFree(options);
    if (!tiff_) return;
    walk();
    count_ = static_cast<int>(pageDirectories_.size());
    if (count_ > 0) status_ = PictureStatus::Ok;
}

// Reads every directory once, in order, for the pages and their depths. A directory that
// cannot be read stays a page, named when it is read. The count stops at the first directory
// that cannot be found; the last one found still points to a next one when the file was cut
// off or the chain loops back. libtiff counts a directory only when its entries and its link
// to the next lie in the file, and reads that link also when it refuses the directory's
// contents (a page claiming millions of tiles): such a last page is no sign of a cut.
void TiffPages::walk() {
    TIFF* tiff = tiff_.get();
    const int directories =
        static_cast<int>(std::min<tdir_t>(TIFFNumberOfDirectories(tiff), INT32_MAX));
    current_ = 0;
    for (int directory = 0; directory < directories; ++directory) {
        std::uint32_t subfile = 0;
        std::uint16_t bits = 0;
        if (moveTo(directory)) {
            TIFFGetField(tiff, TIFFTAG_SUBFILETYPE, &subfile);
            TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
        }
        if (subfile & FILETYPE_REDUCEDIMAGE) continue;
        const int first = pageBits_.empty() ? 0 : pageBits_.front();
        if (depthChange_ < 0 && bits != 0 && first != 0 && bits != first)
            depthChange_ = static_cast<int>(pageBits_.size());
        pageDirectories_.push_back(directory);
        pageBits_.push_back(bits);
    }
    if (directories > 0 && TIFFLastDirectory(tiff) == 0)
        chain_ = *loopHeard_ ? PageChain::LoopsBack : PageChain::CutShort;
}

TiffPages::~TiffPages() = default;
TiffPages::TiffPages(TiffPages&&) noexcept = default;
TiffPages& TiffPages::operator=(TiffPages&&) noexcept = default;

bool TiffPages::moveTo(int directory) {
    // After a failed move the position is unknown (-1): only a seek from the start finds the
    // directory.
    if (directory == current_) return true;
    const bool moved = current_ >= 0 && directory == current_ + 1
                           ? TIFFReadDirectory(tiff_.get()) == 1
                           : TIFFSetDirectory(tiff_.get(), static_cast<tdir_t>(directory)) == 1;
    current_ = moved ? directory : -1;
    return moved;
}

SliceRead TiffPages::read(int index) {
    SliceRead read;
    if (!tiff_ || index < 0 || index >= count_) return read;
    TIFF* tiff = tiff_.get();
    // A directory libtiff refuses has its size read all the same when the size is the cause:
    // a page claiming more pixels than can be is named as too large, not as damaged.
    const bool moved = moveTo(pageDirectories_[static_cast<std::size_t>(index)]);
    const PageLayout p = layoutOf(tiff);
    read.size = cv::Size(static_cast<int>(std::min<std::uint32_t>(p.width, INT32_MAX)),
                         static_cast<int>(std::min<std::uint32_t>(p.height, INT32_MAX)));
    if (std::int64_t{p.width} * p.height > kMaxPicturePixels) {
        read.status = PictureStatus::TooLarge;
        read.reason = pixelLimitReason(read.size);
        return read;
    }
    if (!moved) {
        read.size = {};
        read.reason = "the page's directory cannot be read (damaged)";
        return read;
    }
    if (!supported(p)) {
        const std::string part = unsupportedPart(p);
        if (!part.empty())
            read.reason = "the page has " + part + "; pages of 8 or 16 bits, grey or RGB, are read";
        return read;
    }
    cv::Mat all(read.size, CV_MAKETYPE(p.bits == 8 ? CV_8U : CV_16U, p.samples));
    if (!(TIFFIsTiled(tiff) ? readTiles(tiff, p, all) : readStrips(tiff, p, all))) return read;

    if (p.photometric == PHOTOMETRIC_RGB) {
        cv::cvtColor(all, read.slice, p.samples == 3 ? cv::COLOR_RGB2BGR : cv::COLOR_RGBA2BGR);
    } else {
        cv::extractChannel(all, read.slice, 0);
        if (p.photometric == PHOTOMETRIC_MINISWHITE) cv::bitwise_not(read.slice, read.slice);
    }
    read.status = PictureStatus::Ok;
    return read;
}

std::string pixelLimitReason(cv::Size size) {
    return std::to_string(size.width) + " x " + std::to_string(size.height) +
           " pixels, more than the limit of " + std::to_string(kMaxPicturePixels / 1'000'000) +
           " megapixels";
}

bool isTiffName(const std::string& path) {
    std::string e = std::filesystem::path(path).extension().string();
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return std::tolower(c); });
    return e == ".tif" || e == ".tiff";
}

}  // namespace quendra
