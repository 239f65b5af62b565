#include "panels/ThreshController.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>

#include "model/CalculationModel.h"
#include "panels/SettingControls.h"

ThreshController::ThreshController()
    : layout(new QGridLayout(this)),
      thresholdLabel(settingLabel(quendra::kThresholdSetting, this)),
      thresholdValueLabel(new QLabel(QStringLiteral("0"), this)),
      thresholdSlider(settingSlider(quendra::kThresholdSetting, this)),
      borderSlider(settingSlider(quendra::kBorderSetting, this)),
      borderLabel(settingLabel(quendra::kBorderSetting, this)),
      borderValueLabel(new QLabel(QStringLiteral("0px"), this)),
      radiusSlider(settingSlider(quendra::kFilterSetting, this)),
      radiusLabel(settingLabel(quendra::kFilterSetting, this)),
      radiusValueLabel(new QLabel(QStringLiteral("0%"), this)),
      autoThresholdBox(new QCheckBox(QStringLiteral("automatisch"), this)),
      minCanalLabel(settingLabel(quendra::kMinCanalAreaSetting, this)),
      minCanalBox(settingBox(quendra::kMinCanalAreaSetting, this)),
      allTeethBox(new QCheckBox(declaredText(quendra::kTeethSetting.control->label), this)) {
    minCanalBox->setSuffix(QStringLiteral(" px"));
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    layout->addWidget(thresholdLabel, 0, 0);
    layout->addWidget(thresholdSlider, 0, 1);
    layout->addWidget(thresholdValueLabel, 0, 2);
    layout->addWidget(borderLabel, 1, 0);
    layout->addWidget(borderSlider, 1, 1);
    layout->addWidget(borderValueLabel, 1, 2);
    layout->addWidget(radiusLabel, 2, 0);
    layout->addWidget(radiusSlider, 2, 1);
    layout->addWidget(radiusValueLabel, 2, 2);
    layout->addWidget(autoThresholdBox, 0, 3);
    layout->addWidget(minCanalLabel, 3, 0);
    layout->addWidget(minCanalBox, 3, 1);
    layout->addWidget(allTeethBox, 3, 2, 1, 2);
    autoThresholdBox->setToolTip(
        QStringLiteral("Kanal-Schwellwert für jeden Zahn aus seinen eigenen Farben wählen: die "
                       "Grenze, die Kanal- und Zahnfarben am besten trennt."));
    minCanalBox->setToolTip(QStringLiteral(
        "Ein Wurzelkanal muss mehr Bildpunkte haben; kleiner für Schnitte geringer Auflösung."));
    minCanalLabel->setToolTip(minCanalBox->toolTip());
    allTeethBox->setToolTip(
        QStringLiteral("Jede Zahnfläche ab %1 Bildpunkten als eigenen Zahn (Wurzel) "
                       "untersuchen, nicht nur die größte.")
            .arg(quendra::kMinToothAreaSetting.fallback));
    // The slider says nothing while the threshold is chosen per tooth.
    connect(autoThresholdBox, &QCheckBox::toggled, thresholdSlider, &QSlider::setDisabled);
    // Three sliders, one of them named like the picker's: each row says what it sets.
    const auto explain = [](QLabel* label, QSlider* slider, const QString& tip) {
        label->setToolTip(tip);
        slider->setToolTip(tip);
    };
    explain(thresholdLabel, thresholdSlider,
            QStringLiteral("Kanal-Schwellwert (%1 bis %2): wie weit die Farbe eines Bildpunkts im "
                           "Zahn von der dunkelsten Stelle des Zahns abweichen darf, damit er zu "
                           "einem Wurzelkanal zählt. Höher: größere Kanäle; 0: kein Kanal.")
                .arg(thresholdSlider->minimum())
                .arg(thresholdSlider->maximum()));
    explain(borderLabel, borderSlider,
            QStringLiteral("Breite des Rands in Bildpunkten, in dem kein Zahn gesucht wird; das "
                           "rote Rechteck zeigt den durchsuchten Bereich."));
    explain(radiusLabel, radiusSlider,
            QStringLiteral("Größe der grünen Ellipse, in der ein Kanal liegen muss, in Prozent der "
                           "weißen Zahnellipse; 0 %: kein Kanal wird angenommen."));
    connect(thresholdSlider, &QSlider::valueChanged, this, &ThreshController::updateThresLabel);
    connect(borderSlider, &QSlider::valueChanged, this, &ThreshController::updateBorderLabel);
    connect(radiusSlider, &QSlider::valueChanged, this, &ThreshController::updateEllipseLabel);
}

void ThreshController::setModel(CalculationModel* m) {
    model = m;
    thresholdSlider->setValue(model->getThreshold());
    connect(thresholdSlider, &QSlider::valueChanged, model, &CalculationModel::setThreshold);
    borderSlider->setValue(model->getBorder());
    connect(borderSlider, &QSlider::valueChanged, model, &CalculationModel::setBorder);
    radiusSlider->setValue(static_cast<int>(model->getEllipseRadius() * 10.0));
    connect(radiusSlider, &QSlider::valueChanged, model, &CalculationModel::setEllipseRadius);
    autoThresholdBox->setChecked(model->isAutoThreshold());
    connect(autoThresholdBox, &QCheckBox::toggled, model, &CalculationModel::setAutoThreshold);
    minCanalBox->setValue(model->getMinCanalArea());
    connect(minCanalBox, &QSpinBox::valueChanged, model, &CalculationModel::setMinCanalArea);
    allTeethBox->setChecked(model->isAllTeeth());
    connect(allTeethBox, &QCheckBox::toggled, model, &CalculationModel::setAllTeeth);
    connect(model, &CalculationModel::frameProcessed, this, &ThreshController::showThresholdInUse);
}

void ThreshController::showSettings(const quendra::AnalysisSettings& settings) {
    thresholdSlider->setValue(settings.threshold);
    borderSlider->setValue(settings.border);
    radiusSlider->setValue(settings.filter);
    autoThresholdBox->setChecked(settings.autoThreshold);
    minCanalBox->setValue(static_cast<int>(settings.minCanalArea));
    allTeethBox->setChecked(settings.teeth == quendra::TeethChoice::All);
}

void ThreshController::showThresholdInUse() {
    if (!autoThresholdBox->isChecked()) return updateThresLabel(thresholdSlider->value());
    const auto teeth = model->getResult().teeth();
    if (teeth.empty()) return thresholdValueLabel->setText(QStringLiteral("–"));
    const auto [low, high] = std::minmax_element(
        teeth.begin(), teeth.end(),
        [](const auto* a, const auto* b) { return a->canalThreshold < b->canalThreshold; });
    const int from = (*low)->canalThreshold, to = (*high)->canalThreshold;
    thresholdValueLabel->setText(from == to ? QString::number(from)
                                            : QStringLiteral("%1–%2").arg(from).arg(to));
}

void ThreshController::updateThresLabel(int value) {
    thresholdValueLabel->setText(QStringLiteral("%1").arg(value));
}

void ThreshController::updateBorderLabel(int value) {
    borderValueLabel->setText(QStringLiteral("%1px").arg(value));
}

void ThreshController::updateEllipseLabel(int value) {
    radiusValueLabel->setText(QStringLiteral("%1%").arg(value * 10));
}
