#include "analysis/CanalTracking.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "analysis/CanalMeasures.h"
#include "analysis/CanalRuns.h"
#include "analysis/SliceCounts.h"

namespace quendra {

namespace {

// The labels as 16-bit values, a copy of its own (the caller may reuse its pictures): half
// the memory of 32-bit labels for the slice the tracker keeps.
cv::Mat labels16(const cv::Mat& labels, const char* what) {
    if (labels.channels() != 1 || (labels.depth() != CV_16U && labels.depth() != CV_32S))
        throw std::invalid_argument(std::string(what) + " must be CV_16UC1 or CV_32SC1 labels");
    double low = 0, high = 0;
    cv::minMaxLoc(labels, &low, &high);
    if (low < 0 || high > 65535)
        throw std::invalid_argument(std::string(what) + " must be labelled from 0 to 65535");
    cv::Mat out;
    labels.convertTo(out, CV_16U);
    return out;
}

// Stretches of equal count, the empty ends left out, the short ones taken into their longer
// neighbour (the first on a tie), the shortest first.
std::vector<cv::Point> profileOf(const std::vector<int>& counts, int minRun) {
    std::vector<cv::Point> runs;
    for (const int c : counts) {
        if (!runs.empty() && runs.back().x == c)
            ++runs.back().y;
        else
            runs.emplace_back(c, 1);
    }
    while (!runs.empty() && runs.front().x == 0) runs.erase(runs.begin());
    while (!runs.empty() && runs.back().x == 0) runs.pop_back();
    while (runs.size() > 1) {
        std::size_t shortest = 0;
        for (std::size_t i = 1; i < runs.size(); ++i)
            if (runs[i].y < runs[shortest].y) shortest = i;
        if (runs[shortest].y >= minRun) break;
        std::size_t into;
        if (shortest == 0)
            into = 1;
        else if (shortest + 1 == runs.size())
            into = shortest - 1;
        else
            into = runs[shortest + 1].y > runs[shortest - 1].y ? shortest + 1 : shortest - 1;
        runs[into].y += runs[shortest].y;
        runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(shortest));
        for (std::size_t i = 1; i < runs.size();) {
            if (runs[i].x == runs[i - 1].x) {
                runs[i - 1].y += runs[i].y;
                runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }
    return runs;
}

// "1-2-1"; "0" for none.
std::string joinedCounts(const std::vector<int>& counts) {
    std::string joined = std::to_string(counts.empty() ? 0 : counts.front());
    for (std::size_t i = 1; i < counts.size(); ++i)
        joined.append("-").append(std::to_string(counts[i]));
    return joined;
}

// The root's profile, configuration, type and why it has none, from its canal counts.
void configure(RootConfiguration& root, bool apexFirst, int minRun) {
    std::vector<int> coronalFirst = root.canalCounts;
    if (apexFirst) std::reverse(coronalFirst.begin(), coronalFirst.end());
    int longest = 0;  // slices of the longest stretch of one count of canals
    for (std::size_t i = 0, length = 0; i < coronalFirst.size(); ++i) {
        length = i > 0 && coronalFirst[i] == coronalFirst[i - 1] ? length + 1 : 1;
        if (coronalFirst[i] > 0) longest = std::max(longest, static_cast<int>(length));
    }
    if (longest < minRun) {
        root.note = "no stretch of equal canal count runs " + std::to_string(minRun) +
                    " slices (--min-run)";
        return;
    }
    root.profile = profileOf(coronalFirst, minRun);
    std::vector<int> stretchCounts;
    for (const cv::Point& run : root.profile) stretchCounts.push_back(run.x);
    root.configuration = joinedCounts(stretchCounts);
    root.canalsMax =
        stretchCounts.empty() ? 0 : *std::max_element(stretchCounts.begin(), stretchCounts.end());
    root.vertucci = vertucciType(root.configuration);
    root.fourDigit = fourDigitCode(coronalFirst);
    if (root.vertucci.empty())
        root.note = "the configuration " + root.configuration + " is none of Vertucci's types";
}

// The slice's highest root label, its pictures checked against each other, the slice before
// and its canals' roots (CanalTracker::addSlice).
int checkedRootCount(const cv::Mat& roots, const cv::Mat& canals, const std::vector<int>& canalRoot,
                     const cv::Mat& previousRoots) {
    if (roots.size() != canals.size() || roots.empty())
        throw std::invalid_argument("roots and canals must be non-empty pictures of one size");
    if (!previousRoots.empty() && roots.size() != previousRoots.size())
        throw std::invalid_argument("every slice of a stack must have the same size");
    double maxRoot = 0, maxCanal = 0;
    cv::minMaxLoc(roots, nullptr, &maxRoot);
    cv::minMaxLoc(canals, nullptr, &maxCanal);
    if (maxCanal > static_cast<double>(canalRoot.size()))
        throw std::invalid_argument("canal labels must run from 1 to the number of canals");
    int rootCount = static_cast<int>(maxRoot);
    for (const int r : canalRoot) {
        if (r < 1) throw std::invalid_argument("every canal must lie in a root labelled from 1");
        rootCount = std::max(rootCount, r);
    }
    return rootCount;
}

}  // namespace

CanalTracker::CanalTracker(TrackingSettings settings) : settings_(settings) {
    if (settings.minRun < 1 || settings.tolerancePx < 0)
        throw std::invalid_argument("minRun must be at least 1, tolerancePx at least 0");
}

void CanalTracker::addSlice(const SliceSection& section) {
    const cv::Mat roots = labels16(section.roots, "roots");
    const cv::Mat canals = labels16(section.canals, "canals");
    const int rootCount = checkedRootCount(roots, canals, section.canalRoot, previousRoots_);
    const SliceCounts counts = countSlice(roots, canals, previousRoots_, previousCanals_, rootCount,
                                          section.canalRoot.size(), settings_.tolerancePx);
    const std::vector<char> present = presentRoots(counts, section.canalRoot);
    std::vector<int> rootTrack = continuedTracks(counts, rootCount);
    ++slices_;
    addToTracks(rootTrack, present, counts);
    std::vector<int> canalNode = addCanalNodes(counts, section.canalRoot, rootTrack);
    linkCanals(counts, canalNode);
    // A slice without any root is passed over: the next one continues from the last with one.
    if (std::find(present.begin(), present.end(), 1) == present.end()) return;
    previousRoots_ = roots;
    previousCanals_ = canals;
    previousRootTrack_ = std::move(rootTrack);
    previousCanalNode_ = std::move(canalNode);
}

// Each root's best previous root (most shared pixels, then the lower label); of the roots
// choosing one previous root, the one sharing most continues it.
std::vector<int> CanalTracker::continuedTracks(const SliceCounts& counts, int rootCount) const {
    std::vector<int> best(static_cast<std::size_t>(rootCount) + 1, 0);
    std::vector<long long> bestShared(static_cast<std::size_t>(rootCount) + 1, 0);
    for (const auto& [pair, shared] : counts.overlap) {  // previous labels ascending
        const auto r = static_cast<std::size_t>(pair.second);
        if (shared > bestShared[r]) best[r] = pair.first, bestShared[r] = shared;
    }
    std::vector<int> rootTrack(static_cast<std::size_t>(rootCount) + 1, -1);
    std::map<int, int> takenBy;  // previous root -> the root continuing it
    for (int r = 1; r <= rootCount; ++r) {
        const int p = best[static_cast<std::size_t>(r)];
        if (!p) continue;
        auto [it, fresh] = takenBy.emplace(p, r);
        if (!fresh && bestShared[static_cast<std::size_t>(r)] >
                          bestShared[static_cast<std::size_t>(it->second)])
            it->second = r;
    }
    for (const auto& [p, r] : takenBy)
        if (p < static_cast<int>(previousRootTrack_.size()))
            rootTrack[static_cast<std::size_t>(r)] =
                previousRootTrack_[static_cast<std::size_t>(p)];
    return rootTrack;
}

// The slice's roots join the tracks they continue, or begin tracks of their own.
void CanalTracker::addToTracks(std::vector<int>& rootTrack, const std::vector<char>& present,
                               const SliceCounts& counts) {
    for (std::size_t r = 1; r < present.size(); ++r) {
        if (!present[r]) continue;
        if (rootTrack[r] < 0) {
            rootTrack[r] = static_cast<int>(tracks_.size());
            tracks_.push_back({slices_, slices_});
        }
        Track& track = tracks_[static_cast<std::size_t>(rootTrack[r])];
        track.lastSlice = slices_;
        ++track.slices;
        track.maxArea = std::max(track.maxArea, counts.rootPixels[r]);
    }
}

// A node for each canal of the slice that has pixels, in its root's track; the node of each
// canal label, -1 for none.
std::vector<int> CanalTracker::addCanalNodes(const SliceCounts& counts,
                                             const std::vector<int>& canalRoot,
                                             const std::vector<int>& rootTrack) {
    std::vector<int> canalNode(counts.canalPixels.size(), -1);
    for (std::size_t c = 1; c < counts.canalPixels.size(); ++c) {
        const long long area = counts.canalPixels[c];
        if (area == 0) continue;
        canalNode[c] = static_cast<int>(nodes_.size());
        const int root = canalRoot[c - 1];
        nodes_.push_back(
            {rootTrack[static_cast<std::size_t>(root)],
             slices_,
             {},
             {},
             {slices_, static_cast<int>(c), area, counts.canalSums[c] / double(area)}});
    }
    return canalNode;
}

// Links each canal to the canals of the previous slice with a root that it reaches.
void CanalTracker::linkCanals(const SliceCounts& counts, const std::vector<int>& canalNode) {
    for (const auto& [q, c] : counts.reach) {
        const int from = q < static_cast<int>(previousCanalNode_.size())
                             ? previousCanalNode_[static_cast<std::size_t>(q)]
                             : -1;
        const int to = canalNode[static_cast<std::size_t>(c)];
        if (from < 0 || to < 0) continue;
        nodes_[static_cast<std::size_t>(from)].next.push_back(to);
        nodes_[static_cast<std::size_t>(to)].prev.push_back(from);
    }
}

CanalTracker::Owners CanalTracker::canalOwners(const std::vector<char>& kept,
                                               bool apexFirst) const {
    Owners owners;
    // Nodes are made slice by slice, so their order is stack order: from the apex when the
    // stack's first slice is at the apex, else the other way.
    std::vector<int>& owner = owners.ofNode;
    owner.assign(nodes_.size(), -1);
    owners.endsInChamber.assign(tracks_.size(), 0);
    std::vector<char> chamber(nodes_.size(), 0);
    const auto visit = [&](std::size_t n) {
        if (!kept[n]) return;
        const std::vector<int>& apical = apexFirst ? nodes_[n].prev : nodes_[n].next;
        int root = -1;
        bool joins = false;
        for (const int a : apical) {
            const auto ai = static_cast<std::size_t>(a);
            if (!kept[ai]) continue;
            joins = joins || chamber[ai] || (root >= 0 && owner[ai] != root);
            root = owner[ai];
        }
        if (joins) {
            chamber[n] = 1;
            for (const int a : apical)
                if (const int r = owner[static_cast<std::size_t>(a)]; r >= 0)
                    owners.endsInChamber[static_cast<std::size_t>(r)] = 1;
        } else {
            owner[n] = root >= 0 ? root : nodes_[n].track;
        }
    };
    if (apexFirst) {
        for (std::size_t n = 0; n < nodes_.size(); ++n) visit(n);
    } else {
        for (std::size_t n = nodes_.size(); n-- > 0;) visit(n);
    }
    return owners;
}

// The tracks that are roots, each with the slices it spans and its canal counts still 0; the
// others counted into `leftOut`; `rootOfTrack` the index in the result of each track's root.
std::vector<RootConfiguration> CanalTracker::chooseRoots(const Owners& owners, bool apexFirst,
                                                         RootsLeftOut& leftOut,
                                                         std::vector<int>& rootOfTrack) const {
    const std::vector<int>& owner = owners.ofNode;
    // A root runs from the apical end of its track to its coronal end, or, where its canals
    // open into the pulp chamber, to the coronal end of its canals.
    std::vector<RootConfiguration> all(tracks_.size());
    std::vector<char> hasCanal(tracks_.size(), 0);
    for (std::size_t i = 0; i < tracks_.size(); ++i) {
        const bool chamber = owners.endsInChamber[i];
        all[i].firstSlice = apexFirst || !chamber ? tracks_[i].firstSlice : tracks_[i].lastSlice;
        all[i].lastSlice = !apexFirst || !chamber ? tracks_[i].lastSlice : tracks_[i].firstSlice;
    }
    for (std::size_t n = 0; n < nodes_.size(); ++n) {
        hasCanal[static_cast<std::size_t>(nodes_[n].track)] = 1;
        if (owner[n] < 0) continue;
        RootConfiguration& root = all[static_cast<std::size_t>(owner[n])];
        root.firstSlice = std::min(root.firstSlice, nodes_[n].slice);
        root.lastSlice = std::max(root.lastSlice, nodes_[n].slice);
        hasCanal[static_cast<std::size_t>(owner[n])] = 1;
    }
    long long largest = 0;
    for (std::size_t i = 0; i < tracks_.size(); ++i)
        if (hasCanal[i] && tracks_[i].slices >= kRootMinSlices)
            largest = std::max(largest, tracks_[i].maxArea);
    rootOfTrack.assign(tracks_.size(), -1);
    std::vector<RootConfiguration> result;
    for (std::size_t i = 0; i < tracks_.size(); ++i) {
        if (tracks_[i].slices < kRootMinSlices) {
            ++leftOut.fewSlices;
        } else if (!hasCanal[i]) {
            ++leftOut.noCanal;
        } else if (tracks_[i].maxArea < kRootShareOfLargest * static_cast<double>(largest)) {
            ++leftOut.small;
        } else {
            rootOfTrack[i] = static_cast<int>(result.size());
            result.push_back(all[i]);
            RootConfiguration& root = result.back();
            root.root = static_cast<int>(result.size());
            root.canalCounts.assign(static_cast<std::size_t>(root.lastSlice - root.firstSlice + 1),
                                    0);
        }
    }
    return result;
}

std::vector<RootConfiguration> CanalTracker::roots(bool apexFirst, RootsLeftOut* leftOut,
                                                   std::vector<CanalRun>* canals) const {
    std::vector<std::vector<int>> next, prev;
    for (const Node& n : nodes_) next.push_back(n.next), prev.push_back(n.prev);
    RunGraph graph{next, prev, std::vector<char>(nodes_.size(), 1)};
    graph.dropNoise(settings_.minRun);
    const Owners owners = canalOwners(graph.kept, apexFirst);
    const std::vector<int>& owner = owners.ofNode;
    RootsLeftOut out;
    std::vector<int> rootOfTrack;
    std::vector<RootConfiguration> result = chooseRoots(owners, apexFirst, out, rootOfTrack);
    if (leftOut) *leftOut = out;

    // Events where at least two long runs of the root's canals divide or join.
    std::vector<int> runLength(nodes_.size(), 0);  // by the run's first and last node
    for (const std::vector<int>& run : graph.runs()) {
        runLength[static_cast<std::size_t>(run.front())] = static_cast<int>(run.size());
        runLength[static_cast<std::size_t>(run.back())] = static_cast<int>(run.size());
    }
    for (std::size_t n = 0; n < nodes_.size(); ++n) {
        if (owner[n] < 0 || rootOfTrack[static_cast<std::size_t>(owner[n])] < 0) continue;
        RootConfiguration& root =
            result[static_cast<std::size_t>(rootOfTrack[static_cast<std::size_t>(owner[n])])];
        ++root.canalCounts[static_cast<std::size_t>(nodes_[n].slice - root.firstSlice)];
        const auto longRuns = [&](const std::vector<int>& links) {
            int count = 0;
            for (const int l : links) {
                const auto li = static_cast<std::size_t>(l);
                count +=
                    graph.kept[li] && owner[li] == owner[n] && runLength[li] >= settings_.minRun;
            }
            return std::max(0, count - 1);
        };
        const int divides = longRuns(next[n]);
        const int joins = longRuns(prev[n]);
        root.divisions += apexFirst ? joins : divides;
        root.junctions += apexFirst ? divides : joins;
    }
    for (RootConfiguration& root : result) configure(root, apexFirst, settings_.minRun);
    if (canals) *canals = canalRuns(graph, owner, rootOfTrack, apexFirst);
    return result;
}

std::string vertucciType(const std::string& configuration) {
    static const std::map<std::string, std::string> kTypes = {
        {"1", "I"},   {"2-1", "II"},   {"1-2-1", "III"},   {"2", "IV"},
        {"1-2", "V"}, {"2-1-2", "VI"}, {"1-2-1-2", "VII"}, {"3", "VIII"}};
    const auto it = kTypes.find(configuration);
    return it == kTypes.end() ? std::string() : it->second;
}

}  // namespace quendra
