#pragma once

// The window's controls of the declared settings (analysis/SettingDeclarations.h): a slider or
// a box over the range declared for the window's control, and its label, as declared.

#include <QString>
#include <string_view>

#include "analysis/SettingDeclarations.h"

class QLabel;
class QSlider;
class QSpinBox;
class QWidget;

// A declared German text.
QString declaredText(std::string_view text);

QLabel* settingLabel(const quendra::SettingDeclaration& setting, QWidget* parent);
QSlider* settingSlider(const quendra::SettingDeclaration& setting, QWidget* parent);
QSpinBox* settingBox(const quendra::SettingDeclaration& setting, QWidget* parent);
