#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "io/StackFrames.h"

// Reads the next frame of a video or stack on a thread of its own while the current one is
// analysed and shown: playback then keeps its time wherever reading alone takes less than a
// frame's time. The reader is never used by both threads at once: a frame asked for that was
// not read ahead is read on the asking thread once the read ahead under way has ended.
class FrameReadAhead {
public:
    // Reads the frame at an index; used on either thread, one at a time.
    using Read = std::function<quendra::SliceFrame(int index)>;

    explicit FrameReadAhead(Read read);
    // Joins the thread, after the read under way.
    ~FrameReadAhead();
    FrameReadAhead(const FrameReadAhead&) = delete;
    FrameReadAhead& operator=(const FrameReadAhead&) = delete;

    // The frame at `index`: the one read ahead when it is that one (waiting for it if need be),
    // otherwise read now. `milliseconds` the time reading it took, on whichever thread.
    quendra::SliceFrame frameAt(int index, double& milliseconds);
    // Starts reading the frame at `index` in the background, in place of one asked for before
    // and not yet begun.
    void readAhead(int index);

private:
    void run();

    Read read;
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    int requested = -1;  // to be read ahead, -1 for none
    bool reading = false;
    int readyIndex = -1;  // the frame read ahead, -1 for none
    quendra::SliceFrame ready;
    double readyCost = 0;  // milliseconds
    std::thread thread;    // last: started once everything it uses is there
};
