#pragma once

#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "io/StackFrames.h"
#include "io/VideoFrames.h"
#include "sources/FrameModel.h"
#include "sources/FrameReadAhead.h"
#include "sources/PlaybackClock.h"

// A video file, or a stack of slices (a multi-page TIFF, its slices mapped by the stack's one
// grey window), played in an endless loop: after the last frame comes frame 0, before frame 0
// the last. Starts paused at frame 0. Every navigation step notifies the observer first and
// then announces the new position through frameChanged(int).
//
// Playing keeps the video's own time. The frames after the current one are read on
// (FrameReadAhead) while it is analysed and shown; when reading, analysing and showing a frame
// takes longer than the frame's time, the frames due meanwhile are skipped (framesSkipped). The
// frames are those that can be read: a file cut off (or a header that promises more) ends where
// reading ends, and a frame inside that cannot be read is told (frameUnreadable) while the frame
// read before stays on screen. A stack whose first slices cannot be read starts at the first that
// can.
class VideoModel : public FrameModel {
    Q_OBJECT
public:
    // `path` in the platform's file-name encoding, a TIFF file (by its name) a stack; `now` the
    // clock playback keeps to.
    explicit VideoModel(const std::string& path,
                        PlaybackClock::Now now = PlaybackClock::steadyMilliseconds);

    // False when the file did not open, reports no frames, or (a video) its first frame or (a
    // stack) none of its slices can be read; then lastFault() says why.
    bool isValid() const { return valid; }
    // A stack of slices rather than a video.
    bool isStack() const { return stack.has_value(); }

    // The frame at the current position; empty when the file cannot deliver it.
    cv::Mat getFrame() override;
    void setObserver(FrameObserver* observer) override;

    int getPosition() const { return position; }
    // The frames that can be read, from frame 0.
    int getFrameCount() const { return count; }
    // The frames the file's header promises; more than getFrameCount() for a damaged video.
    int getHeaderFrameCount() const { return stack ? stack->frameCount() : video->frameCount(); }
    // Of a TIFF stack that ends before its last page or whose pages loop back: its slices are
    // the pages before.
    quendra::PageChain pageChain() const {
        return stack ? stack->pageChain() : quendra::PageChain::Whole;
    }
    // Why the last frame that could not be read was refused, and its size as its header gives
    // it (a stack's slice above the picture limit); Unreadable for a video's frame.
    quendra::PictureStatus lastFault() const { return fault.status; }
    cv::Size lastFaultSize() const { return fault.size; }
    // Frames per second as the file gives them (25 when it does not, and for a stack).
    double getRate() const { return stack ? quendra::VideoFrames::kFallbackFps : video->rate(); }
    bool isPlaying() const { return playing; }
    // Milliseconds between frames while playing: 1000 / frames per second (25 when unknown),
    // at least kMinInterval: a file that claims a million frames per second would otherwise
    // play on a 0 ms timer and keep a core busy for nothing.
    int getInterval() const { return timer.interval(); }

    static constexpr int kMinInterval = 10;

signals:
    void frameChanged(int index);
    // Frames skipped since playback started: 0 as it starts, then whenever more were.
    void framesSkipped(int total);
    // The frame at `index` could not be read; the one at `shown` is still on screen.
    void frameUnreadable(int index, int shown);

public slots:
    // Any index, negative ones included, is taken modulo the frame count.
    void setFrame(int index);
    void nextFrame();
    void prevFrame();
    void togglePlaying();

private slots:
    void playOn();

private:
    // Moves to the frame at `index` (modulo the frame count) and passes it down the chain.
    void show(int index);

    // The frame at `index` of the video or the stack, or why it cannot be read. Runs on the
    // reading thread, once the reader is there.
    quendra::SliceFrame readFrame(int index);
    // The first slice of the stack that can be read, as the position; false when none can.
    bool startAtFirstReadableSlice();

    QTimer timer;
    std::optional<quendra::VideoFrames> video;
    std::optional<quendra::StackFrames> stack;
    bool valid = false;
    int count = 0;
    quendra::SliceFrame fault;  // status and size of the last frame that could not be read
    PlaybackClock clock;
    FrameObserver* observer = nullptr;
    int position = 0;
    int lastRead = 0;  // the position whose frame was read last
    bool readFailed = false;
    int readSteps = 0;   // frames the read at a tick goes on by, while it is to be timed
    int keptIndex = -1;  // the frame read last, kept for a setting changed meanwhile
    cv::Mat kept;
    bool playing = false;
    int skipped = 0;
    std::unique_ptr<FrameReadAhead> reader;  // last: its thread stops before the files close
};
