#pragma once

// The canal system the tracker keeps: its nodes (a canal in a slice), those left after the
// noise, and its runs (stretches between divisions and junctions). For CanalTracking.cpp.

#include <algorithm>
#include <vector>

namespace quendra {

// The kept canal system: which nodes are left and their runs.
struct RunGraph {
    const std::vector<std::vector<int>>& next;
    const std::vector<std::vector<int>>& prev;
    std::vector<char> kept;

    int degree(const std::vector<int>& links) const {
        return static_cast<int>(std::count_if(
            links.begin(), links.end(), [&](int n) { return kept[static_cast<std::size_t>(n)]; }));
    }
    int keptNext(int n) const { return degree(next[static_cast<std::size_t>(n)]); }
    int keptPrev(int n) const { return degree(prev[static_cast<std::size_t>(n)]); }
    int onlyKept(const std::vector<int>& links) const {
        for (const int n : links)
            if (kept[static_cast<std::size_t>(n)]) return n;
        return -1;
    }
    bool startsRun(int n) const {
        if (keptPrev(n) != 1) return true;
        return keptNext(onlyKept(prev[static_cast<std::size_t>(n)])) != 1;
    }
    // The run beginning at `head`, in order.
    std::vector<int> runFrom(int head) const {
        std::vector<int> run{head};
        while (keptNext(run.back()) == 1) {
            const int n = onlyKept(next[static_cast<std::size_t>(run.back())]);
            if (keptPrev(n) != 1) break;
            run.push_back(n);
        }
        return run;
    }
    std::vector<std::vector<int>> runs() const {
        std::vector<std::vector<int>> all;
        for (int n = 0; n < static_cast<int>(kept.size()); ++n)
            if (kept[static_cast<std::size_t>(n)] && startsRun(n)) all.push_back(runFrom(n));
        return all;
    }
    // Drops the noise runs, again and again until none is left.
    void dropNoise(int minRun) {
        for (bool dropped = true; dropped;) {
            std::vector<int> noise;
            for (const std::vector<int>& run : runs())
                if (isNoise(run, minRun)) noise.insert(noise.end(), run.begin(), run.end());
            for (const int n : noise) kept[static_cast<std::size_t>(n)] = 0;
            dropped = !noise.empty();
        }
    }
    // A short run is noise when nothing ties it in, or when it is one of several branches at
    // the one end that is tied in and ends loose at the other.
    bool isNoise(const std::vector<int>& run, int minRun) const {
        if (static_cast<int>(run.size()) >= minRun) return false;
        const int before = keptPrev(run.front()), after = keptNext(run.back());
        if (before == 0 && after == 0) return true;
        const auto branches = [&](const std::vector<int>& links, bool forward) {
            for (const int n : links)
                if (kept[static_cast<std::size_t>(n)] && (forward ? keptNext(n) : keptPrev(n)) >= 2)
                    return true;
            return false;
        };
        if (after == 0) return branches(prev[static_cast<std::size_t>(run.front())], true);
        if (before == 0) return branches(next[static_cast<std::size_t>(run.back())], false);
        return false;
    }
};

}  // namespace quendra
