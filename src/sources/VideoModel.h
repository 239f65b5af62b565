#pragma once

#include <string>

#include <QTimer>
#include <opencv2/videoio.hpp>

#include "sources/FrameModel.h"

// A video file, played in an endless loop: after the last frame comes frame 0, before frame 0
// the last. Starts paused at frame 0. Every navigation step notifies the observer first and
// then announces the new position through frameChanged(int).
class VideoModel : public FrameModel {
    Q_OBJECT
public:
    // `path` in the platform's file-name encoding.
    explicit VideoModel(const std::string& path);

    // False when the file did not open, reports no frames, or its first frame cannot be read.
    bool isValid() const { return valid; }

    // The frame at the current position. Reads on without seeking when it is the frame right
    // after the last one read (far cheaper for files with few key frames); seeks otherwise.
    // Empty when the file cannot deliver that frame.
    cv::Mat getFrame() override;
    void setObserver(FrameObserver* observer) override;

    int getPosition() const { return position; }
    int getFrameCount() const { return frameCount; }
    bool isPlaying() const { return playing; }
    // Milliseconds between frames while playing: 1000 / frames per second (25 when unknown).
    int getInterval() const { return timer.interval(); }

signals:
    void frameChanged(int index);

public slots:
    // Any index, negative ones included, is taken modulo the frame count.
    void setFrame(int index);
    void nextFrame();
    void prevFrame();
    void togglePlaying();

private:
    void moveTo(int index);
    bool readAt(int index);

    QTimer timer;
    cv::VideoCapture capture;
    FrameObserver* observer = nullptr;
    int position = 0;
    int frameCount = 0;
    int fps = 0;
    bool playing = false;
    bool valid = false;
    cv::Mat frame;
    int decoded = -1;   // index of the frame in `frame`, -1 for none
    int nextRead = 0;   // index the next plain read delivers, -1 when unknown
};
