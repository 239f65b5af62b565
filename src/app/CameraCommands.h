#pragma once

#include <QObject>
#include <QPointer>

#include "sources/CameraSettings.h"

class CameraModel;
class QWidget;
class WindowSettings;

// The window's camera commands: starting the camera as last chosen, and choosing it in the
// settings dialog. A camera that cannot be opened is told in a message (the window's own
// words) and why in the status bar.
class CameraCommands : public QObject {
    Q_OBJECT
public:
    // Both outlive this object.
    CameraCommands(WindowSettings* settings, QWidget* window);

    // The camera running now, which the window's model owns; null when none is.
    CameraModel* camera() const;

public slots:
    // The camera as last chosen; refused while one is in use.
    bool open();
    // The camera of `settings`, kept as the choice.
    bool openWith(const CameraSettings& settings);
    // The settings dialog. On OK the choice is kept, and the camera opened with it; a camera
    // running in the same format only gets its controls set.
    void choose();

signals:
    // A camera source, handed over to the receiver.
    void opened(CameraModel* camera);
    void statusChanged(const QString& text);
    // Before the message goes on screen.
    void messageShown(const QString& text);

private:
    // In a fresh, modal error-message dialog; returns once it was closed.
    void showMessage(const QString& text);

    WindowSettings* settings;
    QWidget* window;
    QPointer<CameraModel> running;
};
