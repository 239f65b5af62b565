#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "app/QuendraRC1.h"
#include "app/QuitOnSignals.h"
#include "app/Translation.h"
#include "io/StandardStreams.h"

int main(int argc, char** argv) {
    quendra::openMissingStandardStreams();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quendra"));
    QApplication::setApplicationVersion(QStringLiteral(QUENDRA_VERSION));
    if (!loadGermanQtTranslation())
        std::fputs(
            "Qts deutsche Übersetzung (qtbase_de.qm, Paket qt6-translations-l10n) fehlt; "
            "Datei- und Meldungsdialoge erscheinen englisch.\n",
            stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Zahnanalyse: Zahn, Wurzelkanäle und Zahntyp"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption classes(QStringLiteral("classes"),
                                     QStringLiteral("Lädt die Farbklassendatei <datei>."),
                                     QStringLiteral("datei"));
    parser.addOption(classes);
    parser.addPositionalArgument(QStringLiteral("datei"),
                                 QStringLiteral("Zu öffnendes Bild oder Video."),
                                 QStringLiteral("[datei]"));
    parser.process(app);
    const QuitOnSignals quitOnSignals;

    QuendraRC1 window;
    window.show();
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) window.openFile(files.first());
    if (parser.isSet(classes)) window.loadClassesFile(parser.value(classes));
    return QApplication::exec();
}
