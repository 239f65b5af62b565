#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "app/CameraCommands.h"
#include "app/QuendraRC1.h"
#include "app/QuitOnSignals.h"
#include "app/Translation.h"
#include "app/WindowSettings.h"
#include "io/StandardStreams.h"

namespace {

// The window's command line: [--classes FILE] [--camera DEVICE] [FILE], with Qt's --help and
// --version.
struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption classes{QStringLiteral("classes"),
                               QStringLiteral("Lädt die Farbklassendatei <datei>."),
                               QStringLiteral("datei")};
    QCommandLineOption camera{
        QStringLiteral("camera"),
        QStringLiteral("Startet die Kamera <gerät>: eine Nummer (0 ist die erste), ein Gerät wie "
                       "/dev/video2, eine GStreamer-Pipeline oder eine Stream-Adresse. Sie wird "
                       "für \"Kamerastream starten...\" gemerkt."),
        QStringLiteral("gerät")};
    CommandLine() {
        parser.setApplicationDescription(
            QStringLiteral("Zahnanalyse: Zahn, Wurzelkanäle und Zahntyp"));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(classes);
        parser.addOption(camera);
        parser.addPositionalArgument(QStringLiteral("datei"),
                                     QStringLiteral("Zu öffnendes Bild oder Video."),
                                     QStringLiteral("[datei]"));
    }
};

// --help and --version are answered, and the program ends, before a display is needed: the
// window's application cannot start without one. Anything else is left to the window's own
// reading of the command line, once the application has taken Qt's options (-platform ...).
void answerWithoutDisplay(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    loadGermanQtTranslation();
    CommandLine line;
    line.parser.parse(QCoreApplication::arguments());
    if (line.parser.isSet(QStringLiteral("version"))) line.parser.showVersion();
    if (line.parser.isSet(QStringLiteral("help"))) line.parser.showHelp();
}

}  // namespace

int main(int argc, char** argv) {
    quendra::openMissingStandardStreams();
    QApplication::setApplicationName(QStringLiteral("Quendra"));
    QApplication::setApplicationVersion(QStringLiteral(QUENDRA_VERSION));
    useGermanFormats();
    answerWithoutDisplay(argc, argv);

    QApplication app(argc, argv);
    if (!loadGermanQtTranslation())
        std::fputs(
            "Qts deutsche Übersetzung (qtbase_de.qm, Paket qt6-translations-l10n) fehlt; "
            "Datei- und Meldungsdialoge erscheinen englisch.\n",
            stderr);
    CommandLine line;
    line.parser.process(app);
    const QuitOnSignals quitOnSignals;

    QuendraRC1 window;
    window.show();
    const QStringList files = line.parser.positionalArguments();
    if (!files.isEmpty()) window.openFile(files.first());
    if (line.parser.isSet(line.camera)) {
        CameraSettings chosen = WindowSettings().camera();
        chosen.device = line.parser.value(line.camera).toStdString();
        window.camera()->openWith(chosen);
    }
    if (line.parser.isSet(line.classes)) window.loadClassesFile(line.parser.value(line.classes));
    return quitOnSignals.received() ? 0 : QApplication::exec();
}
