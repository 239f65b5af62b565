// The window's file commands: opening pictures and videos, saving the view, loading and saving
// colour classes, each through its dialog or directly.

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <cerrno>

#include "app/QuendraRC1.h"
#include "app/WindowSettings.h"
#include "app/WindowStatus.h"
#include "app/WindowTexts.h"
#include "io/DicomSeries.h"
#include "io/MediaFiles.h"
#include "io/PictureFile.h"
#include "io/TiffPages.h"
#include "model/CalculationModel.h"
#include "overlay/RecognitionData.h"
#include "sources/ImageModel.h"
#include "sources/VideoModel.h"
#include "view/FrameView.h"

namespace {

std::string nativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

QString QuendraRC1::choosePath(Dialog kind, const QString& caption, const QString& filter) {
    QFileDialog dialog(this, caption, settings->folder(), filter);
    if (kind == Dialog::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // A name typed without an extension gets the one of the filter (each save filter names
        // one), so that the filter lists the file again; the dialog adds it before it asks
        // whether to replace a file of that name.
        dialog.setDefaultSuffix(filter.section(QStringLiteral("*."), 1).chopped(1));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

// Only a file opened or saved moves the dialogs: a folder where writing failed may be one that
// no dialog should list (a dialog listing /proc reads /proc/kmsg and hangs).
void QuendraRC1::rememberFolder(const QString& path) {
    settings->setFolder(QFileInfo(path).absolutePath());
}

void QuendraRC1::openImage() {
    const QString path =
        choosePath(Dialog::Open, QStringLiteral("Bild öffnen..."),
                   QStringLiteral("Bilddateien (*.jpg *.jpeg *.bmp *.png *.tif *.tiff);;"
                                  "DICOM-Schichten (*.dcm *.dicom *);;Alle Dateien (*)"));
    if (!path.isEmpty()) openFile(path);
}

bool QuendraRC1::openImageFile(const QString& path) {
    auto image = std::make_unique<ImageModel>(nativePath(path));
    if (!image->isValid()) {
        showStatus(
            pictureNotOpenedText(path, image->status(), image->pictureSize(), image->error()));
        showMessage(pictureMessage(image->status(), image->pictureSize(), path));
        return false;
    }
    installSource(image.release());
    sourceOpened(path);
    showStatus(pictureOpenedText(path, frameSize()));
    return true;
}

void QuendraRC1::openVideo() {
    const QString path = choosePath(Dialog::Open, QStringLiteral("Video öffnen..."),
                                    QStringLiteral("Videodateien (*.avi *.mov *.mpg *.wmv *.mp4)"));
    if (!path.isEmpty()) openVideoFile(path);
}

bool QuendraRC1::openVideoFile(const QString& path) {
    auto video = std::make_unique<VideoModel>(nativePath(path));
    if (!video->isValid()) {
        showMessage(videoRefusedMessage(*video, path));
        return false;
    }
    VideoModel* source = video.release();
    installSource(source, source);
    sourceOpened(path);
    connect(source, &VideoModel::framesSkipped, this, &QuendraRC1::showSkipped);
    connect(source, &VideoModel::frameUnreadable, this, [this, source](int index, int shown) {
        showStatus(frameUnreadableText(*source, index, shown));
    });
    showStatus(videoOpenedStatus(*source, path, frameSize()));
    return true;
}

bool QuendraRC1::openFile(const QString& path) {
    const std::string file = nativePath(path);
    return quendra::mediaKindOf(file) == quendra::MediaKind::Video || quendra::isTiffName(file) ||
                   quendra::holdsTiff(file) || quendra::isDicomFile(file)
               ? openVideoFile(path)
               : openImageFile(path);
}

// The frame on screen when the command comes and its analysis are saved together, however
// long the dialogs stay open; a playing video holds meanwhile, so that the view still shows
// what is being saved, and plays on afterwards.
void QuendraRC1::saveFrame() {
    const ShownFrame shown = view()->shown();
    const std::string source = shownSource();
    const bool held = currentVideo && currentVideo->isPlaying();
    if (held) currentVideo->togglePlaying();
    const QString image = choosePath(Dialog::Save, QStringLiteral("Aktuelles Bild speichern..."),
                                     QStringLiteral("Bilddatei (*.png)"));
    const bool imageSaved = !image.isEmpty() && savePicture(shown, image);
    if (imageSaved) rememberFolder(image);
    const QString pictureFault = image.isEmpty() || imageSaved ? QString() : status->step();
    const QString text = choosePath(Dialog::Save, QStringLiteral("Erkennungsdaten speichern..."),
                                    QStringLiteral("Textdatei (*.txt)"));
    const bool textSaved = !text.isEmpty() && saveRecognition(shown, source, text);
    if (textSaved) rememberFolder(text);
    // The status tells a picture that failed also once the text was saved.
    if (textSaved && imageSaved) showStatus(viewSavedText(image, text, shown.result));
    if (textSaved && !pictureFault.isEmpty()) showStatus(pictureFault + ' ' + status->step());
    if (held && currentVideo && !currentVideo->isPlaying()) currentVideo->togglePlaying();
}

bool QuendraRC1::saveImageFile(const QString& path) {
    return savePicture(view()->shown(), path);
}

bool QuendraRC1::saveRecognitionFile(const QString& path) {
    return saveRecognition(view()->shown(), shownSource(), path);
}

bool QuendraRC1::savePicture(const ShownFrame& shown, const QString& path) {
    if (!quendra::savePicture(nativePath(path), shown.picture)) {
        showStatus(pictureNotSavedText(path, errno));
        showMessage(QStringLiteral("Das Bild \"%1\" konnte nicht gespeichert werden.").arg(path));
        return false;
    }
    showStatus(pictureSavedText(path));
    return true;
}

// The text is single-byte (Windows-1252 for its degree sign): the source's name is written in
// Latin-1, a character beyond it as '?'.
std::string QuendraRC1::shownSource() const {
    return frameSourceText(sourceName, currentVideo).toLatin1().toStdString();
}

bool QuendraRC1::saveRecognition(const ShownFrame& shown, const std::string& source,
                                 const QString& path) {
    if (!quendra::saveRecognitionData(nativePath(path), shown.result, quendra::Durability::Flushed,
                                      source)) {
        showStatus(recognitionNotSavedText(path, errno));
        showMessage(QStringLiteral("Die Erkennungsdaten \"%1\" konnten nicht gespeichert werden.")
                        .arg(path));
        return false;
    }
    showStatus(recognitionSavedText(path, shown.result));
    return true;
}

// The first file dialog opens where the source given on the command line lies.
void QuendraRC1::sourceOpened(const QString& path) {
    sourceName = QFileInfo(path).fileName();
    rememberFolder(path);
}

// The classes loaded last are loaded again, told in the status bar: a message would stop the
// start for a file the operator did not ask for this time.
void QuendraRC1::restoreClasses() {
    const QString path = settings->classFile();
    if (path.isEmpty()) return;
    const quendra::ClassFileRead read = calculationModel->loadClasses(nativePath(path));
    showStatus(read.status == quendra::ClassFileStatus::Ok
                   ? classesLoadedText(path, calculationModel->loadedClassCounts())
                   : classFileMessage(read, path));
}

void QuendraRC1::loadLUT() {
    const QString path = choosePath(Dialog::Open, QStringLiteral("FarbklassenLUT laden..."),
                                    QStringLiteral("Farbklassendatei (*.dat)"));
    if (!path.isEmpty() && loadClassesFile(path)) rememberFolder(path);
}

bool QuendraRC1::saveLUT() {
    const QString path = choosePath(Dialog::Save, QStringLiteral("FarbklassenLUT speichern..."),
                                    QStringLiteral("Farbklassendatei (*.dat)"));
    const bool saved = !path.isEmpty() && saveClassesFile(path);
    if (saved) rememberFolder(path);
    return saved;
}

bool QuendraRC1::loadClassesFile(const QString& path) {
    const quendra::ClassFileRead read = calculationModel->loadClasses(nativePath(path));
    if (read.status != quendra::ClassFileStatus::Ok) {
        showMessage(classFileMessage(read, path));
        return false;
    }
    showStatus(classesLoadedText(path, calculationModel->loadedClassCounts()));
    settings->setClassFile(QFileInfo(path).absoluteFilePath());
    return true;
}

bool QuendraRC1::saveClassesFile(const QString& path) {
    const auto saved = calculationModel->saveClasses(nativePath(path));
    if (saved != quendra::ClassFileStatus::Ok) {
        showMessage(classFileMessage({saved}, path));
        return false;
    }
    showStatus(classesSavedText(path, calculationModel->getTraining().classCounts()));
    return true;
}
