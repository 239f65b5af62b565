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

// Where the plot puts a slice and a canal count: slice s spans s - 0.5 to s + 0.5, a count c
// sits at its level.
struct ProfilePlot {
    int slices;  // at least 1
    int most;    // the most canals of any slice, at least 1
    static constexpr double width = kWidth - kLeft - kRight;
    static constexpr double bottom = kTop + kPlotHeight;

    double x(double slice) const { return kLeft + (slice - 0.5) / slices * width; }
    double y(double count) const { return bottom - count * (kPlotHeight / (most + 0.5)); }
};

// The slices between ticks: a round step that leaves at most ten.
int tickStep(int slices) {
    for (const int s : {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000})
        if (slices / s <= 10) return s;
    return 1;
}

// Axes, the count levels with grid lines, slice ticks at round steps, and the axes' names.
void writeAxes(std::ostream& svg, const ProfilePlot& plot, bool apexFirst) {
    const double bottom = plot.bottom;
    svg << "<g stroke=\"#444\" fill=\"none\">"
        << "<line x1=\"" << kLeft << "\" y1=\"" << bottom << "\" x2=\"" << kLeft + plot.width
        << "\" y2=\"" << bottom << "\"/>"
        << "<line x1=\"" << kLeft << "\" y1=\"" << bottom << "\" x2=\"" << kLeft << "\" y2=\""
        << kTop << "\"/></g>\n";
    for (int c = 0; c <= plot.most; ++c)
        svg << "<line x1=\"" << kLeft << "\" y1=\"" << plot.y(c) << "\" x2=\"" << kLeft + plot.width
            << "\" y2=\"" << plot.y(c) << "\" stroke=\"#ddd\"/>"
            << "<text x=\"" << kLeft - 8 << "\" y=\"" << plot.y(c) + 4 << "\" text-anchor=\"end\">"
            << c << "</text>\n";
    const int step = tickStep(plot.slices);
    for (int s = 1; s <= plot.slices; s = (s == 1 && step > 1) ? step : s + step)
        svg << "<line x1=\"" << plot.x(s) << "\" y1=\"" << bottom << "\" x2=\"" << plot.x(s)
            << "\" y2=\"" << bottom + 5 << "\" stroke=\"#444\"/><text x=\"" << plot.x(s)
            << "\" y=\"" << bottom + 19 << "\" text-anchor=\"middle\">" << s << "</text>\n";
    svg << "<text x=\"" << kLeft + plot.width / 2 << "\" y=\"" << bottom + 38
        << "\" text-anchor=\"middle\">Schicht</text>\n"
        << "<text x=\"" << kLeft << "\" y=\"" << bottom + 38 << "\" font-style=\"italic\">"
        << (apexFirst ? "apikal" : "koronal") << "</text>\n"
        << "<text x=\"" << kLeft + plot.width << "\" y=\"" << bottom + 38
        << "\" text-anchor=\"end\" font-style=\"italic\">" << (apexFirst ? "koronal" : "apikal")
        << "</text>\n"
        << "<text transform=\"translate(20 " << kTop + kPlotHeight / 2
        << ") rotate(-90)\" text-anchor=\"middle\">Kanäle</text>\n";
}

// The root's step line, lifted by `up` counts, and its line `index` of the legend.
void writeRoot(std::ostream& svg, const ProfilePlot& plot, const RootConfiguration& root,
               std::size_t index, double up) {
    const char* colour = kPalette[index % kPalette.size()];
    svg << "<polyline data-root=\"" << root.root << "\" fill=\"none\" stroke=\"" << colour
        << "\" stroke-width=\"2\" points=\"";
    for (std::size_t k = 0; k < root.canalCounts.size(); ++k) {
        const double s = root.firstSlice + static_cast<double>(k);
        const double y = plot.y(root.canalCounts[k] + up);
        svg << plot.x(s - 0.5) << "," << y << " " << plot.x(s + 0.5) << "," << y << " ";
    }
    svg << "\"/>\n";
    const double ly = plot.bottom + 56 + kLegendLine * static_cast<double>(index);
    svg << "<line x1=\"" << kLeft << "\" y1=\"" << ly - 4 << "\" x2=\"" << kLeft + 24 << "\" y2=\""
        << ly - 4 << "\" stroke=\"" << colour << "\" stroke-width=\"2\"/>"
        << "<text x=\"" << kLeft + 32 << "\" y=\"" << ly << "\">Wurzel " << root.root
        << ", Schichten " << root.firstSlice << " bis " << root.lastSlice << ": "
        << root.configuration
        << (root.vertucci.empty() ? std::string(" (kein Vertucci-Typ)")
                                  : " (Vertucci " + root.vertucci + ")")
        << "</text>\n";
}

}  // namespace

std::string canalProfileSvg(const std::string& stack, const std::vector<RootConfiguration>& roots,
                            int slices, bool apexFirst) {
    int most = 1;
    for (const RootConfiguration& root : roots)
        for (const int c : root.canalCounts) most = std::max(most, c);
    const ProfilePlot plot{std::max(slices, 1), most};
    const double rootLines = static_cast<double>(std::max<std::size_t>(roots.size(), 1));
    const double height = plot.bottom + 56 + kLegendLine * rootLines;
    // Each root's line a little above the one before, so that equal counts stay visible.
    const double lift = std::min(0.08, 0.3 / rootLines);

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
    writeAxes(svg, plot, apexFirst);
    for (std::size_t i = 0; i < roots.size(); ++i)
        writeRoot(svg, plot, roots[i], i, lift * static_cast<double>(i));
    if (roots.empty())
        svg << "<text x=\"" << kLeft << "\" y=\"" << plot.bottom + 56
            << "\">no root found</text>\n";
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
