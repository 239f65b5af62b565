#include "TiffStackWriter.h"

#include <tiffio.h>

#include <opencv2/imgproc.hpp>
#include <vector>

namespace quendra {

TiffStackWriter::TiffStackWriter(const std::string& path, TiffLayout layout)
    : tiff_(TIFFOpen(path.c_str(), "w8")), layout_(layout) {}

TiffStackWriter::~TiffStackWriter() {
    close();
}

bool TiffStackWriter::append(const cv::Mat& page) {
    CV_Assert(page.depth() == CV_8U || page.depth() == CV_16U);
    CV_Assert(page.channels() == 1 || page.channels() == 3);
    if (!tiff_) return false;
    cv::Mat stored;
    const bool colour = page.channels() == 3;
    if (colour)
        cv::cvtColor(page, stored, cv::COLOR_BGR2RGB);
    else if (layout_.minIsWhite)
        cv::bitwise_not(page, stored);
    else
        stored = page;

    TIFF* t = tiff_;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(page.cols));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(page.rows));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, page.depth() == CV_8U ? 8 : 16);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, page.channels());
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                 colour ? PHOTOMETRIC_RGB
                        : (layout_.minIsWhite ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK));
    const bool separate = colour && layout_.separatePlanes;
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION,
                 layout_.deflate ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    if (layout_.xResolution > 0) {
        TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(layout_.xResolution));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(layout_.yResolution));
        if (layout_.resolutionUnit > 0)
            TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT,
                         static_cast<std::uint16_t>(layout_.resolutionUnit));
    }
    if (!layout_.description.empty())
        TIFFSetField(t, TIFFTAG_IMAGEDESCRIPTION, layout_.description.c_str());

    std::vector<cv::Mat> planes;
    if (separate)
        cv::split(stored, planes);
    else
        planes = {stored};
    if (layout_.tileSize > 0) {
        const int s = layout_.tileSize;
        TIFFSetField(t, TIFFTAG_TILEWIDTH, s);
        TIFFSetField(t, TIFFTAG_TILELENGTH, s);
        cv::Mat tile(s, s, planes[0].type());
        for (std::size_t p = 0; p < planes.size(); ++p)
            for (int y = 0; y < page.rows; y += s)
                for (int x = 0; x < page.cols; x += s) {
                    tile.setTo(0);
                    const cv::Rect part(x, y, std::min(s, page.cols - x),
                                        std::min(s, page.rows - y));
                    planes[p](part).copyTo(tile(cv::Rect({0, 0}, part.size())));
                    ok_ = ok_ && TIFFWriteTile(t, tile.data, static_cast<std::uint32_t>(x),
                                               static_cast<std::uint32_t>(y), 0,
                                               static_cast<std::uint16_t>(p)) >= 0;
                }
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16);
        for (std::size_t p = 0; p < planes.size(); ++p)
            for (int y = 0; y < page.rows; ++y) {
                ok_ = ok_ && TIFFWriteScanline(t, planes[p].ptr(y), static_cast<std::uint32_t>(y),
                                               static_cast<std::uint16_t>(p)) >= 0;
            }
    }
    ok_ = ok_ && TIFFWriteDirectory(t) == 1;
    return ok_;
}

bool TiffStackWriter::close() {
    if (tiff_) {
        ok_ = ok_ && TIFFFlush(tiff_) == 1;
        TIFFClose(tiff_);
        tiff_ = nullptr;
    }
    return ok_;
}

}  // namespace quendra
