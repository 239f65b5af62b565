#include "analysis/Regions.h"

#include <cmath>

namespace quendra {

namespace {
// n(n + 1)(2n + 1) / 6: for any integers a <= b, sumOfSquares(b) - sumOfSquares(a - 1) is the
// sum of t² for t = a..b, exact in double for every frame size.
double sumOfSquares(double n) {
    return n * (n + 1) * (2 * n + 1) / 6;
}
}  // namespace

int labelRegions(const cv::Mat& mask, std::vector<Region>& regions, RunEncoder& encoder, Run*& runs,
                 bool computeMoments, cv::Point origin) {
    CV_CheckTypeEQ(mask.type(), CV_8UC1, "masks must be 8-bit single-channel images");
    regions.clear();
    int count = 0;
    runs = encoder.encodeRuns(mask.data, mask.rows, mask.cols, mask.step, count, origin);
    if (count <= 0) return count;
    mergeRuns(runs, count);
    accumulateRegions(regions, runs, count, computeMoments);
    return count;
}

void mergeRuns(Run* runs, int count) {
    int cur = 0;
    int prev = 0;
    while (cur < count) {
        Run& c = runs[cur];
        // prev never passes cur: a run of cur's own row stops the sweep.
        while (runs[prev].y < c.y - 1 || (runs[prev].y == c.y - 1 && runs[prev].xEnd < c.xStart))
            ++prev;
        if (runs[prev].y == c.y - 1 && runs[prev].xStart <= c.xEnd) {
            uniteRuns(&c, &runs[prev]);
            if (runs[prev].xEnd > c.xEnd)
                ++cur;
            else
                ++prev;
        } else {
            ++cur;
        }
    }
}

Run* findRoot(Run* run) {
    Run* root = run;
    while (root->parent != root) root = root->parent;
    while (run != root) {
        Run* next = run->parent;
        run->parent = root;
        run = next;
    }
    return root;
}

void uniteRuns(Run* later, Run* earlier) {
    Run* a = findRoot(later);
    Run* b = findRoot(earlier);
    if (a < b)
        b->parent = a;
    else
        a->parent = b;
}

void accumulateRegions(std::vector<Region>& regions, Run* runs, int count, bool computeMoments) {
    for (int i = 0; i < count; ++i) {
        Run& r = runs[i];
        const double n = r.xEnd - r.xStart + 1;
        const double s = r.xEnd * (r.xEnd + 1.0) / 2.0 - (r.xStart - 1.0) * r.xStart / 2.0;
        if (r.parent == &r) {
            r.region = static_cast<int>(regions.size());
            regions.push_back(Region{n, s, r.y * n, 0, 0, 0, r.xStart, r.y, r.xEnd, r.y});
        } else {
            // Parents lie earlier in the array, so their region is already known.
            r.region = r.parent->region;
            Region& g = regions[static_cast<std::size_t>(r.region)];
            g.area += n;
            g.sumX += s;
            g.sumY += n * r.y;
            g.minX = std::min(g.minX, r.xStart);
            g.minY = std::min(g.minY, r.y);
            g.maxX = std::max(g.maxX, r.xEnd);
            g.maxY = std::max(g.maxY, r.y);
        }
    }
    if (computeMoments) accumulateMoments(regions, runs, count);
}

void accumulateMoments(std::vector<Region>& regions, const Run* runs, int count) {
    for (int i = 0; i < count; ++i) {
        const Run& r = runs[i];
        Region& g = regions[static_cast<std::size_t>(r.region)];
        const double meanX = g.sumX / g.area;
        const double meanY = g.sumY / g.area;
        // x - x̄ over the run's columns is t - f for the integers t = lo..hi, f the fraction of
        // x̄: the closed sums run over integers, and only f carries rounding.
        const double whole = std::floor(meanX);
        const double f = meanX - whole;
        const double lo = r.xStart - whole;
        const double hi = r.xEnd - whole;
        const double n = r.xEnd - r.xStart + 1;
        const double sumT = (hi * (hi + 1) - (lo - 1) * lo) / 2;  // Σ t over lo..hi
        const double sumT2 = sumOfSquares(hi) - sumOfSquares(lo - 1);
        const double dy = r.y - meanY;
        g.sumXY += dy * (sumT - n * f);
        g.sumXX += sumT2 - 2 * f * sumT + n * f * f;
        g.sumYY += n * dy * dy;
    }
}

int largestRegion(const std::vector<Region>& regions) {
    int best = 0;
    double bestArea = 0;
    for (std::size_t i = 0; i < regions.size(); ++i) {
        if (regions[i].area > bestArea) {
            bestArea = regions[i].area;
            best = static_cast<int>(i);
        }
    }
    return best;
}

cv::Rect boundingBox(const Region& region) {
    return {region.minX, region.minY, region.maxX - region.minX, region.maxY - region.minY};
}

}  // namespace quendra
