#include "panels/PickerController.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include "model/CalculationModel.h"
#include "panels/SettingControls.h"

PickerController::PickerController()
    : layout(new QGridLayout(this)),
      classGroup(new QButtonGroup(this)),
      enamelButton(new QRadioButton(QStringLiteral("Zahnschmelz"), this)),
      gumButton(new QRadioButton(QStringLiteral("Zahnfleisch"), this)),
      previewButton(new QPushButton(QStringLiteral("Vorschau"), this)),
      thresholdLabel(settingLabel(quendra::kClassThresholdSetting, this)),
      valueLabel(new QLabel(QStringLiteral("0"), this)),
      thresholdSlider(settingSlider(quendra::kClassThresholdSetting, this)),
      autoBox(new QCheckBox(QStringLiteral("automatisch"), this)) {
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    classGroup->addButton(enamelButton, 1);
    classGroup->addButton(gumButton, 2);
    enamelButton->setChecked(true);
    layout->addWidget(enamelButton, 0, 0);
    layout->addWidget(gumButton, 0, 1);
    layout->addWidget(previewButton, 0, 2);
    layout->addWidget(thresholdLabel, 1, 0);
    layout->addWidget(thresholdSlider, 1, 1, 1, 2);
    layout->addWidget(valueLabel, 1, 3);
    layout->addWidget(autoBox, 1, 4);
    autoBox->setToolTip(QStringLiteral(
        "Farbklassen-Schwellwert aus dem Abstand der aufgenommenen Farben wählen, damit auch "
        "graue Bilder (Mikro-CT, DVT) wie farbige erkannt werden."));
    connect(autoBox, &QCheckBox::toggled, thresholdSlider, &QSlider::setDisabled);
    // Named like the canal threshold of the threshold panel: the tool tip tells them apart.
    const QString tip =
        QStringLiteral(
            "Farbklassen-Schwellwert (%1 bis %2): wie nah eine Farbe, in jedem Farbkanal, an den "
            "aufgenommenen Farben einer Klasse liegen muss, damit sie zu dieser Klasse zählt. "
            "Höher: mehr Farben werden Zahnschmelz oder Zahnfleisch.")
            .arg(thresholdSlider->minimum())
            .arg(thresholdSlider->maximum());
    thresholdLabel->setToolTip(tip);
    thresholdSlider->setToolTip(tip);
    connect(thresholdSlider, &QSlider::valueChanged, this, &PickerController::updateLabel);
}

void PickerController::connectModel(CalculationModel* m) {
    model = m;
    connect(classGroup, &QButtonGroup::idClicked, model, &CalculationModel::switchColorClass);
    connect(previewButton, &QPushButton::clicked, model, &CalculationModel::previewLUT);
    connect(previewButton, &QPushButton::clicked, this, &PickerController::previewClicked);
    thresholdSlider->setValue(model->getLutThreshold());
    connect(thresholdSlider, &QSlider::valueChanged, model, &CalculationModel::setLutThreshold);
    autoBox->setChecked(model->isAutoLutThreshold());
    connect(autoBox, &QCheckBox::toggled, model, &CalculationModel::setAutoLutThreshold);
    connect(autoBox, &QCheckBox::toggled, this, &PickerController::showThresholdInUse);
    connect(model, &CalculationModel::frameProcessed, this, &PickerController::showThresholdInUse);
}

void PickerController::showSettings(const quendra::AnalysisSettings& settings) {
    thresholdSlider->setValue(settings.classThreshold);
    autoBox->setChecked(settings.autoClassThreshold);
}

void PickerController::showThresholdInUse() {
    updateLabel(autoBox->isChecked() ? model->usedLutThreshold() : thresholdSlider->value());
}

void PickerController::updateLabel(int value) {
    valueLabel->setText(QStringLiteral("%1").arg(value));
}
