#pragma once

// Canals followed through a stack of slices, root by root, and the canal configuration of each
// root from its coronal end to its apex.
//
// Input: slice after slice in stack order, the slice's roots (tooth regions) and canals as
// label pictures (SliceSection). Rules, each between a slice and the next:
//
// - Roots: a root continues the root of the previous slice that shares most of its pixels
//   (ties: the lower label). When two roots continue the same one, the one sharing more pixels
//   takes it over and the other begins a root of its own; a root sharing no pixel begins one.
//   A root's pixels may include its canals or not: only their overlap counts. A slice without
//   any root (the analysis found no tooth there) is passed over: the next slice continues from
//   the last one that showed a root, so that one slice lost to noise does not cut a root in two.
// - Canals: a canal continues a canal of the previous slice in the same root when the canal,
//   grown by `tolerancePx` pixels in every direction (a square of side 2 tolerancePx + 1), shares
//   a pixel with it. The tolerance of 1 px lets a canal only two or three pixels wide, which
//   may drift by a pixel from one slice to the next without overlapping itself, still continue.
//   A canal continuing into two or more is a division, two or more continuing into one a
//   junction.
// - Runs: a run is a stretch of a canal between such events (or its ends). A run shorter than
//   `minRun` slices that is not tied into the canal system at both ends is noise (a speck, or
//   a spur off a canal) and is dropped, repeatedly, until none is left.
// - Canals and roots: a canal belongs to the root in which it runs apically. Read from the
//   apex, a canal that begins takes the root it lies in, a canal that continues one or more
//   canals of one root keeps that root, also where the roots have fused into the trunk; where
//   canals of different roots join, the pulp chamber begins, and it and everything coronal of
//   it belongs to no root. So each root's configuration runs from its apex to the chamber.
// - Which tracks are roots: a root is seen in at least kRootMinSlices slices, has a canal of its
// own,
//   and its largest section has at least kRootShareOfLargest of the pixels of the largest
//   section of the stack's largest root (specks, cusps of the crown and stretches of it with
//   no canal are none). The others are counted in RootsLeftOut.
// - Configuration: per slice the number of the root's canals that are left; from the coronal
//   end, the lengths of the stretches of equal count. Stretches without a canal at either end
//   of the root (the crown above the chamber, the apex where the canal is too small to see) are
//   left out; then every stretch shorter than `minRun` slices is taken into its longer
//   neighbour (the coronal one on a tie), the shortest first, so a canal that divides and
//   joins again within fewer slices counts as one. What is left, joined by '-', is the
//   configuration ("1-2-1"). A root none of whose stretches runs `minRun` slices has none
//   (configuration empty): it is never made up from shorter stretches. `note` says why a root
//   has no Vertucci type.
//
// The default minRun of 3 slices: noise in one slice (a dark speck, a pore) rarely lines up
// with noise in the next two, while a real division or junction spans many slices at the
// spacings of micro-CT (10 to 40 micrometres) and cone-beam CT (75 to 200 micrometres).
// Divisions and junctions are counted where at least two of the runs of the root's canals that
// divide or join are minRun slices long or longer. The roots are numbered from 1 in the order
// they appear in the stack (then by their label). Slices are numbered from 1 in stack order.

#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace quendra {

struct SliceSection {
    cv::Mat roots;   // CV_16UC1 or CV_32SC1 (up to 65535): 0 outside the roots, r on root r
    cv::Mat canals;  // the same size, either type: 0 outside the canals, c on canal c
    std::vector<int> canalRoot;  // canalRoot[c - 1]: the root (label) canal c lies in
};

struct TrackingSettings {
    int minRun = 3;       // slices, >= 1
    int tolerancePx = 1;  // pixels, >= 0
};

// A root's largest section must have at least this share of the pixels of the largest section of
// the stack's largest root.
inline constexpr double kRootShareOfLargest = 0.1;
// The fewest slices a root is seen in (as the default minRun, and for the same reason).
inline constexpr int kRootMinSlices = 3;

// The tracks of tooth regions that were no roots, by the first rule they failed.
struct RootsLeftOut {
    int fewSlices = 0;  // seen in fewer than kRootMinSlices slices
    int noCanal = 0;    // no canal of its own (the crown, a stretch of it, a speck)
    int small = 0;      // smaller than kRootShareOfLargest of the largest root
    int total() const { return fewSlices + noCanal + small; }
};

struct RootConfiguration {
    int root = 0;  // from 1, in order of appearance
    // The first and last slice (from 1, stack order) of the root: those that show it, but where
    // its canals open into the pulp chamber, its coronal end is their last slice below it.
    int firstSlice = 0;
    int lastSlice = 0;
    std::vector<int> canalCounts;    // canals left after the noise, slice firstSlice to lastSlice
    std::vector<cv::Point> profile;  // (canals, slices) stretches from the coronal end
    std::string configuration;       // the profile's counts joined by '-': "1-2-1"
    std::string vertucci;            // "I" to "VIII", or empty
    std::string fourDigit;           // the four-digit code, "2-2-1-1" (CanalMeasures.h)
    std::string note;                // why there is no type; empty with one
    int canalsMax = 0;               // the most canals of any stretch of the profile
    int divisions = 0;               // from the coronal end toward the apex
    int junctions = 0;
};

// A canal in one slice: its label there, its pixels and its centroid (pixel coordinates, the
// centre of the top-left pixel at 0,0).
struct CanalSection {
    int slice = 0;  // from 1, stack order
    int label = 0;  // in SliceSection::canals
    long long areaPx = 0;
    cv::Point2d centroidPx;
};

// A canal of a root through the stack: one run of the kept canal system (a stretch between
// divisions and junctions, or their ends), so a canal that divides ends there and its branches
// are canals of their own. Numbered from 1 over the stack's roots: by root, then from the
// coronal end, then from left to right (the centroid's x in its coronal-most slice). Runs of the
// pulp chamber, of noise and of tracks that are no roots are none.
struct CanalRun {
    int number = 0;
    int root = 0;                        // RootConfiguration::root
    std::vector<CanalSection> sections;  // slice by slice, stack order
    std::vector<int> coronal, apical;    // the canals it meets at its coronal / apical end
};

struct RunGraph;
struct SliceCounts;

class CanalTracker {
public:
    explicit CanalTracker(TrackingSettings settings = {});

    // The next slice. Its pictures must have the size of the slices before; canal labels run
    // from 1 to canalRoot.size() (labels without pixels are no canal). Throws
    // std::invalid_argument for input that breaks these rules.
    void addSlice(const SliceSection& section);
    // The next slice could not be read or analysed: it is counted, and passed over as a slice
    // without any root.
    void skipSlice() { ++slices_; }
    int sliceCount() const { return slices_; }

    // Every root's configuration; `apexFirst`: the stack's first slice is at the apex. The
    // tracks that are no roots are counted into `leftOut` where given; the roots' canals go to
    // `canals` where given.
    std::vector<RootConfiguration> roots(bool apexFirst = false, RootsLeftOut* leftOut = nullptr,
                                         std::vector<CanalRun>* canals = nullptr) const;

private:
    struct Node {
        int track;
        int slice;
        std::vector<int> next;
        std::vector<int> prev;
        CanalSection section;
    };
    struct Track {
        int firstSlice;
        int lastSlice;
        int slices = 0;         // that show it
        long long maxArea = 0;  // pixels of its largest section
    };
    struct Owners {
        std::vector<int> ofNode;          // the root (track) of each node, -1 for none
        std::vector<char> endsInChamber;  // by track: its canals open into the pulp chamber
    };
    // The steps of addSlice: the tracks the slice's roots continue (by root label, -1 for
    // none); the roots added to their tracks; a node for each canal (by canal label, -1 for
    // none); the nodes linked to those of the previous slice they reach.
    std::vector<int> continuedTracks(const SliceCounts& counts, int rootCount) const;
    void addToTracks(std::vector<int>& rootTrack, const std::vector<char>& present,
                     const SliceCounts& counts);
    std::vector<int> addCanalNodes(const SliceCounts& counts, const std::vector<int>& canalRoot,
                                   const std::vector<int>& rootTrack);
    void linkCanals(const SliceCounts& counts, const std::vector<int>& canalNode);
    // The root each kept node's canal belongs to; none for the dropped and the chamber.
    Owners canalOwners(const std::vector<char>& kept, bool apexFirst) const;
    std::vector<RootConfiguration> chooseRoots(const Owners& owners, bool apexFirst,
                                               RootsLeftOut& leftOut,
                                               std::vector<int>& rootOfTrack) const;
    // The runs of the roots' canals, numbered (CanalNumbers.cpp); `rootOfTrack` gives each
    // track's place among the roots, -1 for none.
    std::vector<CanalRun> canalRuns(const RunGraph& graph, const std::vector<int>& owner,
                                    const std::vector<int>& rootOfTrack, bool apexFirst) const;

    TrackingSettings settings_;
    int slices_ = 0;
    std::vector<Node> nodes_;
    std::vector<Track> tracks_;
    cv::Mat previousRoots_, previousCanals_;  // CV_16UC1
    std::vector<int> previousRootTrack_;      // by root label; -1 for none
    std::vector<int> previousCanalNode_;      // by canal label; -1 for none
};

// The configuration type of Vertucci (1984) a configuration stands for: "1" I, "2-1" II,
// "1-2-1" III, "2" IV, "1-2" V, "2-1-2" VI, "1-2-1-2" VII, "3" VIII; empty for any other.
std::string vertucciType(const std::string& configuration);

}  // namespace quendra
