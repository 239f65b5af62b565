#include "app/SystemErrors.h"

#include <cerrno>
#include <cstring>

QString systemErrorText(int error, FileAccess access) {
    const bool reading = access == FileAccess::Reading;
    switch (error) {
        case 0:
            return QStringLiteral("Grund unbekannt");
        case ENOENT:  // writing, the file itself need not exist: its folder is missing
            return reading ? QStringLiteral("Datei nicht gefunden")
                           : QStringLiteral("Ordner nicht gefunden");
        case EACCES:
        case EPERM:
            return reading ? QStringLiteral("Keine Leseberechtigung")
                           : QStringLiteral("Keine Schreibberechtigung");
        case EROFS:
            return QStringLiteral("Das Dateisystem ist schreibgeschützt");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("Kein Platz mehr auf dem Datenträger");
        case EFBIG:
            return QStringLiteral("Die Datei ist zu groß für das Dateisystem");
        case ENOTDIR:
            return QStringLiteral("Ein Teil des Pfads ist kein Ordner");
        case EISDIR:
            return QStringLiteral("Das ist ein Ordner");
        case ENAMETOOLONG:
            return QStringLiteral("Der Name ist zu lang");
        case ELOOP:
            return QStringLiteral("Zu viele symbolische Verknüpfungen");
        case EIO:
            return QStringLiteral("Ein-/Ausgabefehler des Datenträgers");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}
