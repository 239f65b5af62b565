#include "panels/VideoController.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>

#include "panels/ShortcutTip.h"
#include "sources/VideoModel.h"

namespace {

// `keys` press `button` wherever the focus is in the window, as long as `panel` is shown (that
// is, while a video is open); held down, they press it again and again if `repeat`.
void bindKeys(QWidget* panel, QPushButton* button, const QKeySequence& keys, const QString& what,
              bool repeat) {
    auto* shortcut = new QShortcut(keys, panel);
    shortcut->setAutoRepeat(repeat);
    QObject::connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
    button->setToolTip(shortcutTip(what, keys));
}

}  // namespace

VideoController::VideoController()
    : layout(new QGridLayout(this)),
      frameSlider(new QSlider(Qt::Horizontal, this)),
      playButton(new QPushButton(QStringLiteral(">/||"), this)),
      nextButton(new QPushButton(QStringLiteral("|>"), this)),
      prevButton(new QPushButton(QStringLiteral("<|"), this)),
      frameLabel(new QLabel(QStringLiteral("Bild:"), this)),
      frameValueLabel(new QLabel(QStringLiteral("0"), this)) {
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    frameSlider->setRange(0, 100);
    layout->addWidget(playButton, 0, 0);
    layout->addWidget(prevButton, 0, 1);
    layout->addWidget(frameSlider, 0, 2);
    layout->addWidget(nextButton, 0, 3);
    layout->addWidget(frameLabel, 1, 0);
    layout->addWidget(frameValueLabel, 1, 1);
    connect(frameSlider, &QSlider::valueChanged, this, &VideoController::updateLabel);
    bindKeys(this, playButton, Qt::Key_Space, QStringLiteral("Abspielen / Anhalten"), false);
    bindKeys(this, prevButton, Qt::Key_Left, QStringLiteral("Ein Bild zurück"), true);
    bindKeys(this, nextButton, Qt::Key_Right, QStringLiteral("Ein Bild vor"), true);
}

void VideoController::updateLabel(int value) {
    frameValueLabel->setText(QStringLiteral("%1").arg(value + firstNumber));
}

void VideoController::setModel(VideoModel* video) {
    connect(prevButton, &QPushButton::clicked, video, &VideoModel::prevFrame);
    connect(playButton, &QPushButton::clicked, video, &VideoModel::togglePlaying);
    connect(nextButton, &QPushButton::clicked, video, &VideoModel::nextFrame);
    const bool stack = video->isStack();
    firstNumber = stack ? 1 : 0;
    frameLabel->setText(stack ? QStringLiteral("Schicht:") : QStringLiteral("Bild:"));
    prevButton->setToolTip(shortcutTip(
        stack ? QStringLiteral("Eine Schicht zurück") : QStringLiteral("Ein Bild zurück"),
        Qt::Key_Left));
    nextButton->setToolTip(
        shortcutTip(stack ? QStringLiteral("Eine Schicht vor") : QStringLiteral("Ein Bild vor"),
                    Qt::Key_Right));
    frameSlider->setMaximum(video->getFrameCount() - 1);
    frameSlider->setValue(video->getPosition());
    updateLabel(frameSlider->value());
    connect(frameSlider, &QSlider::valueChanged, video, &VideoModel::setFrame);
    connect(video, &VideoModel::frameChanged, this, &VideoController::follow);
}

// The slider follows the video without handing the index back: the video would show and
// analyse the same frame a second time.
void VideoController::follow(int index) {
    const QSignalBlocker quiet(frameSlider);
    frameSlider->setValue(index);
    updateLabel(frameSlider->value());
}
