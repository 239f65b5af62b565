#include "app/CameraTexts.h"

#include <QLocale>
#include <QStringList>
#include <cmath>

#include "sources/CameraDevice.h"

QString cameraFormatText(int width, int height, const std::string& format, double rate) {
    QStringList parts;
    if (width > 0 && height > 0)
        parts << QStringLiteral("%1 × %2 Bildpunkte").arg(width).arg(height);
    if (!format.empty()) parts << QString::fromStdString(format);
    if (rate > 0) parts << QStringLiteral("%1 Bilder/s").arg(QLocale().toString(rate, 'g', 4));
    return parts.join(QStringLiteral(", "));
}

namespace {

// A setting the camera did not take: one asked for that differs from what it delivers.
bool refused(const CameraSettings& a, const CameraDelivery& d) {
    const bool size =
        a.width > 0 && a.height > 0 && d.width > 0 && (a.width != d.width || a.height != d.height);
    const bool format =
        !a.pixelFormat.empty() && !d.pixelFormat.empty() && a.pixelFormat != d.pixelFormat;
    const bool rate = a.framesPerSecond > 0 && d.framesPerSecond > 0 &&
                      std::abs(a.framesPerSecond - d.framesPerSecond) > 0.5;
    return size || format || rate;
}

}  // namespace

QString cameraOpenedStatus(const CameraSettings& a, const CameraDelivery& d) {
    const QString format = cameraFormatText(d.width, d.height, d.pixelFormat, d.framesPerSecond);
    QString text = d.width > 0 ? QStringLiteral("Kamera geöffnet: %1.").arg(format)
                               : QStringLiteral("Kamera geöffnet.");
    if (refused(a, d))
        text += QStringLiteral(" Verlangt war %1; die Kamera hat das Format abgelehnt.")
                    .arg(cameraFormatText(a.width, a.height, a.pixelFormat, a.framesPerSecond));
    return text;
}

QString cameraFaultText(CameraFault fault, const CameraSettings& s) {
    const QString device = QString::fromStdString(s.device);
    const QString path = QString::fromStdString(camera::devicePath(s.device));
    switch (fault) {
        case CameraFault::Missing:
            return QStringLiteral("Kamera \"%1\" nicht gefunden: es gibt kein Gerät %2.")
                .arg(device, path);
        case CameraFault::NoAccess:
            return QStringLiteral("Kamera \"%1\": keine Berechtigung für %2 (Gruppe video?).")
                .arg(device, path);
        case CameraFault::Busy:
            return QStringLiteral(
                       "Kamera \"%1\" ließ sich nicht starten: %2 wird von einem "
                       "anderen Programm verwendet oder ist keine Kamera.")
                .arg(device, path);
        case CameraFault::Refused:
            return QStringLiteral(
                       "Die Quelle \"%1\" ließ sich nicht öffnen: Pipeline oder "
                       "Adresse prüfen.")
                .arg(device);
        case CameraFault::None:
            break;
    }
    return {};
}
