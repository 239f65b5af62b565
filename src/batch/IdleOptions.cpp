#include "batch/IdleOptions.h"

#include <algorithm>

#include "io/SliceStack.h"

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
    return warnings;
}

}  // namespace quendra
