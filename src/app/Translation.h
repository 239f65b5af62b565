#pragma once

// Qt's own texts and formats in German: file dialogs, their questions, the buttons of message
// boxes, the names of keys ("Strg+O"), and the dates and sizes the file dialogs list. The
// window's own texts are German already; without this, every dialog Qt builds would speak
// English in the middle of a German program.

// Dates, times and numbers in German wherever Qt formats them, whatever the system's language.
// Qt's file dialogs take them from the system's locale, which Qt reads from the environment
// once, so this must be called before the application is made (a default locale does not
// reach them). The C library keeps the user's locale, and started programs the environment.
void useGermanFormats();

// Installs Qt's German translation from Qt's translation folder. False when the translation is
// not there (Qt's dialogs then stay English); call it once the application exists and before
// any window.
bool loadGermanQtTranslation();
