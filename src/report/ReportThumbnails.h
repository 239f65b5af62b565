#pragma once

// The thumbnails of the report's gallery. They are made by the workers from the overlay
// picture in memory, right after it is drawn, for a sample chosen as the run goes, so that
// they cost a reduction and a small JPEG each and never a second decoding of an output:
//   - the pictures and frames where nothing was found (no tooth, or a tooth without an
//     accepted canal), the first kNotableThumbnails of them;
//   - an even spread of kSpreadThumbnails items over the run's input order (each picture,
//     or a video's first analysed frame).
// They go into a folder of their own beside the report, under the names of the outputs.

#include <cstddef>
#include <filesystem>
#include <mutex>
#include <opencv2/core.hpp>
#include <set>
#include <vector>

#include "batch/BatchInputs.h"

namespace quendra {

inline constexpr std::size_t kNotableThumbnails = 120;
inline constexpr std::size_t kSpreadThumbnails = 180;
// A thumbnail fits into this box, keeping the picture's proportions; JPEG of this quality.
inline constexpr int kThumbnailWidth = 240, kThumbnailHeight = 180, kThumbnailQuality = 80;

// Whether item `item` of `items` is one of the even spread: the first item of each of
// kSpreadThumbnails equal parts of the input order (every item when there are fewer).
bool inThumbnailSpread(std::size_t item, std::size_t items);

// Where `file`, an output of the run, lies relative to the run's output folder `out` (however
// either is written: relative, with "." or a trailing slash).
std::filesystem::path relativeToOut(const std::filesystem::path& file,
                                    const std::filesystem::path& out);

// The thumbnail of frame `frame` (-1 for a picture) of `item`: the output's name with
// "-thumb.jpg", at its place relative to the run's output folder `out`, inside `folder`.
std::filesystem::path thumbnailPath(const std::filesystem::path& folder,
                                    const std::filesystem::path& out, const BatchItem& item,
                                    int frame);

class ThumbnailSample {
public:
    // The sample of the run's `items` (which must outlive it) whose outputs lie in `out`.
    // `fresh` when the run starts anew: thumbnails an earlier run left in `folder` are removed,
    // so the gallery never shows an overlay of other settings. A resumed run keeps them.
    ThumbnailSample(std::filesystem::path folder, std::filesystem::path out,
                    const std::vector<BatchItem>& items, bool fresh);

    // Whether frame `frame` of `item`, one of the run's items, gets a thumbnail; `seq` is its
    // unit's place in the run's order, `notable` says nothing was found in it. Safe from any
    // thread. The first kNotableThumbnails notable frames in the run's order get theirs
    // whichever worker finishes first, so that every run of the same inputs shows the same
    // gallery; a later one taken while earlier ones were still being analysed is left over (at
    // most as many as the run's queue hands out ahead).
    bool wants(const BatchItem& item, int frame, std::size_t seq, bool notable);

    // Writes the thumbnail of `overlay`; false when it cannot be written.
    bool save(const BatchItem& item, int frame, const cv::Mat& overlay) const;
    std::filesystem::path pathOf(const BatchItem& item, int frame) const {
        return thumbnailPath(where, out, item, frame);
    }

private:
    bool amongFirstNotable(std::size_t seq);

    const std::filesystem::path where, out;
    const std::vector<BatchItem>& items;
    std::mutex mutex;
    std::set<std::size_t> firstNotable;  // the earliest notable units seen, kNotableThumbnails
};

}  // namespace quendra
