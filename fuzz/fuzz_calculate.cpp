// The whole analysis of a small arbitrary frame under arbitrary settings (negative and huge
// ones included), then the overlay and the recognition text.

#include <sstream>

#include "FuzzInput.h"
#include "analysis/ToothAnalysis.h"
#include "overlay/RecognitionData.h"
#include "overlay/ResultOverlay.h"

namespace {

// Classes on a coarse colour grid: bright colours are enamel, reddish ones gum.
quendra::ColorClassifier gridClassifier() {
    std::vector<quendra::PackedSample> samples;
    for (int r = 0; r < 256; r += 8)
        for (int g = 0; g < 256; g += 8)
            for (int b = 0; b < 256; b += 8) {
                const unsigned cls = b + g + r > 450 ? 1 : r > b + 40 ? 2 : 0;
                if (cls)
                    samples.push_back(quendra::packSample(
                        cls, static_cast<quendra::ColorKey>(r << 16 | g << 8 | b)));
            }
    return quendra::classifierOf(std::move(samples));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Made once: the class cache carries over from frame to frame, as in the window.
    static const quendra::ColorClassifier classifier = gridClassifier();
    static quendra::ToothAnalysis analysis;
    FuzzInput in(data, size);
    quendra::AnalysisSettings settings;
    settings.threshold = in.take<int>();
    settings.border = in.take<int>();
    settings.filter = in.take<int>();
    settings.classThreshold = in.take<int>();
    analysis.setSettings(settings);
    const int width = in.takeIn(1, 64), height = in.takeIn(1, 64);
    cv::Mat frame(height, width, CV_8UC3, cv::Scalar(230, 230, 230));
    std::memcpy(frame.data, in.rest(), std::min(in.remaining(), frame.total() * 3));
    const quendra::FrameResult& result = analysis.calculate(frame, classifier);
    if (result.hasResults == result.canals.empty()) __builtin_trap();
    cv::Mat overlay = frame.clone();
    quendra::drawResultOverlay(overlay, result);
    std::ostringstream text;
    if (result.hasResults) quendra::writeRecognitionData(text, result.tooth, result.canals);
    return 0;
}
