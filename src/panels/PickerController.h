#pragma once

#include <QWidget>

#include "analysis/AnalysisSettings.h"

class CalculationModel;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

// Colour-class training in the configuration mode: the class given to picked colours
// ("Zahnschmelz" 1, "Zahnfleisch" 2), the preview ("Vorschau") and the class threshold
// ("Schwellwert:" over its declared range, SettingDeclarations.h, or "automatisch" from the
// loaded classes, its label then showing the threshold in use).
class PickerController : public QWidget {
    Q_OBJECT
public:
    PickerController();

    void connectModel(CalculationModel* model);
    // Places the class threshold and its box at these settings; the model follows them.
    void showSettings(const quendra::AnalysisSettings& settings);

signals:
    // "Vorschau" was clicked; the model paints the preview itself.
    void previewClicked();

private slots:
    void updateLabel(int value);
    void showThresholdInUse();

private:
    QGridLayout* layout;
    QButtonGroup* classGroup;
    QRadioButton* enamelButton;
    QRadioButton* gumButton;
    QPushButton* previewButton;
    QLabel* thresholdLabel;
    QLabel* valueLabel;
    QSlider* thresholdSlider;
    QCheckBox* autoBox;
    CalculationModel* model = nullptr;
};
