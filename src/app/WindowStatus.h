#pragma once

#include <QString>

class ElidedLabel;
class QLabel;
class QStatusBar;
class QWidget;
class ViewArea;

// The status bar's parts: on its left what the operator's last step did (cut visibly, whole in
// its tool tip), on its right the analysis of the frame on screen and the zoom button.
class WindowStatus {
public:
    WindowStatus(QStatusBar* bar, ViewArea* area, QWidget* window);

    void showStep(const QString& text);
    QString step() const;
    void showAnalysis(const QString& text);

private:
    ElidedLabel* stepLabel;  // the labels belong to the status bar
    QLabel* analysisLabel;
};
