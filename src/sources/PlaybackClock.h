#pragma once

// Keeps a playing video on its own clock. The frames due by now are counted from the moment
// playback started (or was last set to a frame): at a tick, one step while the frame chain
// keeps up; when reading, analysing and showing took longer than the frames' time, as many
// steps as the frames due, so that the video's time stays the real time and the frames in
// between are skipped. Late by less than one frame counts as keeping up: a tick that comes a
// little late (the timer's own slack, a repaint) skips nothing, and a timer a little faster
// than the frames (whole milliseconds) waits a tick now and then.

#include <chrono>
#include <cstdint>
#include <functional>

class PlaybackClock {
public:
    // Milliseconds on a steady clock; tests stand a clock of their own in.
    using Now = std::function<std::int64_t()>;
    static std::int64_t steadyMilliseconds();

    explicit PlaybackClock(double framesPerSecond, Now now = steadyMilliseconds);

    // The frame shown now is on time.
    void start();
    // Frames to move on at this tick: 1 on time, more when late (at most kMaxSteps), 0 when a
    // whole frame early.
    int stepsDue();

    // Skipped frames are still decoded on the way (a video is read on, not sought, that far):
    // skipping catches up only while reading a frame takes less than its time. The cost of
    // reading one frame as last measured (milliseconds, skipped ones counted); from the
    // frame's time on, the clock steps one frame a tick and lets the video's time slip, which
    // shows the most frames such a chain can. Beyond kMaxSteps a tick would only cost more.
    void noteReadCost(double millisecondsPerFrame);
    static constexpr int kMaxSteps = 8;

    std::int64_t milliseconds() const { return now(); }

private:
    double framesPerMillisecond;
    Now now;
    std::int64_t started = 0;
    std::int64_t stepped = 0;  // frames moved on since start()
    double readCost = -1;      // milliseconds a frame, averaged over the last reads; -1 none
};
