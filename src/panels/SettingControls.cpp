#include "panels/SettingControls.h"

#include <QLabel>
#include <QSlider>
#include <QSpinBox>

QString declaredText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* settingLabel(const quendra::SettingDeclaration& setting, QWidget* parent) {
    return new QLabel(declaredText(setting.control->label), parent);
}

QSlider* settingSlider(const quendra::SettingDeclaration& setting, QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    const quendra::SettingRange range = setting.controlRange();
    slider->setRange(static_cast<int>(range.lowest), static_cast<int>(range.highest));
    return slider;
}

QSpinBox* settingBox(const quendra::SettingDeclaration& setting, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    const quendra::SettingRange range = setting.controlRange();
    box->setRange(static_cast<int>(range.lowest), static_cast<int>(range.highest));
    return box;
}
