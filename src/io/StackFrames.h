#pragma once

// The frames of a stack as the analysis reads them: slice after slice, as 8-bit B,G,R frames,
// 16-bit slices mapped by the one grey window of the whole stack (StackWindow.h). Only the
// slice in hand is in memory.

#include <optional>
#include <string>

#include "io/SliceStack.h"
#include "io/StackWindow.h"

namespace quendra {

struct SliceFrame {
    PictureStatus status = PictureStatus::Unreadable;
    cv::Mat frame;       // CV_8UC3, only with Ok
    cv::Size size;       // as the slice's header gives it, also for TooLarge
    std::string reason;  // why it was not read, where known (SliceRead)
};

class StackFrames {
public:
    // A multi-page TIFF, a folder or a DICOM series (SliceStack). `window` maps 16-bit slices;
    // without one, a DICOM header's window, else the stack's sampledWindow with its defaults.
    // Check status().
    explicit StackFrames(const std::string& path, std::optional<GreyWindow> window = std::nullopt);

    PictureStatus status() const { return stack_.status(); }
    int frameCount() const { return stack_.sliceCount(); }
    PageChain pageChain() const { return stack_.pageChain(); }
    // Why the stack is not read although its slices are there, or empty: a TIFF whose pages
    // change their depth, whose greys no one window can match.
    std::string refusal() const;
    // The window 16-bit slices are mapped by, as given or as sampled.
    const GreyWindow& window() const { return window_; }
    // Whether any slice read so far was mapped by it (had 16 bits).
    bool windowUsed() const { return windowUsed_; }

    // Slice `index` (0 <= index < frameCount()) as a frame.
    SliceFrame frameAt(int index);
    std::string sliceName(int index) const { return stack_.sliceName(index); }
    const SliceStack& stack() const { return stack_; }

private:
    SliceStack stack_;
    GreyWindow window_;
    bool windowUsed_ = false;
};

}  // namespace quendra
