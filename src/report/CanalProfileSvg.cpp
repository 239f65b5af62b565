#include "report/CanalProfileSvg.h"

#include <algorithm>
#include <array>
#include <sstream>

#include "report/MarkupText.h"

namespace quendra {

namespace {

constexpr std::array<const char*, 8> kPalette = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                                 "#E69F00", "#56B4E9", "#000000", "#F0E442"};
constexpr double kWidth = 760, kLeft = 64, kRight = 24, kTop = 48, kPlotHeight = 220;
constexpr double kLegendLine = 20;

}  // namespace

std::string canalProfileSvg(const std::string& stack, const std::vector<RootConfiguration>& roots,
                            int slices, bool apexFirst) {
    slices = std::max(slices, 1);
    int most = 1;
    for (const RootConfiguration& root : roots)
        for (const int c : root.canalCounts) most = std::max(most, c);
    const double plotWidth = kWidth - kLeft - kRight;
    const double bottom = kTop + kPlotHeight;
    const double height =
        bottom + 56 + kLegendLine * static_cast<double>(std::max<std::size_t>(roots.size(), 1));
    // Slice s spans s - 0.5 to s + 0.5; a count c sits at its level, lifted per root.
    const auto xOf = [&](double slice) { return kLeft + (slice - 0.5) / slices * plotWidth; };
    const double unit = kPlotHeight / (most + 0.5);
    const auto yOf = [&](double count) { return bottom - count * unit; };
    const double lift =
        std::min(0.08, 0.3 / static_cast<double>(std::max<std::size_t>(roots.size(), 1)));

    std::ostringstream svg;
    svg.imbue(std::locale::classic());
    svg.precision(6);
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\""
        << height << "\" viewBox=\"0 0 " << kWidth << " " << height
        << "\" font-family=\"sans-serif\" font-size=\"13\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"" << kLeft << "\" y=\"24\" font-size=\"16\" font-weight=\"bold\">"
        << markupText(stack) << ": Kanäle je Schicht</text>\n";

    // Axes, the count levels with grid lines, slice ticks at round steps.
    svg << "<g stroke=\"#444\" fill=\"none\">"
        << "<line x1=\"" << kLeft << "\" y1=\"" << bottom << "\" x2=\"" << kLeft + plotWidth
        << "\" y2=\"" << bottom << "\"/>"
        << "<line x1=\"" << kLeft << "\" y1=\"" << bottom << "\" x2=\"" << kLeft << "\" y2=\""
        << kTop << "\"/></g>\n";
    for (int c = 0; c <= most; ++c)
        svg << "<line x1=\"" << kLeft << "\" y1=\"" << yOf(c) << "\" x2=\"" << kLeft + plotWidth
            << "\" y2=\"" << yOf(c) << "\" stroke=\"#ddd\"/>"
            << "<text x=\"" << kLeft - 8 << "\" y=\"" << yOf(c) + 4 << "\" text-anchor=\"end\">"
            << c << "</text>\n";
    int step = 1;
    for (const int s : {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000})
        if (slices / s <= 10) {
            step = s;
            break;
        }
    for (int s = 1; s <= slices; s = (s == 1 && step > 1) ? step : s + step)
        svg << "<line x1=\"" << xOf(s) << "\" y1=\"" << bottom << "\" x2=\"" << xOf(s) << "\" y2=\""
            << bottom + 5 << "\" stroke=\"#444\"/><text x=\"" << xOf(s) << "\" y=\"" << bottom + 19
            << "\" text-anchor=\"middle\">" << s << "</text>\n";
    svg << "<text x=\"" << kLeft + plotWidth / 2 << "\" y=\"" << bottom + 38
        << "\" text-anchor=\"middle\">Schicht</text>\n"
        << "<text x=\"" << kLeft << "\" y=\"" << bottom + 38 << "\" font-style=\"italic\">"
        << (apexFirst ? "apikal" : "koronal") << "</text>\n"
        << "<text x=\"" << kLeft + plotWidth << "\" y=\"" << bottom + 38
        << "\" text-anchor=\"end\" font-style=\"italic\">" << (apexFirst ? "koronal" : "apikal")
        << "</text>\n"
        << "<text transform=\"translate(20 " << kTop + kPlotHeight / 2
        << ") rotate(-90)\" text-anchor=\"middle\">Kanäle</text>\n";

    for (std::size_t i = 0; i < roots.size(); ++i) {
        const RootConfiguration& root = roots[i];
        const char* colour = kPalette[i % kPalette.size()];
        const double up = lift * static_cast<double>(i);
        svg << "<polyline data-root=\"" << root.root << "\" fill=\"none\" stroke=\"" << colour
            << "\" stroke-width=\"2\" points=\"";
        for (std::size_t k = 0; k < root.canalCounts.size(); ++k) {
            const double s = root.firstSlice + static_cast<double>(k);
            const double y = yOf(root.canalCounts[k] + up);
            svg << xOf(s - 0.5) << "," << y << " " << xOf(s + 0.5) << "," << y << " ";
        }
        svg << "\"/>\n";
        const double ly = bottom + 56 + kLegendLine * static_cast<double>(i);
        svg << "<line x1=\"" << kLeft << "\" y1=\"" << ly - 4 << "\" x2=\"" << kLeft + 24
            << "\" y2=\"" << ly - 4 << "\" stroke=\"" << colour << "\" stroke-width=\"2\"/>"
            << "<text x=\"" << kLeft + 32 << "\" y=\"" << ly << "\">Wurzel " << root.root
            << ", Schichten " << root.firstSlice << " bis " << root.lastSlice << ": "
            << root.configuration
            << (root.vertucci.empty() ? std::string(" (kein Vertucci-Typ)")
                                      : " (Vertucci " + root.vertucci + ")")
            << "</text>\n";
    }
    if (roots.empty())
        svg << "<text x=\"" << kLeft << "\" y=\"" << bottom + 56 << "\">no root found</text>\n";
    svg << "</svg>\n";
    return svg.str();
}

bool saveCanalProfileSvg(const std::string& path, const std::string& stack,
                         const std::vector<RootConfiguration>& roots, int slices, bool apexFirst,
                         Durability durability) {
    const std::string svg = canalProfileSvg(stack, roots, slices, apexFirst);
    return writeFileReplacing(path, {svg.data(), svg.size()}, durability);
}

}  // namespace quendra
