#include "app/QuendraRC1.h"

#include <QApplication>
#include <QDir>
#include <QErrorMessage>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "io/MediaFiles.h"
#include "model/CalculationModel.h"
#include "panels/PickerController.h"
#include "panels/ThreshController.h"
#include "panels/VideoController.h"
#include "sources/CameraModel.h"
#include "sources/ImageModel.h"
#include "sources/VideoModel.h"
#include "ui_QuendraRC1.h"
#include "view/FrameView.h"

// The icons are compiled into this static library; its resource object must be pulled in by
// hand, or the linker drops it from the program.
static void initResources() {
    Q_INIT_RESOURCE(QuendraRC1);
}

namespace {

std::string nativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString describe(quendra::ClassFileStatus status, const QString& path) {
    using quendra::ClassFileStatus;
    switch (status) {
        case ClassFileStatus::Ok:
            return {};
        case ClassFileStatus::CannotOpen:
            return QStringLiteral("Die Farbklassendatei \"%1\" konnte nicht geöffnet werden.")
                .arg(path);
        case ClassFileStatus::Empty:
            return QStringLiteral(
                       "Die Datei \"%1\" enthält keine Farbklassen; die bisherigen "
                       "Farbklassen bleiben geladen.")
                .arg(path);
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

QString describe(const ImageModel& image, const QString& path) {
    if (image.status() != quendra::PictureStatus::TooLarge)
        return QStringLiteral("Das Bild \"%1\" konnte nicht gelesen werden.").arg(path);
    return QStringLiteral(
               "Das Bild \"%1\" ist mit %2 × %3 Bildpunkten zu groß; es werden Bilder "
               "bis %4 Megapixel geöffnet.")
        .arg(path)
        .arg(image.pictureSize().width)
        .arg(image.pictureSize().height)
        .arg(quendra::kMaxPicturePixels / 1'000'000);
}

}  // namespace

QuendraRC1::QuendraRC1(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags),
      ui(std::make_unique<Ui::QuendraRC1Class>()),
      lastFolder(QDir::homePath()) {
    initResources();
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral("QuendraRC1.ico")));
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    // The tool bar holds every command and the window has no menu to bring it back: its
    // context menu must not offer to hide it.
    ui->mainToolBar->toggleViewAction()->setVisible(false);

    calculationModel = std::make_unique<CalculationModel>();
    frameView = std::make_unique<FrameView>(calculationModel.get());
    ui->verticalLayout->addWidget(frameView.get());

    saveButton = std::make_unique<QPushButton>(QStringLiteral("Aktuelle Ansicht speichern..."));
    threshController = std::make_unique<ThreshController>();
    threshController->setModel(calculationModel.get());
    videoController = std::make_unique<VideoController>();
    pickerController = std::make_unique<PickerController>();
    pickerController->connectModel(calculationModel.get());

    connect(ui->openCamera, &QAction::triggered, this, &QuendraRC1::openStream);
    connect(ui->openVideo, &QAction::triggered, this, &QuendraRC1::openVideo);
    connect(ui->openImage, &QAction::triggered, this, &QuendraRC1::openImage);
    connect(ui->loadLUT, &QAction::triggered, this, &QuendraRC1::loadLUT);
    connect(ui->saveLUT, &QAction::triggered, this, &QuendraRC1::saveLUT);
    connect(ui->configLUT, &QAction::toggled, this, &QuendraRC1::configuring);
    connect(ui->resetLUT, &QAction::triggered, calculationModel.get(),
            &CalculationModel::resetClasses);
    connect(ui->actionBeenden, &QAction::triggered, qApp, &QApplication::quit);
    connect(saveButton.get(), &QPushButton::clicked, this, &QuendraRC1::saveFrame);

    ui->verticalLayout->addWidget(saveButton.get());
    ui->verticalLayout->addWidget(threshController.get());
    ui->verticalLayout->addWidget(videoController.get());
    ui->verticalLayout->addWidget(pickerController.get());

    saveButton->hide();
    threshController->hide();
    videoController->hide();
    pickerController->hide();
    ui->loadLUT->setEnabled(false);
    ui->saveLUT->setEnabled(false);
    ui->configLUT->setEnabled(false);
    ui->resetLUT->setEnabled(false);
}

// The layout does not own the panels; take them out before they go.
QuendraRC1::~QuendraRC1() {
    calculationModel.reset();
    frameView.reset();
}

void QuendraRC1::showMessage(const QString& text) {
    message = text;
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

QString QuendraRC1::choosePath(Dialog kind, const QString& caption, const QString& filter) {
    QFileDialog dialog(this, caption, lastFolder, filter);
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
    const QString path = dialog.selectedFiles().value(0);
    lastFolder = QFileInfo(path).absolutePath();
    return path;
}

void QuendraRC1::openImage() {
    const QString path = choosePath(Dialog::Open, QStringLiteral("Bild öffnen..."),
                                    QStringLiteral("Bilddateien (*.jpg *.bmp *.png)"));
    if (!path.isEmpty()) openImageFile(path);
}

bool QuendraRC1::openImageFile(const QString& path) {
    auto image = std::make_unique<ImageModel>(nativePath(path));
    if (!image->isValid()) {
        showMessage(describe(*image, path));
        return false;
    }
    installSource(image.release());
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
        showMessage(QStringLiteral("Das Video \"%1\" konnte nicht geöffnet werden.").arg(path));
        return false;
    }
    VideoModel* source = video.release();
    installSource(source, source);
    return true;
}

bool QuendraRC1::openFile(const QString& path) {
    return quendra::mediaKindOf(nativePath(path)) == quendra::MediaKind::Video
               ? openVideoFile(path)
               : openImageFile(path);
}

void QuendraRC1::openStream() {
    if (CameraModel::isInUse()) {
        showCameraMessage(QStringLiteral("Die Kamera wird bereits verwendet."));
        return;
    }
    auto camera = std::make_unique<CameraModel>(0);
    if (!CameraModel::isInUse()) {
        showCameraMessage(QStringLiteral("Beim ansteuern der Kamera ist ein Fehler aufgetreten!"));
        return;
    }
    installSource(camera.release());
}

void QuendraRC1::showCameraMessage(const QString& text) {
    message = text;
    QErrorMessage dialog(this);
    // Modal from the moment showMessage() puts it on screen.
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.showMessage(text);
    dialog.exec();
}

void QuendraRC1::saveFrame() {
    const QString image = choosePath(Dialog::Save, QStringLiteral("Aktuelles Bild speichern..."),
                                     QStringLiteral("Bilddatei (*.png)"));
    if (!image.isEmpty()) saveImageFile(image);
    const QString text = choosePath(Dialog::Save, QStringLiteral("Erkennungsdaten speichern..."),
                                    QStringLiteral("Textdatei (*.txt)"));
    if (!text.isEmpty()) saveRecognitionFile(text);
}

bool QuendraRC1::saveImageFile(const QString& path) {
    if (frameView->saveImage(nativePath(path))) return true;
    showMessage(QStringLiteral("Das Bild \"%1\" konnte nicht gespeichert werden.").arg(path));
    return false;
}

bool QuendraRC1::saveRecognitionFile(const QString& path) {
    if (frameView->saveRecognitionData(nativePath(path))) return true;
    showMessage(
        QStringLiteral("Die Erkennungsdaten \"%1\" konnten nicht gespeichert werden.").arg(path));
    return false;
}

void QuendraRC1::installSource(FrameModel* source, VideoModel* video) {
    calculationModel->setFrameModel(source);
    source->setObserver(calculationModel.get());
    if (video) videoController->setModel(video);
    saveButton->show();
    threshController->show();
    videoController->setVisible(video != nullptr);
    if (!ui->configLUT->isChecked()) ui->loadLUT->setEnabled(true);
    ui->configLUT->setEnabled(true);
    ui->resetLUT->setEnabled(true);
    resize(minimumWidth(), minimumHeight());
    updateGeometry();
}

void QuendraRC1::configuring(bool value) {
    pickerController->setVisible(value);
    ui->loadLUT->setEnabled(!value);
    ui->saveLUT->setEnabled(value);
    frameView->setConfiguring(value);
    calculationModel->setConfiguring(value);
}

void QuendraRC1::loadLUT() {
    const QString path = choosePath(Dialog::Open, QStringLiteral("FarbklassenLUT laden..."),
                                    QStringLiteral("Farbklassendatei (*.dat)"));
    if (!path.isEmpty()) loadClassesFile(path);
}

void QuendraRC1::saveLUT() {
    const QString path = choosePath(Dialog::Save, QStringLiteral("FarbklassenLUT speichern..."),
                                    QStringLiteral("Farbklassendatei (*.dat)"));
    if (!path.isEmpty()) saveClassesFile(path);
}

bool QuendraRC1::loadClassesFile(const QString& path) {
    const auto status = calculationModel->loadClasses(nativePath(path));
    if (status != quendra::ClassFileStatus::Ok) showMessage(describe(status, path));
    return status == quendra::ClassFileStatus::Ok;
}

bool QuendraRC1::saveClassesFile(const QString& path) {
    const auto status = calculationModel->saveClasses(nativePath(path));
    if (status != quendra::ClassFileStatus::Ok) showMessage(describe(status, path));
    return status == quendra::ClassFileStatus::Ok;
}
