#include "sources/PlaybackClock.h"

#include <algorithm>
#include <cmath>

std::int64_t PlaybackClock::steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

PlaybackClock::PlaybackClock(double framesPerSecond, Now n)
    : framesPerMillisecond(framesPerSecond / 1000), now(std::move(n)) {}

void PlaybackClock::start() {
    started = now();
    stepped = 0;
}

int PlaybackClock::stepsDue() {
    const auto due = static_cast<std::int64_t>(
        std::floor(static_cast<double>(now() - started) * framesPerMillisecond));
    const std::int64_t lag = due - stepped;  // 1 on time
    // A whole frame ahead (a timer a little faster than the frames) waits a tick; one frame
    // of lag is let be, and beyond it the clock catches up to that one frame, by at most
    // kMaxSteps and while skipping pays: what lies beyond is given up, the video's time
    // slipping behind.
    const bool skippingPays = readCost * framesPerMillisecond < 1;
    const std::int64_t steps = lag < 0         ? 0
                               : !skippingPays ? 1
                                               : std::clamp<std::int64_t>(lag - 1, 1, kMaxSteps);
    stepped = std::max(stepped + steps, due - 1);
    return static_cast<int>(steps);
}

void PlaybackClock::noteReadCost(double millisecondsPerFrame) {
    readCost = readCost < 0 ? millisecondsPerFrame : (readCost + millisecondsPerFrame) / 2;
}
