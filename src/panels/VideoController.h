#pragma once

#include <QWidget>

class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;
class VideoModel;

// Steers a video: play/pause (">/||"), one frame back ("<|") and forward ("|>"), a slider over
// all frames and the current frame number ("Bild:"; for a stack of slices "Schicht:", and its
// step buttons say "Schicht" too).
class VideoController : public QWidget {
    Q_OBJECT
public:
    VideoController();

    // Binds the buttons and the slider to a newly opened video; the slider runs from 0 to the
    // frame count and follows the video's position.
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
};
