#include "report/ReportHistogram.h"

#include <algorithm>
#include <cmath>

#include "report/ReportText.h"

namespace quendra {

namespace {

// The picture's geometry in SVG user units.
constexpr double kWidth = 320, kHeight = 150;
constexpr double kLeft = 46, kRight = 24, kTop = 14, kBottom = 38;
constexpr int kTargetTicks = 5;
constexpr std::size_t kMinValuesToClip = 200;

// A round step (1, 2, 2.5 or 5 times a power of ten) that cuts `span` into about
// kTargetTicks parts.
double roundStep(double span) {
    if (!(span > 0)) return 1;
    const double raw = span / kTargetTicks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 2.5, 5.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

// Decimals that show every multiple of `step` exactly (2.5 needs one more than 2).
int decimalsOf(double step) {
    int decimals = 0;
    while (decimals < 6 && std::fabs(step * std::pow(10.0, decimals) -
                                     std::round(step * std::pow(10.0, decimals))) > 1e-9)
        ++decimals;
    return decimals;
}

std::string coordinate(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", v);
    return text;
}

}  // namespace

HistogramScale histogramScale(const std::vector<const std::vector<double>*>& sets, bool fromZero) {
    std::vector<double> all;
    for (const auto* set : sets)
        for (const double v : *set)
            if (std::isfinite(v)) all.push_back(v);
    HistogramScale scale;
    if (all.empty()) return scale;
    const auto [lowest, highest] = std::minmax_element(all.begin(), all.end());
    const double smallest = *lowest, largest = *highest;
    // Few values are all shown; among many, the top half percent may be outliers.
    double top = largest;
    if (all.size() >= kMinValuesToClip) {
        const auto at =
            all.begin() + static_cast<std::ptrdiff_t>(0.995 * static_cast<double>(all.size() - 1));
        std::nth_element(all.begin(), at, all.end());
        top = *at;
    }
    const double from = fromZero ? std::min(0.0, smallest) : smallest;
    const double step = roundStep(top - from);
    const double low = std::floor(from / step) * step;
    double high = std::ceil(top / step) * step;
    if (high <= top) high += step;  // the largest value counted lies inside the scale
    scale.low = low;
    scale.high = high;
    scale.tickStep = step;
    scale.clipped = largest >= high;
    return scale;
}

std::vector<std::size_t> histogramCounts(const std::vector<double>& values,
                                         const HistogramScale& scale) {
    std::vector<std::size_t> counts(static_cast<std::size_t>(scale.bins), 0);
    const double width = (scale.high - scale.low) / scale.bins;
    for (const double v : values) {
        if (!std::isfinite(v)) continue;
        const double bin = std::floor((v - scale.low) / width);
        ++counts[static_cast<std::size_t>(std::clamp(bin, 0.0, scale.bins - 1.0))];
    }
    return counts;
}

std::string histogramSvg(const std::vector<std::size_t>& counts, const HistogramScale& scale,
                         const std::string& unit, const std::string& label) {
    const double plotW = kWidth - kLeft - kRight, plotH = kHeight - kTop - kBottom;
    const std::size_t most = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
    const double bottom = kTop + plotH;
    const auto x = [&](double v) {
        return kLeft + (v - scale.low) / (scale.high - scale.low) * plotW;
    };
    std::string svg = "<svg class=\"hist\" viewBox=\"0 0 " + coordinate(kWidth) + " " +
                      coordinate(kHeight) + "\" role=\"img\" aria-label=\"" + markupText(label) +
                      "\">";
    const double barW = plotW / static_cast<double>(counts.size());
    const int decimals = decimalsOf(scale.tickStep);
    const double binW = (scale.high - scale.low) / static_cast<double>(counts.size());
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] == 0) continue;
        const double h =
            most ? plotH * static_cast<double>(counts[i]) / static_cast<double>(most) : 0;
        const double from = scale.low + binW * static_cast<double>(i);
        const bool last = i + 1 == counts.size() && scale.clipped;
        svg += "<rect x=\"" + coordinate(kLeft + barW * static_cast<double>(i) + 0.5) + "\" y=\"" +
               coordinate(bottom - h) + "\" width=\"" + coordinate(barW - 1) + "\" height=\"" +
               coordinate(h) + "\"><title>" + germanNumber(from, decimals + 1) +
               (last ? " und mehr" : " bis " + germanNumber(from + binW, decimals + 1)) + ": " +
               germanCount(counts[i]) + "</title></rect>";
    }
    svg += "<line class=\"axis\" x1=\"" + coordinate(kLeft) + "\" y1=\"" + coordinate(bottom) +
           "\" x2=\"" + coordinate(kLeft + plotW) + "\" y2=\"" + coordinate(bottom) + "\"/>";
    svg += "<line class=\"axis\" x1=\"" + coordinate(kLeft) + "\" y1=\"" + coordinate(kTop) +
           "\" x2=\"" + coordinate(kLeft) + "\" y2=\"" + coordinate(bottom) + "\"/>";
    svg += "<text x=\"" + coordinate(kLeft - 4) + "\" y=\"" + coordinate(kTop + 4) +
           "\" text-anchor=\"end\">" + germanCount(most) + "</text>";
    svg += "<text x=\"" + coordinate(kLeft - 4) + "\" y=\"" + coordinate(bottom) +
           "\" text-anchor=\"end\">0</text>";
    const int ticks = static_cast<int>(std::round((scale.high - scale.low) / scale.tickStep));
    for (int t = 0; t <= ticks; ++t) {
        const double v = scale.low + t * scale.tickStep;
        svg += "<line class=\"tick\" x1=\"" + coordinate(x(v)) + "\" y1=\"" + coordinate(bottom) +
               "\" x2=\"" + coordinate(x(v)) + "\" y2=\"" + coordinate(bottom + 4) + "\"/>";
        svg += "<text x=\"" + coordinate(x(v)) + "\" y=\"" + coordinate(bottom + 17) +
               "\" text-anchor=\"middle\">" + germanNumber(v, decimals) +
               (t == ticks && scale.clipped ? "+" : "") + "</text>";
    }
    svg += "<text x=\"" + coordinate(kLeft + plotW / 2) + "\" y=\"" + coordinate(kHeight - 4) +
           "\" text-anchor=\"middle\" class=\"unit\">" + markupText(unit) + "</text></svg>";
    return svg;
}

}  // namespace quendra
