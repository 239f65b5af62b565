#include "app/CameraCommands.h"

#include <QErrorMessage>
#include <memory>

#include "app/CameraDialog.h"
#include "app/CameraTexts.h"
#include "app/WindowSettings.h"
#include "sources/CameraModel.h"

namespace {

bool sameSource(const CameraSettings& a, const CameraSettings& b) {
    return a.device == b.device && a.width == b.width && a.height == b.height &&
           a.pixelFormat == b.pixelFormat && a.framesPerSecond == b.framesPerSecond;
}

}  // namespace

CameraCommands::CameraCommands(WindowSettings* s, QWidget* w) : settings(s), window(w) {}

CameraModel* CameraCommands::camera() const {
    return running && running->isOpen() ? running.data() : nullptr;
}

bool CameraCommands::open() {
    if (CameraModel::isInUse()) {
        showMessage(QStringLiteral("Die Kamera wird bereits verwendet."));
        return false;
    }
    return openWith(settings->camera());
}

bool CameraCommands::openWith(const CameraSettings& chosen) {
    settings->setCamera(chosen);
    auto camera = std::make_unique<CameraModel>(chosen);
    if (!camera->isOpen()) {
        emit statusChanged(cameraFaultText(camera->fault(), chosen));
        showMessage(QStringLiteral("Beim ansteuern der Kamera ist ein Fehler aufgetreten!"));
        return false;
    }
    running = camera.get();
    emit opened(camera.release());
    emit statusChanged(cameraOpenedStatus(chosen, running->delivery()));
    return true;
}

void CameraCommands::choose() {
    CameraModel* now = camera();
    CameraDialog dialog(settings->camera(), now ? &now->controls() : nullptr, window);
    if (dialog.exec() != QDialog::Accepted) return;
    const CameraSettings chosen = dialog.settings();
    if (now && sameSource(now->settings(), chosen)) {
        settings->setCamera(chosen);
        now->applyControls(chosen);
        emit statusChanged(QStringLiteral("Belichtung und Weißabgleich der Kamera gesetzt."));
        return;
    }
    if (now) now->close();  // the device is free for the camera chosen now
    openWith(chosen);
}

void CameraCommands::showMessage(const QString& text) {
    emit messageShown(text);
    QErrorMessage dialog(window);
    // Modal from the moment showMessage() puts it on screen.
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.showMessage(text);
    dialog.exec();
}
