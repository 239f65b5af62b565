#pragma once

// The window keeps its settings from one start to the next: tests keep theirs apart from the
// user's (Qt's test location), and each starts from the defaults.

#include <QStandardPaths>

#include "app/WindowSettings.h"

inline void useFreshTestSettings() {
    QStandardPaths::setTestModeEnabled(true);
    WindowSettings().reset();
}
