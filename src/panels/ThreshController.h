#pragma once

#include <QWidget>

class CalculationModel;
class QGridLayout;
class QLabel;
class QSlider;

// The three analysis settings: canal colour threshold ("Schwellwert:", 0..255), ignored outer
// border ("Aussengrenze:", 0..50 px) and acceptance-ellipse scale ("Filterradius:", 0..10,
// shown as 0 % .. 100 %).
class ThreshController : public QWidget {
    Q_OBJECT
public:
    ThreshController();

    // Places the sliders at the model's values, then connects them to the model's setters.
    void setModel(CalculationModel* model);

private slots:
    void updateThresLabel(int value);
    void updateBorderLabel(int value);
    void updateEllipseLabel(int value);

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
};
