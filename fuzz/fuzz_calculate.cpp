// The whole analysis of a small arbitrary frame under arbitrary settings (negative and huge
// ones included), then the overlay and the recognition text.

#include <fstream>
#include <sstream>
#include <unistd.h>

#include "FuzzInput.h"
#include "analysis/ToothAnalysis.h"
#include "colour/ColorClasses.h"
#include "report/RecognitionData.h"
#include "report/ResultOverlay.h"

namespace {

// Classes on a coarse colour grid: bright colours are enamel, reddish ones gum. Loaded once:
// the tables are 48 MiB, and the class cache carries over from frame to frame as in the window.
quendra::ColorClasses& loadedClasses() {
    static quendra::ColorClasses classes;
    static const bool loaded = [] {
        const std::string path = "/tmp/quendra-fuzz-classes-" + std::to_string(::getpid()) + ".dat";
        std::ofstream out(path, std::ios::binary);
        for (int r = 0; r < 256; r += 8)
            for (int g = 0; g < 256; g += 8)
                for (int b = 0; b < 256; b += 8) {
                    const char cls = b + g + r > 450 ? 1 : r > b + 40 ? 2 : 0;
                    if (cls) out << static_cast<char>(b) << static_cast<char>(g) << static_cast<char>(r) << cls;
                }
        out.close();
        return classes.load(path) == quendra::ClassFileStatus::Ok;
    }();
    if (!loaded) __builtin_trap();
    return classes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quendra::ColorClasses& classes = loadedClasses();
    FuzzInput in(data, size);
    quendra::ToothAnalysis analysis;
    analysis.setThreshold(in.take<int>());
    analysis.setBorder(in.take<int>());
    analysis.setEllipseRadius(in.take<int>());
    classes.setLutThreshold(in.take<int>());
    const int width = in.takeIn(1, 64), height = in.takeIn(1, 64);
    cv::Mat frame(height, width, CV_8UC3, cv::Scalar(230, 230, 230));
    std::memcpy(frame.data, in.rest(), std::min(in.remaining(), frame.total() * 3));
    analysis.calculate(frame, classes);
    if (analysis.hasResults() == analysis.getCanals().empty()) __builtin_trap();
    cv::Mat overlay = frame.clone();
    quendra::drawResultOverlay(overlay, analysis);
    std::ostringstream text;
    if (analysis.hasResults())
        quendra::writeRecognitionData(text, analysis.getToothResult(), analysis.getCanals());
    return 0;
}
