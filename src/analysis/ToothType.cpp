#include "analysis/ToothType.h"

#include <cmath>

namespace quendra {

namespace {
// A tooth whose long semi-axis is less than this many times its short one counts as round.
constexpr float kRoundToothRatio = 1.5f;
// Three canals form a lower molar while the centroid quotient of toothTypeForThreeCanals
// stays below this.
constexpr float kLowerMolarQuotient = 2.0f;
}  // namespace

int toothTypeForOneCanal(ToothResult tooth, const std::vector<CanalResult>&) {
    const float q = tooth.majorAxis / tooth.minorAxis;
    return q < kRoundToothRatio ? ToothPremolar : ToothFront;
}

int toothTypeForThreeCanals(ToothResult, const std::vector<CanalResult>& canals) {
    const float x0 = static_cast<float>(canals[0].centerX),
                y0 = static_cast<float>(canals[0].centerY);
    const float x1 = static_cast<float>(canals[1].centerX),
                y1 = static_cast<float>(canals[1].centerY);
    const float x2 = static_cast<float>(canals[2].centerX),
                y2 = static_cast<float>(canals[2].centerY);

    const float gx = (x0 + x1 + x2) / 3, gy = (y0 + y1 + y2) / 3;
    const float d = x0 * y1 + x1 * y2 + x2 * y0 - x0 * y2 - x1 * y0 - x2 * y1;
    const float s0 = x0 * x0 + y0 * y0, s1 = x1 * x1 + y1 * y1, s2 = x2 * x2 + y2 * y2;
    const float cx = ((y1 - y2) * s0 + (y2 - y0) * s1 + (y0 - y1) * s2) * 0.5f / d;
    const float cy = ((x2 - x1) * s0 + (x0 - x2) * s1 + (x1 - x0) * s2) * 0.5f / d;
    const float r = std::sqrt((cx - x1) * (cx - x1) + (cy - y1) * (cy - y1));
    const float len = std::sqrt((cx - gx) * (cx - gx) + (cy - gy) * (cy - gy));
    const float ux = (cx - gx) / len;  // only x-coordinates enter the quotient
    const float ax = cx + r * ux;
    const float bx = cx - r * ux;
    const float q = ((gx - ax) / (bx - gx)) / ((cx - ax) / (bx - cx));
    // Every undefined quotient (NaN) fails the comparison and gives the upper molar.
    return q < kLowerMolarQuotient ? ToothLowerMolar : ToothUpperMolar;
}

bool canalsDecideType(std::size_t canals) {
    return canals >= 1 && canals <= 4;
}

int decideToothType(const ToothResult& tooth, const std::vector<CanalResult>& canals) {
    if (!canalsDecideType(canals.size())) return ToothUnknown;
    switch (canals.size()) {
        case 1:
            return toothTypeForOneCanal(tooth, canals);
        case 2:
            return ToothUpperPremolar4;
        case 3:
            return toothTypeForThreeCanals(tooth, canals);
        default:  // four
            return ToothUpperMolar;
    }
}

const char* toothTypeText(int toothType) {
    switch (toothType) {
        case ToothFront:
            return "Frontzahn";
        case ToothUpperPremolar4:
            return "4er OK-Praemolar";
        case ToothPremolar:
            return "5er OK- oder UK-Praemolar oder 4er UK-Praemolar";
        case ToothUpperMolar:
            return "OK-Molar";
        case ToothLowerMolar:
            return "UK-Molar";
        default:
            return "Zahn nicht erkannt.";
    }
}

}  // namespace quendra
