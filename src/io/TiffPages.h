#pragma once

// The pages of a TIFF file, read one at a time with libtiff, so that a stack of thousands of
// slices never has more than one page decoded.
//
// A reduced-resolution copy of a page (a thumbnail, SubfileType "reduced image") is no page.
// Pages hold 8- or 16-bit unsigned samples: grey (min-is-black or min-is-white, extra samples
// such as alpha dropped) or RGB (alpha dropped), in strips or tiles, interleaved or in separate
// planes, with any compression libtiff decodes. Other pages (palette, YCbCr, floating point,
// 1, 4 or 32 bits) are Unreadable. A page's size is taken from its directory before any of its
// pixels is decoded and checked against kMaxPicturePixels.

#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "io/PictureFile.h"

typedef struct tiff TIFF;

namespace quendra {

// How a TIFF's chain of pages ends. CutShort: the file ends before its last page (a copy or
// download cut off). LoopsBack: the last page found points back to an earlier one, so that
// the pages after it, if there are any, cannot be found. Either way the pages found are the
// first.
enum class PageChain { Whole, CutShort, LoopsBack };

// One page or slice as stored: CV_8UC1, CV_16UC1 (grey, 0 black), CV_8UC3 or CV_16UC3 (B,G,R).
struct SliceRead {
    PictureStatus status = PictureStatus::Unreadable;
    cv::Mat slice;       // only with Ok
    cv::Size size;       // as the page's directory gives it, also for TooLarge
    std::string reason;  // why it was not read, where known: "32-bit floating-point samples"
};

// "W x H pixels, more than the limit of 120 megapixels".
std::string pixelLimitReason(cv::Size size);

class TiffPages {
public:
    // `path` in the platform's file-name encoding. Check status().
    explicit TiffPages(const std::string& path);
    ~TiffPages();
    TiffPages(TiffPages&&) noexcept;
    TiffPages& operator=(TiffPages&&) noexcept;

    // Ok when the file opened as a TIFF with at least one page; NotAFile, Unreadable otherwise.
    PictureStatus status() const { return status_; }
    // The pages that can be found; unless the chain is Whole, the first of the file's pages.
    int pageCount() const { return count_; }
    PageChain pageChain() const { return chain_; }

    // The first page (from 0) whose samples have another depth than the first page's (8 and 16
    // bits in one file), or -1 when all pages have one.
    int depthChange() const { return depthChange_; }
    int bitsOf(int index) const { return pageBits_.at(static_cast<std::size_t>(index)); }

    // Page `index` (0 <= index < pageCount()). Reading the pages in order walks the file once.
    SliceRead read(int index);

private:
    void walk();
    bool moveTo(int directory);

    struct Close {
        void operator()(TIFF* tiff) const;
    };
    std::unique_ptr<TIFF, Close> tiff_;
    PictureStatus status_ = PictureStatus::Unreadable;
    int count_ = 0;
    PageChain chain_ = PageChain::Whole;
    // Whether libtiff reported a loop while the pages were counted; on the heap, since libtiff
    // keeps its address beyond a move.
    std::unique_ptr<bool> loopHeard_ = std::make_unique<bool>(false);
    int depthChange_ = -1;
    // Of each page: its directory (reduced-resolution copies, thumbnails, are no pages) and
    // its bits per sample.
    std::vector<int> pageDirectories_, pageBits_;
    int current_ = -1;  // the directory that is read, -1 for none known
};

// Whether `path` names a TIFF file by its extension (tif, tiff, in any case).
bool isTiffName(const std::string& path);

}  // namespace quendra
