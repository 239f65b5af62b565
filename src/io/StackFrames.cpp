#include "io/StackFrames.h"

namespace quendra {

StackFrames::StackFrames(const std::string& path, std::optional<GreyWindow> window) : stack_(path) {
    window_ = window ? *window : sampledWindow(stack_);
}

SliceFrame StackFrames::frameAt(int index) {
    SliceRead read = stack_.read(index);
    SliceFrame out{read.status, {}, read.size};
    if (read.status != PictureStatus::Ok) return out;
    out.frame = frameOfSlice(read.slice, window_);
    windowUsed_ = windowUsed_ || read.slice.depth() == CV_16U;
    return out;
}

}  // namespace quendra
