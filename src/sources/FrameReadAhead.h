#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "io/StackFrames.h"

// Reads the frames of a video or stack on a thread of its own, which is the only one that
// reads. While reading on (playback), the frames after the one asked for last are read one
// after the other while that one is analysed and shown, at most kAhead of them ahead: playback
// keeps its time wherever reading a frame takes less than a frame's time, and a frame asked
// for a tick late is often read already. A frame asked for that is neither read nor next to be
// read (a step back, a jump, frames skipped beyond those read) makes the thread read it next;
// the frames read before it are dropped. The asking thread waits for its frame.
class FrameReadAhead {
public:
    // Reads the frame at an index, on the reading thread.
    using Read = std::function<quendra::SliceFrame(int index)>;

    // Frames read on at most, besides the one asked for: enough for a tick that comes a frame
    // late, and no more, as a 4K frame holds 25 MB.
    static constexpr int kAhead = 2;

    // `count` frames (at least one), read on in a loop: after the last comes frame 0.
    FrameReadAhead(Read read, int count);
    // Joins the thread, after the read under way.
    ~FrameReadAhead();
    FrameReadAhead(const FrameReadAhead&) = delete;
    FrameReadAhead& operator=(const FrameReadAhead&) = delete;

    // The frame at `index` (0 <= index < count), waiting for it if need be. `milliseconds` the
    // reading time it cost, the frames dropped on the way to it included.
    quendra::SliceFrame frameAt(int index, double& milliseconds);
    // Whether the frames after the one asked for last are read before they are asked for.
    void setReadingOn(bool on);

private:
    struct Frame {
        int index = -1;
        quendra::SliceFrame read;
        double milliseconds = 0;  // what reading it took
    };

    void run();
    // Whether the frame at `index` is read, under way or to be read next.
    bool comesNext(int index) const;

    Read read;
    int count;
    std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    bool readingOn = false;
    bool asked = false;       // a thread waits for a frame
    int next = -1;            // the frame to read next, -1 for none
    int underWay = -1;        // the frame being read, -1 for none
    std::deque<Frame> ready;  // in the order read
    std::thread thread;       // last: started once everything it uses is there
};
