#include "app/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

QLocale german() {
    return {QLocale::German, QLocale::Germany};
}

// Sets an environment variable until the end of the scope.
class EnvironmentFor {
public:
    EnvironmentFor(const char* name, const QByteArray& value)
        : variable(name), before(qgetenv(name)), wasSet(qEnvironmentVariableIsSet(name)) {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~EnvironmentFor() { wasSet ? qputenv(variable, before) : qunsetenv(variable); }
    EnvironmentFor(const EnvironmentFor&) = delete;
    EnvironmentFor& operator=(const EnvironmentFor&) = delete;

private:
    const char* variable;
    QByteArray before;
    bool wasSet;
};

}  // namespace

void useGermanFormats() {
    {
        // LC_ALL would outrank the categories; the system locale is read at its first use.
        const EnvironmentFor all("LC_ALL", {});
        const EnvironmentFor numbers("LC_NUMERIC", "de_DE.UTF-8");
        const EnvironmentFor times("LC_TIME", "de_DE.UTF-8");
        (void)QLocale::system();
    }
    QLocale::setDefault(german());
}

bool loadGermanQtTranslation() {
    // Lives as long as the application, which owns it.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(german(), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}
