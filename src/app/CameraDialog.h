#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "sources/CameraControls.h"
#include "sources/CameraSettings.h"

namespace Ui {
class CameraDialog;
}

// Chooses the camera, its format, and the controls that keep its colours still. The controls
// a running camera lacks are greyed out, saying why; before the camera runs they are all
// offered and set, where the camera has them, when it opens.
class CameraDialog : public QDialog {
    Q_OBJECT
public:
    // `running` the controls of the camera now running; null when none is.
    CameraDialog(const CameraSettings& settings, const CameraControlSupport* running,
                 QWidget* parent = nullptr);
    ~CameraDialog() override;

    CameraSettings settings() const;

private:
    void showSettings(const CameraSettings& settings);
    // Greys out what the running camera lacks, and what its locks leave to the camera.
    void updateControls();

    std::unique_ptr<Ui::CameraDialog> ui;
    std::optional<CameraControlSupport> support;
};
