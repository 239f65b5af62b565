#pragma once

#include <QWidget>

#include "analysis/AnalysisSettings.h"

class CalculationModel;
class QGridLayout;
class QCheckBox;
class QLabel;
class QSlider;
class QSpinBox;

// The analysis settings, each control with the label and range declared for it
// (SettingDeclarations.h): the canal colour threshold ("Schwellwert:", or "automatisch" per
// tooth), the ignored outer border ("Aussengrenze:", in px), the acceptance-ellipse scale
// ("Filterradius:", in tenths shown as 0 % .. 100 %), the canal minimum ("Kanal-Mindestgröße:",
// pixels) and whether every tooth region is analysed ("alle Zähne"). While the threshold is
// automatic, its label shows the thresholds the analysis chose ("58–71" over several teeth).
class ThreshController : public QWidget {
    Q_OBJECT
public:
    ThreshController();

    // Places the sliders at the model's values, then connects them to the model's setters.
    void setModel(CalculationModel* model);
    // Places the sliders and boxes at these settings; once bound, the model follows them.
    void showSettings(const quendra::AnalysisSettings& settings);

private slots:
    void updateThresLabel(int value);
    void updateBorderLabel(int value);
    void updateEllipseLabel(int value);
    // The threshold label after an analysis: the slider's value, or the ones chosen per tooth.
    void showThresholdInUse();

private:
    QGridLayout* layout;
    QLabel* thresholdLabel;
    QLabel* thresholdValueLabel;
    QSlider* thresholdSlider;
    QSlider* borderSlider;
    QLabel* borderLabel;
    QLabel* borderValueLabel;
    QSlider* radiusSlider;
    QLabel* radiusLabel;
    QLabel* radiusValueLabel;
    QCheckBox* autoThresholdBox;
    QLabel* minCanalLabel;
    QSpinBox* minCanalBox;
    QCheckBox* allTeethBox;
    CalculationModel* model = nullptr;
};
