#include "analysis/CanalMeasures.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

namespace quendra {

namespace {

// The count most of the slices show, the larger on a tie.
int mostShown(std::vector<int>::const_iterator begin, std::vector<int>::const_iterator end) {
    std::map<int, int> shown;
    for (auto it = begin; it != end; ++it) ++shown[*it];
    int best = 0, times = 0;
    for (const auto& [count, slices] : shown)
        if (slices >= times) best = count, times = slices;
    return best;
}

}  // namespace

CanalMeasure measureCanal(const CanalRun& canal, std::optional<double> pxPerMm,
                          std::optional<double> sliceMm) {
    CanalMeasure m;
    if (canal.sections.empty()) return m;
    m.firstSlice = canal.sections.front().slice;
    m.lastSlice = canal.sections.back().slice;
    m.diameterMinPx = INFINITY;
    double shiftSum = 0;  // in-plane path length, with the slice distance, in mm
    for (std::size_t i = 0; i < canal.sections.size(); ++i) {
        const CanalSection& s = canal.sections[i];
        m.volumeVoxels += s.areaPx;
        const double diameter = 2 * std::sqrt(static_cast<double>(s.areaPx) / std::numbers::pi);
        m.diameterMinPx = std::min(m.diameterMinPx, diameter);
        m.diameterMaxPx = std::max(m.diameterMaxPx, diameter);
        m.diameterMeanPx += diameter / static_cast<double>(canal.sections.size());
        if (i > 0 && pxPerMm && sliceMm) {
            const cv::Point2d shift = (s.centroidPx - canal.sections[i - 1].centroidPx) / *pxPerMm;
            const double slices = s.slice - canal.sections[i - 1].slice;
            shiftSum += std::hypot(shift.x, shift.y, slices * *sliceMm);
        }
    }
    if (!pxPerMm) return m;
    m.diameterMinMm = m.diameterMinPx / *pxPerMm;
    m.diameterMeanMm = m.diameterMeanPx / *pxPerMm;
    m.diameterMaxMm = m.diameterMaxPx / *pxPerMm;
    if (!sliceMm) return m;
    m.lengthMm = shiftSum + *sliceMm;
    m.volumeMm3 = static_cast<double>(m.volumeVoxels) / (*pxPerMm * *pxPerMm) * *sliceMm;
    return m;
}

std::string fourDigitCode(const std::vector<int>& coronalFirst) {
    const auto shows = [](int c) { return c > 0; };
    const auto first = std::find_if(coronalFirst.begin(), coronalFirst.end(), shows);
    if (first == coronalFirst.end()) return {};
    const auto last = std::find_if(coronalFirst.rbegin(), coronalFirst.rend(), shows).base();
    const auto n = last - first;
    std::string code;
    for (int third = 0; third < 3; ++third) {
        const auto begin = first + n * third / 3,
                   end = third == 2 ? last : first + n * (third + 1) / 3;
        code += std::to_string(begin < end ? mostShown(begin, end) : *std::prev(last)) + "-";
    }
    return code + std::to_string(*std::prev(last));
}

}  // namespace quendra
