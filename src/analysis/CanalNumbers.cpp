// The numbering of a stack's canals (CanalRun, CanalTracking.h).

#include <algorithm>
#include <numeric>

#include "analysis/CanalRuns.h"
#include "analysis/CanalTracking.h"

namespace quendra {

std::vector<CanalRun> CanalTracker::canalRuns(const RunGraph& graph, const std::vector<int>& owner,
                                              const std::vector<int>& rootOfTrack,
                                              bool apexFirst) const {
    std::vector<CanalRun> runs;
    std::vector<int> runOf(nodes_.size(), -1);
    for (const std::vector<int>& run : graph.runs()) {
        const int track = owner[static_cast<std::size_t>(run.front())];
        if (track < 0 || rootOfTrack[static_cast<std::size_t>(track)] < 0) continue;
        CanalRun canal;
        canal.root = rootOfTrack[static_cast<std::size_t>(track)] + 1;
        for (const int n : run) {
            if (owner[static_cast<std::size_t>(n)] != track) continue;
            canal.sections.push_back(nodes_[static_cast<std::size_t>(n)].section);
            runOf[static_cast<std::size_t>(n)] = static_cast<int>(runs.size());
        }
        runs.push_back(std::move(canal));
    }
    // Numbers by root, then from the coronal end, then from left to right.
    const auto coronal = [&](const CanalRun& c) {
        return apexFirst ? c.sections.back() : c.sections.front();
    };
    std::vector<std::size_t> order(runs.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const CanalSection &ca = coronal(runs[a]), &cb = coronal(runs[b]);
        const int sa = apexFirst ? -ca.slice : ca.slice, sb = apexFirst ? -cb.slice : cb.slice;
        if (runs[a].root != runs[b].root) return runs[a].root < runs[b].root;
        if (sa != sb) return sa < sb;
        return ca.centroidPx.x < cb.centroidPx.x;
    });
    for (std::size_t i = 0; i < order.size(); ++i) runs[order[i]].number = static_cast<int>(i) + 1;
    // The canals each meets at its ends: the runs of the kept nodes linked to its end nodes.
    const auto numbersOf = [&](const std::vector<int>& links) {
        std::vector<int> numbers;
        for (const int l : links)
            if (graph.kept[static_cast<std::size_t>(l)] && runOf[static_cast<std::size_t>(l)] >= 0)
                numbers.push_back(
                    runs[static_cast<std::size_t>(runOf[static_cast<std::size_t>(l)])].number);
        std::sort(numbers.begin(), numbers.end());
        return numbers;
    };
    for (const std::vector<int>& run : graph.runs()) {
        const int index = runOf[static_cast<std::size_t>(run.front())];
        if (index < 0) continue;
        const auto& before = nodes_[static_cast<std::size_t>(run.front())].prev;
        const auto& after = nodes_[static_cast<std::size_t>(run.back())].next;
        CanalRun& canal = runs[static_cast<std::size_t>(index)];
        canal.coronal = numbersOf(apexFirst ? after : before);
        canal.apical = numbersOf(apexFirst ? before : after);
    }
    std::sort(runs.begin(), runs.end(),
              [](const CanalRun& a, const CanalRun& b) { return a.number < b.number; });
    return runs;
}

}  // namespace quendra
