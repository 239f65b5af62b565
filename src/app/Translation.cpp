#include "app/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool loadGermanQtTranslation() {
    const QLocale german(QLocale::German, QLocale::Germany);
    QLocale::setDefault(german);
    // Lives as long as the application, which owns it.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(german, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}
