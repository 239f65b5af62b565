#pragma once

// One worker's analysis of the frames it takes: the analysis with its own class cache and
// masks, the run's shared classifier, and the files written for each picture or frame (all
// but the table and the movies, which the writer keeps in order).

#include <optional>
#include <stdexcept>

#include "analysis/ToothAnalysis.h"
#include "batch/BatchOptions.h"
#include "batch/FrameQueue.h"
#include "batch/OrderedWriter.h"
#include "report/ReportThumbnails.h"

namespace quendra {

// An output that cannot be written for want of space (ENOSPC, or EFBIG beyond the file-size
// limit): not one frame's problem but the run's, which stops (CheckedRun).
struct NoSpaceForOutput : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class FrameAnalyser {
public:
    // `thumbnails`, when not null, gets the overlays of the report's sample.
    FrameAnalyser(const BatchOptions& options, const ColorClassifier& classifier,
                  ThumbnailSample* thumbnails = nullptr);

    // Never throws: a failure of the unit, out of memory included, is one of its problems.
    UnitResult analyse(const BatchItem& item, WorkUnit& unit);

private:
    void setUp();
    void analyseFrame(const BatchItem& item, WorkUnit& unit, UnitResult& result);
    void save(const BatchItem& item, Output output, int frame, const cv::Mat& picture,
              UnitResult& result);

    const BatchOptions& options;
    const ColorClassifier& classifier;
    ThumbnailSample* const thumbnails;
    std::optional<ToothAnalysis> analysis;  // made afresh after a failure
    cv::Mat labels;
};

}  // namespace quendra
