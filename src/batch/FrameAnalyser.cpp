#include "batch/FrameAnalyser.h"

#include <opencv2/imgcodecs.hpp>

#include "batch/BatchTable.h"
#include "io/PictureFile.h"
#include "report/RecognitionData.h"
#include "report/ResultOverlay.h"

namespace quendra {

namespace {

// JPEG quality of the movies' frames: lines of one pixel stay sharp, and a frame is encoded in
// a few milliseconds.
constexpr int kMovieQuality = 90;

std::string describe(PictureStatus status, cv::Size size) {
    switch (status) {
        case PictureStatus::NotAFile:
            return "not a regular file";
        case PictureStatus::TooLarge:
            return "the picture has " + std::to_string(size.width) + " x " +
                   std::to_string(size.height) + " pixels, more than the limit of " +
                   std::to_string(kMaxPicturePixels / 1'000'000) + " megapixels";
        default:
            return "cannot read the picture";
    }
}

}  // namespace

FrameAnalyser::FrameAnalyser(const BatchOptions& o, const ColorClassifier& c)
    : options(o), classifier(c) {
    analysis.setSettings(o.analysis);
}

UnitResult FrameAnalyser::analyse(const BatchItem& item, WorkUnit& unit) {
    UnitResult result;
    try {
        if (unit.frame >= 0) {
            if (!unit.unreadable) analyseFrame(item, unit.frame, unit.picture, unit.replay, result);
        } else if (item.kind == MediaKind::Video) {
            if (unit.unreadable) result.problems.push_back(item.path + ": cannot read the video");
        } else {
            PictureRead read = readPicture(item.path);
            if (read.status == PictureStatus::Ok)
                analyseFrame(item, -1, read.picture, false, result);
            else
                result.problems.push_back(item.path + ": " + describe(read.status, read.size));
        }
    } catch (const std::exception& e) {
        std::string reason = e.what();
        reason.erase(reason.find_last_not_of(" \n") + 1);
        result = {};
        result.problems.push_back(item.path +
                                  (unit.frame >= 0 ? ", frame " + std::to_string(unit.frame) : "") +
                                  ": the analysis failed (" + reason + ")");
    }
    return result;
}

void FrameAnalyser::analyseFrame(const BatchItem& item, int frame, cv::Mat& picture, bool replay,
                                 UnitResult& result) {
    // A canal minimum in mm² holds for the inputs with a scale; the others keep the pixels.
    AnalysisSettings settings = options.analysis;
    if (options.minCanalMm2 && item.pxPerMm)
        settings.minCanalArea = *options.minCanalMm2 * *item.pxPerMm * *item.pxPerMm;
    analysis.setSettings(settings);
    const FrameResult& frameResult = analysis.calculate(picture, classifier);
    const bool video = frame >= 0;
    if (!replay) {
        result.rows = frameRows(utf8Text(item.path), frame, frameResult, analysis.measureShapes(),
                                options.millimetres(), item.pxPerMm);
        std::error_code ec;
        std::filesystem::create_directories(item.outputBase.parent_path(), ec);
        if (!video || options.texts) {
            const auto text = outputPath(item, Output::Text, frame);
            if (!saveRecognitionData(text.string(), frameResult, Durability::Deferred))
                result.problems.push_back(text.string() + ": cannot be written");
        }
        if (options.masks) {
            analysis.paintLabels(labels);
            save(item, Output::Labels, frame, labels, result);
        }
    }
    const bool movie = video && options.overlays == Overlays::Video;
    if (options.overlays == Overlays::None) return;
    drawResultOverlay(picture, frameResult);  // the frame is ours, and needed no more
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
    if (!savePicture(path.string(), picture, Durability::Deferred))
        result.problems.push_back(path.string() + ": cannot be written");
}

}  // namespace quendra
