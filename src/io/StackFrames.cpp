#include "io/StackFrames.h"

namespace quendra {

StackFrames::StackFrames(const std::string& path, std::optional<GreyWindow> window) : stack_(path) {
    // The window a DICOM header gives is the one its scanner meant the slices to be seen by.
    const auto own = stack_.fileWindow();
    window_ = window ? *window : own ? GreyWindow{own->first, own->second} : sampledWindow(stack_);
}

SliceFrame StackFrames::frameAt(int index) {
    SliceRead read = stack_.read(index);
    SliceFrame out{read.status, {}, read.size, std::move(read.reason)};
    if (read.status != PictureStatus::Ok) return out;
    out.frame = frameOfSlice(read.slice, window_);
    windowUsed_ = windowUsed_ || read.slice.depth() == CV_16U;
    return out;
}

std::string StackFrames::refusal() const {
    const int change = stack_.depthChange();
    if (change < 0) return {};
    return "its pages change from " + std::to_string(stack_.bitsOf(0)) + " to " +
           std::to_string(stack_.bitsOf(change)) + " bits at page " + std::to_string(change + 1) +
           "; a stack is read only with one depth throughout, since 8-bit slices keep their "
           "greys and 16-bit ones go through the stack's grey window, and a root's canals "
           "would not be followed across the change (convert it to one depth)";
}

}  // namespace quendra
