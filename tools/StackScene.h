#pragma once

// Generated stacks of slices through one root or several side by side, each with a known canal
// configuration: a root an ellipse that tapers toward the apex, its canals round and narrowing
// toward the apex, a canal about to divide (or just joined) a wide oval that overlaps both
// branches, as real canals divide. The first and the last two slices show the roots without a
// canal (above the pulp chamber, at the apex where the canal is too narrow to see). Several
// roots lie left to right, each in a cell of `size` of its own: at least 0.3 of the cell width
// of background lies between two roots. Deterministic: a scene renders to the same bytes on
// every run.

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "TiffStackWriter.h"
#include "colour/ColorClassifier.h"

namespace quendra {

class ColorTraining;

// What makes a stack harder than the plain one, as real micro-CT stacks are.
enum class StackCondition {
    Plain,
    Noise,     // strong noise (grey levels spread by a normal distribution of 14 levels)
    Blur,      // the partial-volume blur of a scanner (a Gaussian of 1.3 px)
    Thin,      // canals only 2 to 4 px across
    Drift,     // the root's axis tilted: it drifts across a quarter of the cell over the stack
    Lateral,   // a short lateral canal beside the main ones, in two slices
    Touching,  // two canals touch for two slices without joining
    Ring,      // the root in a ring of dark background (a gap to its mount) within its box
    Close,     // a second root (type I) beside the first, a few pixels of background between
};
inline constexpr const char* kStackConditionNames[] = {
    "plain", "noise", "blur", "thin", "drift", "lateral", "touching", "ring", "close"};

struct StackScene {
    // The first (leftmost) root's canal configuration, counts from the coronal end as "1-2-1";
    // then those of the roots right of it, in order.
    std::string configuration;
    std::vector<std::string> furtherRoots{};
    bool colour = true;       // enamel and gum colours, or grey as in CT (dark background)
    int depth = 8;            // 8 or 16 bits per sample
    bool apexFirst = false;   // the slices stored from the apex to the crown
    cv::Size size{200, 160};  // pixels, of one root's cell; the slice is a cell per root wide
    int slices = 40;
    StackCondition condition = StackCondition::Plain;
    unsigned seed = 0;  // of the noise, and of where a lateral canal or a touch lies

    // "III-grey16", "V-colour8-apex-first", "IV+I-colour16", "II-grey16-blur-s1": the type (or
    // the configuration) of every root, left to right, the look, and a condition with its seed.
    std::string name() const;
    // Every root's configuration, left to right: `configuration`, then `furtherRoots`.
    std::vector<std::string> rootConfigurations() const;
    // The slice's size in pixels: the cells of all roots side by side.
    cv::Size sliceSize() const;
};

// The eight configuration types of Vertucci with their names, "I" to "VIII".
std::vector<std::pair<std::string, std::string>> vertucciConfigurations();

// Slice `index` (0 <= index < scene.slices, in stored order): CV_8UC3 (colour) or CV_8UC1
// (grey), or their 16-bit kind, raw = 2000 + 180 x the 8-bit value + noise. 16-bit slices
// also carry a bright speck in the background, brighter from slice to slice, in every fifth.
cv::Mat renderStackSlice(const StackScene& scene, int index);

// Canals the slice at `index` shows in root `root` (0 the leftmost; 0 for the slices without
// one).
int canalsInSlice(const StackScene& scene, int index, int root = 0);

// Every type in four looks: colour and grey, 8 and 16 bits; and three grey 16-bit stacks
// stored apex first. One root each.
std::vector<StackScene> stackScenes();

// The eight types under every condition but Plain, grey 16 bits, for each of `seeds` seeds (with
// Close, a root of type I beside).
std::vector<StackScene> hardStackScenes(int seeds);

// Stacks of two roots ("2" and "1") and of three ("1-2-1", "1" and "2-1"), in colour and in
// grey, 16 bits.
std::vector<StackScene> multiRootStackScenes();

// Records the picks of an operator on the first slice as the analysis sees it (`frame`): a
// rectangle on the first root as enamel, one on the background as gum.
void pickStackColors(const StackScene& scene, const cv::Mat& frame, ColorTraining& training);

// Colour classes as an operator trains them on the first slice as the analysis sees it
// (pickStackColors).
ColorClassifier stackClassifier(const StackScene& scene, const cv::Mat& frame);
// The class threshold they are used with: 5 for colour; 10 (the slider's top) for grey, whose
// levels lie sqrt(3) apart on the grey diagonal and, spread by a 16-bit stack's window, leave
// too few trained neighbours within 5.
int stackClassThreshold(const StackScene& scene);

// Writes the scene as a multi-page TIFF (deflate-compressed unless `layout` says otherwise);
// false when it cannot be written.
bool writeStackTiff(const StackScene& scene, const std::string& path,
                    const TiffLayout& layout = {.deflate = true});

}  // namespace quendra
