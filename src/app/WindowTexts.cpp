#include "app/WindowTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cmath>

#include "analysis/ToothType.h"
#include "app/SystemErrors.h"
#include "colour/ColorClassifier.h"
#include "colour/ColorKey.h"
#include "model/CalculationModel.h"
#include "overlay/ResultOverlay.h"
#include "sources/VideoModel.h"

namespace {

// "1 Farbe", "2 Farben".
QString counted(std::size_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? one : many));
}

QString className(int colorClass) {
    switch (colorClass) {
        case quendra::ClassEnamel:
            return QStringLiteral("Zahnschmelz");
        case quendra::ClassGum:
            return QStringLiteral("Zahnfleisch");
        default:
            return QStringLiteral("Klasse %1").arg(colorClass);
    }
}

QString frameSize(cv::Size size) {
    return QStringLiteral("%1 × %2 Bildpunkte").arg(size.width).arg(size.height);
}

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

// "1520 Farben Zahnschmelz, 830 Farben Zahnfleisch", then the colours picked for both if any.
QString classColorsText(const std::array<std::size_t, 256>& counts) {
    const auto colours = [&](int c, const QString& what) {
        return counted(counts[c], "Farbe", "Farben") + QLatin1Char(' ') + what;
    };
    QStringList parts{colours(quendra::ClassEnamel, className(quendra::ClassEnamel)),
                      colours(quendra::ClassGum, className(quendra::ClassGum))};
    if (counts[quendra::ClassConflict] > 0)
        parts << colours(quendra::ClassConflict, QStringLiteral("in beiden Klassen"));
    return parts.join(QStringLiteral(", "));
}

// The accepted canals of all teeth.
std::size_t canalCount(const quendra::FrameResult& result) {
    std::size_t canals = 0;
    for (const quendra::ToothFinding* t : result.teeth()) canals += t->canals.size();
    return canals;
}

// What a recognition-data file of this result holds: a block for every tooth with a canal.
QString recognitionContents(const quendra::FrameResult& result) {
    if (!result.hasResults) return QStringLiteral("leer, kein Ergebnis");
    const auto teeth = result.teeth();
    const auto withCanals =
        std::count_if(teeth.begin(), teeth.end(), [](const auto* t) { return !t->canals.empty(); });
    return (withCanals == 1 ? QStringLiteral("Zahn")
                            : counted(static_cast<std::size_t>(withCanals), "Zahn", "Zähne")) +
           QStringLiteral(" und ") + counted(canalCount(result), "Kanal", "Kanäle");
}

// Why the stack's last slice that could not be read was refused.
QString sliceFault(const VideoModel& video) {
    const cv::Size size = video.lastFaultSize();
    switch (video.lastFault()) {
        case quendra::PictureStatus::TooLarge:
            return QStringLiteral("sie hat %1, mehr als die %2 Megapixel, die geöffnet werden")
                .arg(frameSize(size))
                .arg(quendra::kMaxPicturePixels / 1'000'000);
        case quendra::PictureStatus::OutOfMemory:
            return QStringLiteral("der Speicher reicht nicht, sie zu lesen");
        default:
            return QStringLiteral(
                "ihre Seite ist beschädigt oder in einem Format, das nicht "
                "gelesen wird");
    }
}

}  // namespace

QString classFileMessage(const quendra::ClassFileRead& read, const QString& path) {
    using quendra::ClassFileStatus;
    const QString notAClassFile =
        QStringLiteral("Die Datei \"%1\" ist keine Farbklassendatei: Eintrag %2 ")
            .arg(path)
            .arg(read.record);
    const QString kept = QStringLiteral(" Die bisherigen Farbklassen bleiben geladen.");
    switch (read.status) {
        case ClassFileStatus::Ok:
            return {};
        case ClassFileStatus::CannotOpen:
            return QStringLiteral("Die Farbklassendatei \"%1\" konnte nicht geöffnet werden.")
                .arg(path);
        case ClassFileStatus::Empty:
            return QStringLiteral("Die Datei \"%1\" enthält keine Farbklassen.").arg(path) + kept;
        case ClassFileStatus::PartialRecord:
            return notAClassFile +
                   QStringLiteral(
                       "hat nur %1 von 4 Bytes (die Dateigröße ist kein Vielfaches "
                       "von 4 Bytes).")
                       .arg(read.value) +
                   kept;
        case ClassFileStatus::UnknownClass:
            return notAClassFile +
                   QStringLiteral(
                       "hat die Klasse %1, die es nicht gibt (1 Zahnschmelz, "
                       "2 Zahnfleisch, 255 beide Klassen).")
                       .arg(read.value) +
                   kept;
        case ClassFileStatus::TooLarge:
            return QStringLiteral(
                       "Die Datei \"%1\" ist zu groß für eine Farbklassendatei "
                       "(mehr als 16777216 Einträge).")
                .arg(path);
        case ClassFileStatus::CannotWrite:
            return QStringLiteral("Die Farbklassendatei \"%1\" konnte nicht geschrieben werden.")
                .arg(path);
        case ClassFileStatus::NothingPicked:
            return QStringLiteral(
                       "Es ist noch keine Farbe ausgewählt; \"%1\" wurde nicht "
                       "geschrieben. Ziehen Sie zuerst Rechtecke über Zahnschmelz und "
                       "Zahnfleisch.")
                .arg(path);
    }
    return {};
}

QString pictureMessage(quendra::PictureStatus status, cv::Size size, const QString& path) {
    if (status != quendra::PictureStatus::TooLarge)
        return QStringLiteral("Das Bild \"%1\" konnte nicht gelesen werden.").arg(path);
    // A file too large to be read gives no size of its picture.
    if (size.empty())
        return QStringLiteral(
                   "Das Bild \"%1\" ist als Datei zu groß; es werden Bilddateien bis %2 MiB "
                   "geöffnet.")
            .arg(path)
            .arg(quendra::kMaxPictureFileBytes >> 20);
    return QStringLiteral(
               "Das Bild \"%1\" ist mit %2 × %3 Bildpunkten zu groß; es werden Bilder "
               "bis %4 Megapixel geöffnet.")
        .arg(path)
        .arg(size.width)
        .arg(size.height)
        .arg(quendra::kMaxPicturePixels / 1'000'000);
}

QString pictureNotOpenedText(const QString& path, quendra::PictureStatus status, cv::Size size,
                             int error) {
    using quendra::PictureStatus;
    QString reason;
    switch (status) {
        case PictureStatus::Ok:
            return {};
        case PictureStatus::NotAFile:
            reason =
                QStringLiteral("Keine gewöhnliche Datei (ein Ordner, ein Gerät oder ein Rohr)");
            break;
        case PictureStatus::CannotOpen:
            reason = systemErrorText(error, FileAccess::Reading);
            break;
        case PictureStatus::Empty:
            reason = QStringLiteral("Die Datei ist leer");
            break;
        case PictureStatus::Unreadable:
            reason = QStringLiteral(
                "Kein Bild in einem lesbaren Format (JPEG, PNG, BMP, TIFF), oder es ist "
                "beschädigt oder abgeschnitten");
            break;
        case PictureStatus::TooLarge:
            reason = size.empty() ? QStringLiteral("Die Datei ist größer als %1 MiB")
                                        .arg(quendra::kMaxPictureFileBytes >> 20)
                                  : QStringLiteral("%1, mehr als %2 Megapixel")
                                        .arg(frameSize(size))
                                        .arg(quendra::kMaxPicturePixels / 1'000'000);
            break;
        case PictureStatus::SeveralPages:
            reason = QStringLiteral("Ein TIFF mit mehreren Seiten");
            break;
        case PictureStatus::OutOfMemory:
            reason = QStringLiteral("Der Speicher reicht nicht, es zu lesen");
            break;
    }
    return QStringLiteral("Bild nicht geöffnet (%1): %2.").arg(fileName(path), reason);
}

QString pictureOpenedText(const QString& path, cv::Size size) {
    return QStringLiteral("Bild \"%1\" geöffnet: %2.").arg(fileName(path), frameSize(size));
}

QString videoOpenedText(const QString& path, cv::Size size, int frames, double rate, int promised) {
    QLocale german(QLocale::German);
    german.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = QStringLiteral("Video \"%1\" geöffnet: %2, %3, %4 Bilder/s.")
                       .arg(fileName(path), frameSize(size), counted(frames, "Bild", "Bilder"),
                            german.toString(rate, 'g', 4));
    if (promised > frames)
        text += QStringLiteral(
                    " Die Datei gibt %1 Bilder an, lesbar sind nur die ersten %2 (beschädigt "
                    "oder abgeschnitten).")
                    .arg(promised)
                    .arg(frames);
    return text;
}

QString framesSkippedText(int skipped) {
    return QStringLiteral(
               "Wiedergabe in Echtzeit: %1 übersprungen, weil Lesen, Auswerten und Zeigen "
               "länger brauchen als die Bilder.")
        .arg(counted(skipped, "Bild", "Bilder"));
}

bool isSkipText(const QString& text) {
    return text.startsWith(QStringLiteral("Wiedergabe in Echtzeit: "));
}

QString frameUnreadableText(const VideoModel& video, int index, int shown) {
    if (!video.isStack())
        return QStringLiteral(
                   "Bild %1 des Videos kann nicht gelesen werden; zu sehen ist weiter "
                   "Bild %2.")
            .arg(index)
            .arg(shown);
    return QStringLiteral(
               "Schicht %1 des Stapels kann nicht gelesen werden: %2; zu sehen ist "
               "weiter Schicht %3.")
        .arg(index + 1)
        .arg(sliceFault(video), QString::number(shown + 1));
}

QString videoRefusedMessage(const VideoModel& video, const QString& path) {
    if (!video.isStack())
        return QStringLiteral("Das Video \"%1\" konnte nicht geöffnet werden.").arg(path);
    const QString refused = QStringLiteral("Der Stapel \"%1\" konnte nicht geöffnet werden: ");
    if (video.getFrameCount() > 0)
        return (refused + QStringLiteral("keine Schicht ist lesbar; Schicht 1: %2."))
            .arg(path, sliceFault(video));
    if (video.lastFault() == quendra::PictureStatus::NotAFile)
        return (refused + QStringLiteral("es gibt ihn nicht, oder er ist keine gewöhnliche "
                                         "Datei."))
            .arg(path);
    return (refused + QStringLiteral("die Datei ist kein lesbares TIFF.")).arg(path);
}

QString videoOpenedStatus(const VideoModel& video, const QString& path, cv::Size size) {
    const int frames = video.getFrameCount();
    if (!video.isStack())
        return videoOpenedText(path, size, frames, video.getRate(), video.getHeaderFrameCount());
    QString text = stackOpenedText(path, size, frames);
    if (video.pageChain() == quendra::PageChain::LoopsBack)
        text += QStringLiteral(
                    " Die Seitenkette der Datei springt nach Seite %1 zurück: geöffnet sind "
                    "die Seiten 1 bis %1.")
                    .arg(frames);
    if (video.pageChain() == quendra::PageChain::CutShort)
        text += QStringLiteral(
                    " Die Datei endet nach Seite %1, nennt aber weitere Seiten "
                    "(abgeschnitten?): geöffnet sind die Seiten bis dahin.")
                    .arg(frames);
    if (video.getPosition() > 0)
        text += QStringLiteral(" Schicht 1 kann nicht gelesen werden: %1; zu sehen ist Schicht %2.")
                    .arg(sliceFault(video))
                    .arg(video.getPosition() + 1);
    return text;
}

QString stackOpenedText(const QString& path, cv::Size size, int slices) {
    return QStringLiteral("Stapel \"%1\" geöffnet: %2, %3.")
        .arg(fileName(path), frameSize(size),
             counted(static_cast<std::size_t>(slices), "Schicht", "Schichten"));
}

QString pickText(const ColorPick& pick) {
    if (pick.pixels == 0 && pick.beyondFrame)
        return QStringLiteral(
            "Nichts aufgenommen: das Rechteck liegt außerhalb des Bildes; ein Rechteck über dem "
            "Bild ziehen.");
    if (pick.pixels == 0)
        return QStringLiteral("Nichts aufgenommen: mit gedrückter Maustaste ein Rechteck ziehen.");
    QString text =
        QStringLiteral("%1: %2, jetzt %3.")
            .arg(className(pick.colorClass), counted(pick.newColors, "neue Farbe", "neue Farben"),
                 counted(pick.classColors, "Farbe", "Farben"));
    if (pick.conflicts > 0)
        text += QStringLiteral(" %1 in beiden Klassen.")
                    .arg(counted(pick.conflicts, "Farbe", "Farben"));
    if (pick.beyondFrame) text += QStringLiteral(" Nur der Teil des Rechtecks im Bild zählt.");
    return text;
}

QString classesLoadedText(const QString& path, const std::array<std::size_t, 256>& counts) {
    QString text = QStringLiteral("Farbklassen geladen: %1 (%2).")
                       .arg(classColorsText(counts), fileName(path));
    for (const quendra::SparseClass& c : quendra::sparseClasses(counts))
        text += QStringLiteral(
                    " %1 hat nur %2 und wird nie gefunden: die Abstimmung braucht %3; trainieren "
                    "Sie mehr Farben (ein größeres Rechteck).")
                    .arg(className(c.colorClass), counted(c.colours, "Farbe", "Farben"))
                    .arg(c.quorum);
    return text;
}

QString classesSavedText(const QString& path, const std::array<std::size_t, 256>& counts) {
    return QStringLiteral("Farbklassen gespeichert: %1 (%2).")
        .arg(classColorsText(counts), QDir::toNativeSeparators(path));
}

QString analysisText(const quendra::FrameResult& result) {
    if (!result.toothFound) return QStringLiteral("Kein Zahn gefunden");
    const std::size_t teeth = result.teeth().size();
    const QString found = teeth == 1
                              ? QStringLiteral("Zahn gefunden")
                              : counted(teeth, "Zahn", "Zähne") + QStringLiteral(" gefunden");
    if (!result.hasResults) return found + QStringLiteral(", kein Kanal");
    const QString canals =
        found + QStringLiteral(", ") + counted(canalCount(result), "Kanal", "Kanäle");
    if (teeth > 1) return canals;
    const QString type = result.tooth.toothType == quendra::ToothUnknown
                             ? QStringLiteral("Zahntyp nicht erkannt")
                             : QString::fromUtf8(quendra::toothTypeText(result.tooth.toothType));
    return canals + QStringLiteral(": ") + type;
}

QString pictureSavedText(const QString& path) {
    return QStringLiteral("Bild gespeichert (%1).").arg(QDir::toNativeSeparators(path));
}

QString recognitionSavedText(const QString& path, const quendra::FrameResult& result) {
    return QStringLiteral("Erkennungsdaten gespeichert: %1 (%2).")
        .arg(recognitionContents(result), QDir::toNativeSeparators(path));
}

QString pictureNotSavedText(const QString& path, int error) {
    const QString reason =
        error == EINVAL
            ? QStringLiteral("Die Endung \"%1\" nennt kein Bildformat (PNG, JPEG, BMP, TIFF)")
                  .arg(QFileInfo(path).suffix())
            : systemErrorText(error, FileAccess::Writing);
    return QStringLiteral("Bild nicht gespeichert (%1): %2.")
        .arg(QDir::toNativeSeparators(path), reason);
}

QString recognitionNotSavedText(const QString& path, int error) {
    return QStringLiteral("Erkennungsdaten nicht gespeichert (%1): %2.")
        .arg(QDir::toNativeSeparators(path), systemErrorText(error, FileAccess::Writing));
}

QString viewSavedText(const QString& picture, const QString& text,
                      const quendra::FrameResult& result) {
    return QStringLiteral("Bild und Erkennungsdaten gespeichert: %1 (%2, %3).")
        .arg(recognitionContents(result), QDir::toNativeSeparators(picture),
             QDir::toNativeSeparators(text));
}

QString frameSourceText(const QString& name, const VideoModel* video) {
    if (!video) return name;
    return video->isStack()
               ? QStringLiteral("%1, Schicht %2").arg(name).arg(video->getPosition() + 1)
               : QStringLiteral("%1, Bild %2").arg(name).arg(video->getPosition());
}

QString zoomText(double scale, bool fitting) {
    const auto percent = QString::number(std::lround(scale * 100));
    if (fitting) return QStringLiteral("Eingepasst: %1 %").arg(percent);
    return scale == 1 ? QStringLiteral("1:1 (100 %)") : QStringLiteral("Zoom %1 %").arg(percent);
}
