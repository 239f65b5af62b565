#pragma once

// Qt's own texts in German: file dialogs, their questions, the buttons of message boxes and the
// names of keys ("Strg+O"). The window's own texts are German already; without this, every
// dialog Qt builds would speak English in the middle of a German program.

// Installs Qt's German translation from Qt's translation folder and makes German the default
// locale, whatever the system's language. False when the translation is not there (Qt's
// dialogs then stay English); call it once the application exists and before any window.
bool loadGermanQtTranslation();
