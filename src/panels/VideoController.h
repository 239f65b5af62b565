#pragma once

#include <QWidget>

class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;
class VideoModel;

// Steers a video: play/pause (">/||"), one frame back ("<|") and forward ("|>"), a slider over
// all frames and the current frame number ("Bild:"; for a stack of slices "Schicht:", and its
// step buttons say "Schicht" too). Frames are numbered as the batch's tables number them: a
// video's from 0, a stack's slices from 1.
class VideoController : public QWidget {
    Q_OBJECT
public:
    VideoController();

    // Binds the buttons and the slider to a newly opened video; the slider runs over the
    // frames, from frame 0 to the last, and follows the video's position.
    void setModel(VideoModel* video);
    QSlider* slider() const { return frameSlider; }

private slots:
    void updateLabel(int value);
    void follow(int index);

private:
    QGridLayout* layout;
    QSlider* frameSlider;
    QPushButton* playButton;
    QPushButton* nextButton;
    QPushButton* prevButton;
    QLabel* frameLabel;
    QLabel* frameValueLabel;
    int firstNumber = 0;  // the number shown for frame 0
};
