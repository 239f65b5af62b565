#pragma once

#include <QTimer>
#include <optional>
#include <string>

#include "io/StackFrames.h"
#include "io/VideoFrames.h"
#include "sources/FrameModel.h"

// A video file, or a stack of slices (a multi-page TIFF, its slices mapped by the stack's one
// grey window), played in an endless loop: after the last frame comes frame 0, before frame 0
// the last. Starts paused at frame 0. Every navigation step notifies the observer first and
// then announces the new position through frameChanged(int).
class VideoModel : public FrameModel {
    Q_OBJECT
public:
    // `path` in the platform's file-name encoding; a TIFF file (by its name) is a stack.
    explicit VideoModel(const std::string& path);

    // False when the file did not open, reports no frames, or its first frame cannot be read.
    bool isValid() const { return valid; }
    // A stack of slices rather than a video.
    bool isStack() const { return stack.has_value(); }

    // The frame at the current position; empty when the file cannot deliver it.
    cv::Mat getFrame() override;
    void setObserver(FrameObserver* observer) override;

    int getPosition() const { return position; }
    int getFrameCount() const { return stack ? stack->frameCount() : video->frameCount(); }
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

public slots:
    // Any index, negative ones included, is taken modulo the frame count.
    void setFrame(int index);
    void nextFrame();
    void prevFrame();
    void togglePlaying();

private:
    QTimer timer;
    std::optional<quendra::VideoFrames> video;
    std::optional<quendra::StackFrames> stack;
    bool valid = false;
    FrameObserver* observer = nullptr;
    int position = 0;
    bool playing = false;
};
