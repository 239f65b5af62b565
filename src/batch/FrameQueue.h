#pragma once

// The frames of a run in input order: every picture, every --every-th frame of every video
// and every slice of every stack, each read here, one after the other (a video cannot be read
// in parallel, a stack's window is the stack's). The run's reader takes them ahead of the
// workers (FrameReader.h), and whichever worker is free analyses the next, so even a single
// video or stack keeps every worker busy.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <vector>

#include "batch/BatchInputs.h"
#include "io/StackFrames.h"
#include "io/VideoFrames.h"

namespace quendra {

struct WorkUnit {
    std::size_t seq = 0;      // place in the run's order, from 0
    std::size_t item = 0;     // index into the run's items
    int frame = -1;           // -1 for a picture; a stack's slice from 1
    double rate = 0;          // of the video (a stack's movie's), frames per second
    double reportedRate = 0;  // as the video's file claims it (VideoFrames::reportedRate)
    bool lastOfItem = true;   // nothing of this item follows
    bool unreadable = false;  // the video or stack, or this frame of it, could not be read
    PictureStatus status = PictureStatus::Ok;  // why it could not be read
    cv::Size size;                             // of its frames, as the stream gives it
    int error = 0;                             // the system's reason with CannotOpen
    std::string reason;   // why it could not be read, where the status alone does not say
    bool replay = false;  // done before a resumed run: no rows, only its movie frame and, of a
                          // stack, its canals for the slices after it
    cv::Mat picture;      // the picture, video frame or slice, decoded
    // A picture's reading threw: the worker names it as it names an analysis that fails.
    std::exception_ptr readFailure;
    // Of a stack: the window its 16-bit slices are mapped by, once one was; whether its file
    // ends before its last page or loops back (StackFrames::pageChain).
    std::optional<GreyWindow> window;
    PageChain chain = PageChain::Whole;
};

// Where a run starts: the first item, and for a video or stack the first frame whose rows it
// writes.
struct StartAt {
    std::size_t item = 0;
    int frame = 0;
};

class FrameQueue {
public:
    // At most `maxAhead` units are handed out beyond the last one written, which bounds the
    // frames held in memory while an early unit is still being worked on. A run that starts in
    // the middle of a video hands out the frames before `start.frame` as replays when
    // `replayStart`, so that its movie can be made whole again, and skips them otherwise; in
    // the middle of a stack always, since its canals are followed from its first slice.
    // `window` maps every stack's 16-bit slices; without one, each stack's sampled window.
    FrameQueue(const std::vector<BatchItem>& items, int every, std::size_t maxAhead,
               StartAt start = {}, bool replayStart = false,
               std::optional<GreyWindow> window = std::nullopt);

    // The next unit, read; false once there is none left or the run was stopped. Callers take
    // their turns for a video's frames and a stack's slices; pictures are read side by side.
    bool next(WorkUnit& unit);
    // Unit `seq` and all before it are written. Does not wait for a unit being read.
    void written(std::size_t seq);
    // No unit is handed out any more.
    void stop();

private:
    void takePicture(std::size_t item, WorkUnit& unit);
    bool openSequence(std::size_t item, WorkUnit& unit);
    bool takeSequenceFrame(WorkUnit& unit);

    const std::vector<BatchItem>& items;
    const int every;
    const std::size_t maxAhead;
    const StartAt start;
    const bool replayStart;
    const std::optional<GreyWindow> window;

    // `reading` is held while a unit is read, `mutex` only for the counts below it, so that
    // the writer never waits for a frame being decoded.
    std::mutex reading;
    std::mutex mutex;
    std::condition_variable progress;
    std::atomic<bool> stopped = false;
    std::size_t nextSeq = 0;      // changed only with `reading` held too
    std::size_t writtenUpTo = 0;  // units below this are written
    // What is read next, with `reading` held.
    std::size_t nextItem = 0;
    // The video or stack being read: one of the two, or none.
    std::size_t sequenceItem = 0;
    std::unique_ptr<VideoFrames> video;
    std::unique_ptr<StackFrames> stack;
    FrameGrid grid;
    int nextFrame = 0;
    int firstWritten = 0;  // the first frame that is no replay
};

}  // namespace quendra
