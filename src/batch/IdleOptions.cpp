#include "batch/IdleOptions.h"

#include <algorithm>

#include "io/SliceStack.h"
#include "io/Utf8Text.h"

namespace quendra {

namespace {

// A stack of 16-bit slices, by its first slice (a TIFF's page directory, a folder's picture).
bool sixteenBitStack(const BatchItem& item) {
    if (item.kind != MediaKind::Stack) return false;
    SliceStack stack(item.path);
    if (stack.sliceCount() == 0) return false;
    if (const int bits = stack.bitsOf(0); bits > 0) return bits == 16;
    return stack.read(0).slice.depth() == CV_16U;
}

}  // namespace

std::vector<std::string> idleOptionWarnings(const BatchOptions& o,
                                            const std::vector<BatchItem>& items) {
    const auto any = [&](auto&& test) { return std::any_of(items.begin(), items.end(), test); };
    const bool stacks = any([](const BatchItem& i) { return i.kind == MediaKind::Stack; });
    std::vector<std::string> warnings;
    if (o.window && !any(sixteenBitStack))
        warnings.push_back("--window has no effect: no input is a stack of 16-bit slices");
    if (o.minCanalMm2 && !any([](const BatchItem& i) { return i.pxPerMm.has_value(); }))
        warnings.push_back(
            "--min-canal-mm2 has no effect: no input has a scale (--px-per-mm, --scale), so "
            "--min-canal-area holds for all");
    if (o.apexFirst && !stacks)
        warnings.push_back("--apex-first has no effect: no input is a stack of slices");
    if (o.sliceMm && !stacks)
        warnings.push_back("--slice-mm has no effect: no input is a stack of slices");
    if (!o.levelsMm.empty() && !stacks)
        warnings.push_back("--levels-mm has no effect: no input is a stack of slices");
    // A level lies so many slices from the apex, and its canals are measured in millimetres.
    for (const BatchItem& i : items)
        if (!o.levelsMm.empty() && i.kind == MediaKind::Stack && (!i.sliceMm || !i.pxPerMm))
            warnings.push_back(utf8Text(i.path) +
                               ": its levels (--levels-mm) cannot be placed without " +
                               (i.sliceMm ? "a scale (--px-per-mm, --scale or the file's)"
                                          : "a slice distance (--slice-mm or the file's)") +
                               "; levels.csv has no rows of it");
    return warnings;
}

}  // namespace quendra
