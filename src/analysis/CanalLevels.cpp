#include "analysis/CanalLevels.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace quendra {

namespace {

// The slices from the apical end slice to the level's slice; beyond `span`, span + 1.
int slicesFromApex(double mm, double sliceMm, int span) {
    const double steps = std::round(mm / sliceMm * 1e9) / 1e9;
    if (!(steps < span + 1)) return span + 1;
    return static_cast<int>(std::floor(steps + 0.5));
}

bool isPositiveFinite(double value) {
    return value > 0 && std::isfinite(value);
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::vector<RootLevel> rootLevels(const RootConfiguration& root,
                                  const std::vector<CanalRun>& canals,
                                  const std::vector<double>& levelsMm, double sliceMm,
                                  bool apexFirst) {
    if (!isPositiveFinite(sliceMm))
        throw std::invalid_argument("rootLevels: the slice distance must be positive and finite");
    if (root.firstSlice < 1 || root.lastSlice < root.firstSlice)
        throw std::invalid_argument("rootLevels: the root has no slices");
    if (!std::all_of(levelsMm.begin(), levelsMm.end(), isPositiveFinite))
        throw std::invalid_argument("rootLevels: levels must be positive and finite");
    const int span = root.lastSlice - root.firstSlice;
    const int apex = apexFirst ? root.firstSlice : root.lastSlice;
    const int towardCrown = apexFirst ? 1 : -1;
    std::vector<RootLevel> levels;
    for (const double mm : levelsMm) {
        RootLevel level;
        level.mm = mm;
        const int steps = slicesFromApex(mm, sliceMm, span);
        if (steps <= span) level.slice = apex + towardCrown * steps;
        for (const CanalRun& canal : canals) {
            if (!level.slice || canal.root != root.root) continue;
            const auto at = std::find_if(
                canal.sections.begin(), canal.sections.end(),
                [&](const CanalSection& section) { return section.slice == *level.slice; });
            if (at != canal.sections.end()) level.canals.push_back({canal.number, at->label});
        }
        std::sort(level.canals.begin(), level.canals.end(),
                  [](const CanalAtLevel& a, const CanalAtLevel& b) { return a.canal < b.canal; });
        levels.push_back(std::move(level));
    }
    return levels;
}

ParsedLevels parseLevels(const std::string& text) {
    ParsedLevels parsed;
    std::vector<double> levels;
    std::size_t from = 0;
    for (int n = 1;; ++n) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        const std::string item = trimmed(text.substr(from, comma - from));
        const std::string which = "level " + std::to_string(n);
        double mm = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), mm);
        if (n > kMaxLevels)
            parsed.error = "more than " + std::to_string(kMaxLevels) + " levels";
        else if (item.empty())
            parsed.error = which + " is empty";
        else if (error != std::errc() || end != item.data() + item.size() || !std::isfinite(mm))
            parsed.error = which + " (\"" + item + "\") is no number of millimetres";
        else if (mm <= 0)
            parsed.error = which + " (\"" + item + "\") is not above 0 mm";
        else if (const auto same = std::find(levels.begin(), levels.end(), mm);
                 same != levels.end())
            parsed.error = which + " (\"" + item + "\") repeats level " +
                           std::to_string(same - levels.begin() + 1);
        if (!parsed.error.empty()) return parsed;
        levels.push_back(mm);
        if (comma == text.size()) break;
        from = comma + 1;
    }
    parsed.mm = std::move(levels);
    return parsed;
}

std::vector<std::vector<int>> canalNumbersBySlice(const std::vector<CanalRun>& canals, int slices) {
    if (slices < 0) throw std::invalid_argument("canalNumbersBySlice: a negative slice count");
    std::vector<std::vector<int>> numbers(static_cast<std::size_t>(slices));
    for (const CanalRun& canal : canals)
        for (const CanalSection& section : canal.sections) {
            if (section.slice < 1 || section.slice > slices || section.label < 1)
                throw std::invalid_argument("canalNumbersBySlice: a section outside the stack");
            std::vector<int>& ofSlice = numbers[static_cast<std::size_t>(section.slice - 1)];
            if (ofSlice.size() <= static_cast<std::size_t>(section.label))
                ofSlice.resize(static_cast<std::size_t>(section.label) + 1, 0);
            ofSlice[static_cast<std::size_t>(section.label)] = canal.number;
        }
    return numbers;
}

}  // namespace quendra
