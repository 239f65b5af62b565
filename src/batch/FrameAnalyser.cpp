#include "batch/FrameAnalyser.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <opencv2/imgcodecs.hpp>
#include <system_error>

#include "analysis/SectionLabels.h"
#include "io/PictureFile.h"
#include "io/Utf8Text.h"
#include "overlay/RecognitionData.h"
#include "overlay/ResultOverlay.h"
#include "results/ResultsTable.h"

namespace quendra {

namespace {

// JPEG quality of the movies' frames: lines of one pixel stay sharp, and a frame is encoded in
// a few milliseconds.
constexpr int kMovieQuality = 90;

// Why a picture, or a whole video or stack, was not analysed.
std::string describe(PictureStatus status, cv::Size size, int error, MediaKind kind) {
    const std::string what = kind == MediaKind::Video   ? "video"
                             : kind == MediaKind::Stack ? "stack of slices"
                                                        : "picture";
    switch (status) {
        case PictureStatus::NotAFile:
            return "not a regular file";
        case PictureStatus::CannotOpen:
            return std::error_code(error, std::generic_category()).message();
        case PictureStatus::TooLarge:
            if (size.area() == 0)
                return "the file is larger than " + std::to_string(kMaxPictureFileBytes >> 20) +
                       " MiB, more than a picture's limit";
            return (kind == MediaKind::Video ? "the video's frames have " : "the picture has ") +
                   std::to_string(size.width) + " x " + std::to_string(size.height) +
                   " pixels, more than the limit of " +
                   std::to_string(kMaxPicturePixels / 1'000'000) + " megapixels";
        case PictureStatus::SeveralPages:
            return "a TIFF of several pages; only single-page TIFF pictures are read";
        case PictureStatus::OutOfMemory:
            return "out of memory while decoding the " + what;
        default:
            return "cannot read the " + what;
    }
}

// The analysis settings of one input: a canal minimum in mm² holds for the inputs with a scale
// (the others keep the pixels); the border and tooth minimum not given follow the input.
AnalysisSettings settingsFor(const BatchOptions& options, const BatchItem& item, cv::Size frame) {
    AnalysisSettings settings = options.analysis;
    if (options.minCanalMm2 && item.pxPerMm)
        settings.minCanalArea = *options.minCanalMm2 * *item.pxPerMm * *item.pxPerMm;
    const bool stack = item.kind == MediaKind::Stack;
    if (options.autoBorder)
        settings.border =
            stack ? 0 : std::min(settings.border, std::min(frame.width, frame.height) / 20);
    if (options.autoMinToothArea && stack) settings.minToothArea = kStackRegionFloorPx;
    return settings;
}

// The largest label a 16-bit label picture holds.
constexpr std::size_t kMaxLabel = UINT16_MAX;

// A file not written is named. For want of space (or beyond the file-size limit) the run
// stops, as it does when the table cannot be written: every further file would fail alike, and
// the record would call a run finished that left its pictures out.
void unwritten(const std::filesystem::path& path, UnitResult& result) {
    const int error = errno;
    if (error == ENOSPC || error == EFBIG)
        throw NoSpaceForOutput(path.string() + ": cannot be written (" + std::strerror(error) +
                               ")");
    result.problems.push_back(path.string() + ": cannot be written");
}

}  // namespace

FrameAnalyser::FrameAnalyser(const BatchOptions& o, const ColorClassifier& c, ThumbnailSample* t)
    : options(o), classifier(c), thumbnails(t) {
    setUp();
}

void FrameAnalyser::setUp() {
    analysis.emplace();
    labels.release();
}

UnitResult FrameAnalyser::analyse(const BatchItem& item, WorkUnit& unit) {
    UnitResult result;
    try {
        if (unit.readFailure) std::rethrow_exception(unit.readFailure);
        // A frame that cannot be read is named with its neighbours (RunProblems.h); a picture,
        // video or stack here.
        if (unit.unreadable && unit.frame < 0)
            result.problems.push_back(item.path + ": " +
                                      (unit.reason.empty()
                                           ? describe(unit.status, unit.size, unit.error, item.kind)
                                           : unit.reason));
        else if (!unit.unreadable && !unit.picture.empty())
            analyseFrame(item, unit, result);
    } catch (const NoSpaceForOutput&) {
        throw;
    } catch (const std::exception& e) {
        const auto* cvError = dynamic_cast<const cv::Exception*>(&e);
        const bool outOfMemory = dynamic_cast<const std::bad_alloc*>(&e) ||
                                 (cvError && cvError->code == cv::Error::StsNoMem);
        std::string reason = e.what();
        reason.erase(reason.find_last_not_of(" \n") + 1);
        result = {};
        // A failure half-way (out of memory) can leave the buffers half-made: the next frame
        // starts afresh.
        setUp();
        result.problems.push_back(item.path +
                                  (unit.frame >= 0 ? ", frame " + std::to_string(unit.frame) : "") +
                                  (outOfMemory ? ": out of memory while analysing"
                                               : ": the analysis failed (" + reason + ")"));
    }
    return result;
}

void FrameAnalyser::analyseFrame(const BatchItem& item, WorkUnit& unit, UnitResult& result) {
    const int frame = unit.frame;
    const bool replay = unit.replay;
    cv::Mat& picture = unit.picture;
    analysis->setSettings(settingsFor(options, item, picture.size()));
    const FrameResult& frameResult = analysis->calculate(picture, classifier);
    // The labels are painted once, for a stack's section and for the mask alike.
    const bool stack = item.kind == MediaKind::Stack;
    if (stack || (options.masks && !replay)) analysis->paintLabels(labels);
    if (stack) {
        result.section = sectionOfLabels(frameResult, labels);
        result.teethLeftOut = frameResult.teethLeftOut > 0;
    }
    const bool video = frame >= 0;
    if (!replay) {
        result.rows = frameRows(utf8Text(item.path), frame, frameResult, analysis->measureShapes(),
                                options.millimetres(), item.pxPerMm);
        std::error_code ec;
        std::filesystem::create_directories(item.outputBase.parent_path(), ec);
        if (!video || options.texts) {
            const auto text = outputPath(item, Output::Text, frame);
            errno = 0;
            if (!saveRecognitionData(text.string(), frameResult, Durability::Deferred))
                unwritten(text, result);
        }
        std::size_t labelCount = 0;  // the teeth and their canals
        for (const ToothFinding* tooth : frameResult.teeth())
            labelCount += 1 + tooth->canals.size();
        if (options.masks && labelCount > kMaxLabel) {
            result.problems.push_back(outputPath(item, Output::Labels, frame).string() + ": " +
                                      std::to_string(labelCount) +
                                      " teeth and canals do not fit a 16-bit label picture (at "
                                      "most " +
                                      std::to_string(kMaxLabel) + "); none is written");
        } else if (options.masks) {
            save(item, Output::Labels, frame, labels, result);
        }
    }
    const bool movie = video && options.overlays == Overlays::Video;
    if (options.overlays == Overlays::None || (replay && !movie)) return;
    drawResultOverlay(picture, frameResult);  // the frame is ours, and needed no more
    const bool nothingFound = !frameResult.toothFound || frameResult.canals.empty();
    errno = 0;
    if (thumbnails && !replay && thumbnails->wants(item, frame, unit.seq, nothingFound) &&
        !thumbnails->save(item, frame, picture))
        unwritten(thumbnails->pathOf(item, frame), result);
    if (movie) {
        if (!cv::imencode(".jpg", picture, result.movieFrame,
                          {cv::IMWRITE_JPEG_QUALITY, kMovieQuality}))
            result.problems.push_back(outputPath(item, Output::Movie).string() + ", frame " +
                                      std::to_string(frame) + ": cannot be encoded");
        result.frameSize = picture.size();
    } else {
        save(item, options.overlays == Overlays::Png ? Output::PngOverlay : Output::JpegOverlay,
             frame, picture, result);
    }
}

void FrameAnalyser::save(const BatchItem& item, Output output, int frame, const cv::Mat& picture,
                         UnitResult& result) {
    const auto path = outputPath(item, output, frame);
    errno = 0;
    if (!savePicture(path.string(), picture, Durability::Deferred)) unwritten(path, result);
}

}  // namespace quendra
