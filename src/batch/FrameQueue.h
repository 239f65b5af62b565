#pragma once

// The frames of a run in input order: every picture, and every --every-th frame of every
// video. Workers take them one at a time; a video's frames are read here, one after the other
// (a video cannot be read in parallel), and analysed by whichever worker takes them, so even a
// single video keeps every worker busy.

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <vector>

#include "batch/BatchInputs.h"
#include "io/VideoFrames.h"

namespace quendra {

struct WorkUnit {
    std::size_t seq = 0;      // place in the run's order, from 0
    std::size_t item = 0;     // index into the run's items
    int frame = -1;           // -1 for a picture, which the worker reads itself
    double rate = 0;          // of the video, frames per second
    double reportedRate = 0;  // as the video's file claims it (VideoFrames::reportedRate)
    bool lastOfItem = true;   // nothing of this item follows
    bool unreadable = false;  // the video, or this frame of it, could not be read
    PictureStatus status = PictureStatus::Ok;  // why the video could not be read
    cv::Size size;                             // of its frames, as the stream gives it
    int error = 0;                             // the system's reason with CannotOpen
    bool replay = false;  // done before a resumed run: at most its movie frame is made
    cv::Mat picture;      // the video frame, decoded
};

// Where a run starts: the first item, and for a video the first frame whose rows it writes.
struct StartAt {
    std::size_t item = 0;
    int frame = 0;
};

class FrameQueue {
public:
    // At most `maxAhead` units are handed out beyond the last one written, which bounds the
    // frames held in memory while an early unit is still being worked on. A run that starts in
    // the middle of a video hands out the frames before `start.frame` as replays when
    // `replayStart`, so that its movie can be made whole again, and skips them otherwise.
    FrameQueue(const std::vector<BatchItem>& items, int every, std::size_t maxAhead,
               StartAt start = {}, bool replayStart = false);

    // The next unit; false once there is none left or the run was stopped.
    bool next(WorkUnit& unit);
    // Unit `seq` and all before it are written.
    void written(std::size_t seq);
    // No unit is handed out any more.
    void stop();

private:
    bool takeVideoFrame(WorkUnit& unit);

    const std::vector<BatchItem>& items;
    const int every;
    const std::size_t maxAhead;
    const StartAt start;
    const bool replayStart;

    std::mutex mutex;
    std::condition_variable progress;
    bool stopped = false;
    std::size_t nextSeq = 0;
    std::size_t writtenUpTo = 0;  // units below this are written
    std::size_t nextItem = 0;
    std::size_t videoItem = 0;
    std::unique_ptr<VideoFrames> video;
    int nextFrame = 0;
    int firstWritten = 0;  // of the open video, the first frame that is no replay
};

}  // namespace quendra
