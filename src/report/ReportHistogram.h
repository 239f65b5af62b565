#pragma once

// Histograms of the report page as inline SVG: one scale shared by every tooth type of a
// measure, so that their bars can be compared, with round tick values.

#include <cstddef>
#include <string>
#include <vector>

namespace quendra {

// Equal bins from `low` to `high`; values below `low` count in the first bin, values at or
// above `high` in the last (with 200 values and more the scale stops at a round value just above
// the 99.5th percentile, so that a few outliers do not squeeze the rest into one bar).
struct HistogramScale {
    double low = 0, high = 1;
    double tickStep = 0.5;  // a round step: 1, 2, 2.5 or 5 times a power of ten
    int bins = 20;
    bool clipped = false;  // some value lies at or above `high`
};

// The scale for every value of every set; from 0 when `fromZero`, else from a round value
// at or below the smallest. An empty input gives the default scale.
HistogramScale histogramScale(const std::vector<const std::vector<double>*>& sets, bool fromZero);

// How many values fall into each bin of `scale`; non-finite values are left out.
std::vector<std::size_t> histogramCounts(const std::vector<double>& values,
                                         const HistogramScale& scale);

// An SVG picture of the counts with its axis: ticks labelled with the decimal comma, `unit`
// under the axis, the largest count at the top; `label` names it for screen readers.
std::string histogramSvg(const std::vector<std::size_t>& counts, const HistogramScale& scale,
                         const std::string& unit, const std::string& label);

}  // namespace quendra
