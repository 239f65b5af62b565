#include "app/QuendraRC1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <algorithm>

#include "app/CameraCommands.h"
#include "app/WindowSettings.h"
#include "app/WindowStatus.h"
#include "app/WindowTexts.h"
#include "colour/ColorKey.h"
#include "model/CalculationModel.h"
#include "panels/PickerController.h"
#include "panels/ShortcutTip.h"
#include "panels/ThreshController.h"
#include "panels/VideoController.h"
#include "sources/CameraModel.h"
#include "sources/VideoModel.h"
#include "ui_QuendraRC1.h"
#include "view/FrameView.h"
#include "view/ViewArea.h"

// The icons are compiled into this static library; its resource object must be pulled in by
// hand, or the linker drops it from the program.
static void initResources() {
    Q_INIT_RESOURCE(QuendraRC1);
}

namespace {

void bindKeys(QAction* action, QKeySequence::StandardKey key) {
    action->setShortcut(key);
    action->setToolTip(shortcutTip(action->toolTip(), action->shortcut()));
}

}  // namespace

QuendraRC1::QuendraRC1(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags),
      ui(std::make_unique<Ui::QuendraRC1Class>()),
      settings(std::make_unique<WindowSettings>()) {
    initResources();
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral("QuendraRC1.ico")));
    setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    // The tool bar holds every command and the window has no menu to bring it back: its
    // context menu must not offer to hide it.
    ui->mainToolBar->toggleViewAction()->setVisible(false);

    calculationModel = std::make_unique<CalculationModel>();
    frameArea = std::make_unique<ViewArea>(new FrameView(calculationModel.get()));
    bindKeys(ui->openImage, QKeySequence::Open);
    bindKeys(ui->actionBeenden, QKeySequence::Quit);
    view()->setPlaceholder(
        QStringLiteral("Zuerst eine Quelle öffnen: in der Werkzeugleiste links die Kamera, ein "
                       "Video oder ein %1.")
            .arg(shortcutTip(QStringLiteral("Bild"), ui->openImage->shortcut())));
    ui->verticalLayout->addWidget(frameArea.get());
    connect(frameArea.get(), &ViewArea::sourceShown, this, &QuendraRC1::fitToScreen);
    status = std::make_unique<WindowStatus>(ui->statusBar, frameArea.get(), this);
    addPanels();
    cameraCommands = std::make_unique<CameraCommands>(settings.get(), this);
    ui->chooseCamera->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    ui->resetSettings->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    connectCommands();

    settings->bind(calculationModel.get(), threshController.get(), pickerController.get());
    restoreClasses();
    ui->loadLUT->setEnabled(false);
    ui->saveLUT->setEnabled(false);
    ui->configLUT->setEnabled(false);
    ui->resetLUT->setEnabled(false);
}

// The save button and the three panels below the view, hidden until a source is open.
void QuendraRC1::addPanels() {
    saveButton = std::make_unique<QPushButton>(QStringLiteral("Aktuelle Ansicht speichern..."));
    saveButton->setShortcut(QKeySequence::Save);
    saveButton->setToolTip(shortcutTip(saveButton->text(), saveButton->shortcut()));
    threshController = std::make_unique<ThreshController>();
    threshController->setModel(calculationModel.get());
    videoController = std::make_unique<VideoController>();
    pickerController = std::make_unique<PickerController>();
    pickerController->connectModel(calculationModel.get());
    for (const QWidget* panel : {static_cast<QWidget*>(threshController.get()),
                                 static_cast<QWidget*>(pickerController.get())})
        for (QSlider* slider : panel->findChildren<QSlider*>()) slider->installEventFilter(this);
    for (QWidget* widget :
         {static_cast<QWidget*>(saveButton.get()), static_cast<QWidget*>(threshController.get()),
          static_cast<QWidget*>(videoController.get()),
          static_cast<QWidget*>(pickerController.get())}) {
        ui->verticalLayout->addWidget(widget);
        widget->hide();
    }
}

// The tool bar's actions, the camera's commands, the save button and the model's reports.
void QuendraRC1::connectCommands() {
    connect(ui->openCamera, &QAction::triggered, cameraCommands.get(), &CameraCommands::open);
    connect(ui->chooseCamera, &QAction::triggered, cameraCommands.get(), &CameraCommands::choose);
    connect(cameraCommands.get(), &CameraCommands::opened, this, [this](CameraModel* camera) {
        installSource(camera);
        sourceName = QStringLiteral("Kamera");
    });
    connect(cameraCommands.get(), &CameraCommands::statusChanged, this, &QuendraRC1::showStatus);
    connect(cameraCommands.get(), &CameraCommands::messageShown, this,
            [this](const QString& text) { message = text; });
    connect(ui->openVideo, &QAction::triggered, this, &QuendraRC1::openVideo);
    connect(ui->openImage, &QAction::triggered, this, &QuendraRC1::openImage);
    connect(ui->loadLUT, &QAction::triggered, this, &QuendraRC1::loadLUT);
    connect(ui->saveLUT, &QAction::triggered, this, &QuendraRC1::saveLUT);
    connect(ui->configLUT, &QAction::toggled, this, &QuendraRC1::configuring);
    connect(ui->resetLUT, &QAction::triggered, calculationModel.get(),
            &CalculationModel::resetClasses);
    connect(ui->resetLUT, &QAction::triggered, this,
            [this] { showStatus(QStringLiteral("Farbklassen zurückgesetzt.")); });
    connect(ui->actionBeenden, &QAction::triggered, qApp, &QApplication::quit);
    connect(ui->resetSettings, &QAction::triggered, this, &QuendraRC1::resetSettings);
    connect(saveButton.get(), &QPushButton::clicked, this, &QuendraRC1::saveFrame);
    connect(calculationModel.get(), &CalculationModel::frameProcessed, this,
            &QuendraRC1::showAnalysis);
    connect(calculationModel.get(), &CalculationModel::colorsPicked, this,
            [this](const ColorPick& pick) { showStatus(pickText(pick)); });
    connect(pickerController.get(), &PickerController::previewClicked, this,
            &QuendraRC1::previewWithoutColours);
}

// The layout does not own the panels; take them out before they go.
QuendraRC1::~QuendraRC1() {
    calculationModel.reset();
    frameArea.reset();
}

// The arrow keys step through a video from anywhere in the window, but a setting slider with
// the focus keeps them: the operator who tunes a threshold by key means the threshold.
bool QuendraRC1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            event->accept();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// A small frame would fold the last commands ("Beenden" among them) behind the tool bar's
// extension button. The tool bar knows the height it needs only once it is laid out as shown.
void QuendraRC1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    ui->mainToolBar->setMinimumHeight(ui->mainToolBar->sizeHint().height());
}

// "Beenden" quits the application, which closes its windows first and stays when one refuses:
// both ways end here.
void QuendraRC1::closeEvent(QCloseEvent* event) {
    event->setAccepted(picksMayGo());
}

bool QuendraRC1::picksMayGo() {
    if (!calculationModel->hasUnsavedPicks()) return true;
    message = QStringLiteral(
        "Die Farbklassen wurden seit dem letzten Speichern, Laden oder Zurücksetzen geändert. "
        "Sollen sie vor dem Beenden gespeichert werden?");
    QMessageBox box(QMessageBox::Question, windowTitle(), message,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    box.exec();
    // A box closed without a button keeps the window, as "Abbrechen" does.
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Save:
            return saveLUT();
        case QMessageBox::Discard:
            return true;
        default:
            return false;
    }
}

void QuendraRC1::showStatus(const QString& text) {
    status->showStep(text);
}

void QuendraRC1::showAnalysis(bool analysed) {
    if (analysed)
        status->showAnalysis(analysisText(calculationModel->getResult()));
    else if (ui->configLUT->isChecked())
        status->showAnalysis(QStringLiteral("Keine Auswertung beim Konfigurieren"));
    else
        status->showAnalysis(QStringLiteral("Keine Auswertung: keine Farbklassen geladen"));
}

cv::Size QuendraRC1::frameSize() const {
    return calculationModel->getImage().size();
}

void QuendraRC1::showMessage(const QString& text) {
    message = text;
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

// The skipped frames are told until playback starts again; a status that told them then goes.
void QuendraRC1::showSkipped(int skipped) {
    if (skipped > 0)
        showStatus(framesSkippedText(skipped));
    else if (isSkipText(status->step()))
        showStatus({});
}

void QuendraRC1::resetSettings() {
    settings->reset();
    showStatus(
        QStringLiteral("Einstellungen zurückgesetzt: Schwellwerte, Ordner und "
                       "Farbklassendatei wie beim ersten Start."));
}

void QuendraRC1::installSource(FrameModel* source, VideoModel* video) {
    calculationModel->setFrameModel(source);
    currentVideo = video;
    source->setObserver(calculationModel.get());
    if (video) videoController->setModel(video);
    saveButton->show();
    threshController->show();
    videoController->setVisible(video != nullptr);
    if (!ui->configLUT->isChecked()) ui->loadLUT->setEnabled(true);
    ui->configLUT->setEnabled(true);
    ui->resetLUT->setEnabled(true);
    fitToScreen();
}

VideoModel* QuendraRC1::video() const {
    return currentVideo;
}

FrameView* QuendraRC1::view() const {
    return frameArea->view();
}

// The area's new bounds would reach the window only through the nested layouts' posted
// requests; the window's minimum is wanted now.
void QuendraRC1::settleLayout() {
    centralWidget()->layout()->activate();
    layout()->activate();
}

// A frame shown 1:1 (or zoomed) sizes the window, as far as the screen has room; fitting, the
// window keeps the size the operator gave it.
void QuendraRC1::fitToScreen() {
    if (frameArea->isFitting() || frameSize().empty()) return;
    frameArea->setRoom(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    settleLayout();
    const QSize decoration = frameGeometry().size() - geometry().size();
    const QRect free = screen()->availableGeometry();
    const QSize excess = (minimumSize() - (free.size() - decoration)).expandedTo(QSize(0, 0));
    if (!excess.isNull()) {
        frameArea->setRoom(frameArea->minimumSize() - excess);
        settleLayout();
    }
    resize(minimumWidth(), minimumHeight());
    updateGeometry();
    // Back onto the screen, should the window reach past its edge.
    const QRect frame = frameGeometry();
    move(
        std::clamp(frame.x(), free.left(), std::max(free.left(), free.right() + 1 - frame.width())),
        std::clamp(frame.y(), free.top(),
                   std::max(free.top(), free.bottom() + 1 - frame.height())));
}

void QuendraRC1::configuring(bool value) {
    const bool dropsClasses = value && calculationModel->areClassesLoaded();
    pickerController->setVisible(value);
    fitToScreen();
    ui->loadLUT->setEnabled(!value);
    ui->saveLUT->setEnabled(value);
    view()->setConfiguring(value);
    calculationModel->setConfiguring(value);
    if (!value)
        showStatus(QStringLiteral("Konfiguration beendet; zum Auswerten Farbklassen laden."));
    else
        showStatus(QStringLiteral("Konfigurieren: Klasse wählen und Rechtecke über ihre Farben "
                                  "ziehen.") +
                   (dropsClasses ? QStringLiteral(" Geladene Farbklassen verworfen.") : QString()));
}

// Without a picked colour the preview paints nothing, and the click would seem lost.
void QuendraRC1::previewWithoutColours() {
    const auto& counts = calculationModel->getTraining().classCounts();
    if (counts[quendra::ClassEnamel] > 0 || counts[quendra::ClassGum] > 0) return;
    showStatus(QStringLiteral(
        "Vorschau: noch keine Farben gelernt, das Bild bleibt unverändert. Zum Trainieren "
        "\"Zahnschmelz\" wählen und Rechtecke über den Zahnschmelz ziehen, dann ebenso mit "
        "\"Zahnfleisch\" über das Zahnfleisch."));
}
