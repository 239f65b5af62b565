#pragma once

#include <QSettings>
#include <QString>

#include "analysis/AnalysisSettings.h"
#include "sources/CameraSettings.h"

class CalculationModel;
class PickerController;
class ThreshController;

// What the window keeps from one start to the next (QSettings, in the user's configuration as
// "Quendra/Quendra"): the settings of its panels, the folder its file dialogs open in, and the
// colour-class file loaded last, and the camera chosen. Each is written when it changes, so that a
// program ended by a signal keeps them too.
class WindowSettings {
public:
    WindowSettings();

    // Places the panels at the kept settings (the model, bound to them, follows) and keeps
    // every later change of the model's settings. The model must outlive this object.
    void bind(CalculationModel* model, ThreshController* thresholds, PickerController* picker);

    // The panels' settings as kept, the defaults for those never kept; the rest of the
    // analysis settings (the batch's own) are the defaults.
    quendra::AnalysisSettings analysis() const;
    void setAnalysis(const quendra::AnalysisSettings& settings);

    // The user's home folder until a file was chosen or opened.
    QString folder() const;
    void setFolder(const QString& folder);

    // Empty until colour classes were loaded.
    QString classFile() const;
    void setClassFile(const QString& path);

    // The camera as last chosen; camera 0 in its own format until one was.
    CameraSettings camera() const;
    void setCamera(const CameraSettings& settings);

    // Forgets everything kept, and puts the panels back at the defaults: the next start is as
    // the first one.
    void reset();

private:
    void showInPanels(const quendra::AnalysisSettings& settings);

    QSettings store;
    ThreshController* thresholdPanel = nullptr;
    PickerController* pickerPanel = nullptr;
};
