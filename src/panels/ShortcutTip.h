#pragma once

// Tool tips that name the keys of a command.

#include <QKeySequence>
#include <QString>

// "Bild öffnen (Strg+O)": `text` without trailing dots, then the keys as the platform writes
// them (German once Qt's German translation is loaded); the bare text for no keys.
QString shortcutTip(QString text, const QKeySequence& keys);
