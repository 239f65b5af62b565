#include "overlay/ResultOverlay.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <vector>

#include "analysis/ToothType.h"

namespace quendra {

namespace {

const cv::Scalar kRed(0, 0, 255, 0);
const cv::Scalar kGreen(0, 255, 0, 0);
const cv::Scalar kWhite(255, 255, 255, 0);
constexpr int kFont = cv::FONT_HERSHEY_PLAIN;
constexpr double kFontScale = 0.8;
// Far larger than any frame; keeps absurd settings from overflowing the drawing code.
constexpr int kMaxCoordinate = 1 << 20;

// A semi-axis truncated toward zero for drawing: never negative or NaN, which cv::ellipse
// refuses by throwing.
int drawnAxis(float length) {
    if (!(length > 0.0f)) return 0;
    return static_cast<int>(std::min(length, static_cast<float>(kMaxCoordinate)));
}

int drawnCoordinate(long long v) {
    return static_cast<int>(std::clamp<long long>(v, -kMaxCoordinate, kMaxCoordinate));
}

void drawEllipse(cv::Mat& picture, cv::Point centre, float minor, float major, float angle,
                 const cv::Scalar& colour) {
    cv::ellipse(picture, centre, cv::Size(drawnAxis(minor), drawnAxis(major)), angle, 0, 360,
                colour, 1, cv::LINE_8, 0);
}

void drawText(cv::Mat& picture, const std::string& text, cv::Point origin,
              const cv::Scalar& colour) {
    cv::putText(picture, text, origin, kFont, kFontScale, colour, 1, cv::LINE_8);
}

// Where the texts go. Each tooth's texts stand where its own drawing puts them; with several
// teeth, the labels of neighbouring roots would run into each other, so a text that would
// cover one placed before goes below it, as often as it takes.
class TextPlaces {
public:
    explicit TextPlaces(bool separating) : separate(separating) {}

    cv::Point place(const std::string& text, cv::Point origin) {
        if (!separate) return origin;
        int baseline = 0;
        const cv::Size size = cv::getTextSize(text, kFont, kFontScale, 1, &baseline);
        cv::Rect box(origin.x, origin.y - size.height, size.width, size.height + baseline);
        for (bool moved = true; moved;) {  // each move goes below a box: it ends
            moved = false;
            for (const cv::Rect& earlier : taken)
                if ((box & earlier).area() > 0) {
                    box.y = earlier.y + earlier.height + 1;
                    moved = true;
                }
        }
        taken.push_back(box);
        return {box.x, box.y + size.height};
    }

private:
    bool separate;
    std::vector<cv::Rect> taken;
};

void drawCanal(cv::Mat& picture, const CanalResult& c, TextPlaces& places) {
    const cv::Point centre(c.centerX, c.centerY);
    drawEllipse(picture, centre, c.minorAxis, c.majorAxis, c.angle, kRed);
    const std::string label = "Groesse: " + formatFloat(c.area) + "px";
    drawText(picture, label, places.place(label, centre + cv::Point(10, -10)), kGreen);
}

}  // namespace

std::string formatFloat(float value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

void drawResultOverlay(cv::Mat& picture, const FrameResult& result) {
    const long long border = result.settings.border;
    cv::rectangle(
        picture, cv::Point(drawnCoordinate(border), drawnCoordinate(border)),
        cv::Point(drawnCoordinate(picture.cols - border), drawnCoordinate(picture.rows - border)),
        kRed, 1, cv::LINE_8, 0);
    if (!result.hasResults) return;

    const float k = result.settings.ellipseRadius();
    const std::vector<const ToothFinding*> teeth = result.teeth();
    TextPlaces places(teeth.size() > 1);
    for (const ToothFinding* finding : teeth) {
        if (finding->canals.empty()) continue;
        for (const CanalResult& canal : finding->canals) drawCanal(picture, canal, places);
        const ToothResult& tooth = finding->tooth;
        const cv::Point centre(tooth.centerX, tooth.centerY);
        const char* type = toothTypeText(tooth.toothType);
        drawText(picture, type, places.place(type, centre), kWhite);
        drawEllipse(picture, centre, k * tooth.minorAxis, k * tooth.majorAxis, tooth.angle, kGreen);
        drawEllipse(picture, centre, tooth.minorAxis, tooth.majorAxis, tooth.angle, kWhite);
    }
}

}  // namespace quendra
