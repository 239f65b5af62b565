#include "app/WindowStatus.h"

#include <QLabel>
#include <QStatusBar>

#include "app/ElidedLabel.h"
#include "app/ZoomButton.h"

WindowStatus::WindowStatus(QStatusBar* bar, ViewArea* area, QWidget* window)
    : stepLabel(new ElidedLabel(bar)), analysisLabel(new QLabel(bar)) {
    stepLabel->setObjectName(QStringLiteral("statusText"));
    bar->addWidget(stepLabel, 1);
    analysisLabel->setObjectName(QStringLiteral("analysisLabel"));
    analysisLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addPermanentWidget(analysisLabel);
    bar->addPermanentWidget(new ZoomButton(area, window, bar));
}

void WindowStatus::showStep(const QString& text) {
    stepLabel->setFullText(text);
}

QString WindowStatus::step() const {
    return stepLabel->fullText();
}

void WindowStatus::showAnalysis(const QString& text) {
    analysisLabel->setText(text);
}
