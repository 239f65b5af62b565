#pragma once

#include <QWidget>

class QGridLayout;
class QLabel;
class QPushButton;
class QSlider;

// Steers a video: play/pause (">/||"), one frame back ("<|") and forward ("|>"), a slider over
// all frames and the current frame number ("Bild:").
class VideoController : public QWidget {
    Q_OBJECT
public:
    VideoController();

private slots:
    void updateLabel(int value);

private:
    QGridLayout* layout;
    QSlider* frameSlider;
    QPushButton* playButton;
    QPushButton* nextButton;
    QPushButton* prevButton;
    QLabel* frameLabel;
    QLabel* frameValueLabel;
};
