#pragma once

// The system's reasons (errno) for a file that could not be read or written, in German for the
// status bar: the common ones in the window's own words, any other as the C library gives it
// (German where the system speaks German).

#include <QString>

enum class FileAccess { Reading, Writing };

// `Datei nicht gefunden` when reading, `Ordner nicht gefunden` when writing, `Keine
// Leseberechtigung`, `Kein Platz mehr auf dem Datenträger`, ...; `Grund unbekannt` for 0.
QString systemErrorText(int error, FileAccess access);
