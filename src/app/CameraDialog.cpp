#include "app/CameraDialog.h"

#include <QDir>

#include "ui_CameraDialog.h"

namespace {

const QSize kSizes[] = {{640, 480}, {1280, 720}, {1920, 1080}, {3840, 2160}};

// The formats offered: MJPG carries HD over USB 2 at full rate, YUYV only far smaller.
const struct {
    const char* fourcc;
    const char* text;
} kFormats[] = {{"MJPG", "MJPG (komprimiert, für HD über USB)"}, {"YUYV", "YUYV (unkomprimiert)"}};

// The index of `data` among the box's items, added (shown as `text`) if it is not there.
int itemOf(QComboBox* box, const QVariant& data, const QString& text) {
    int i = box->findData(data);
    if (i < 0) {
        box->addItem(text, data);
        i = box->count() - 1;
    }
    return i;
}

QString lacking(const char* control) {
    return QStringLiteral("Die Kamera hat keine Steuerung für %1.").arg(QString::fromUtf8(control));
}

}  // namespace

CameraDialog::CameraDialog(const CameraSettings& settings, const CameraControlSupport* running,
                           QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::CameraDialog>()) {
    ui->setupUi(this);
    if (running) support = *running;
    ui->device->addItem(QStringLiteral("0"));
    for (const QString& name :
         QDir(QStringLiteral("/dev")).entryList({QStringLiteral("video*")}, QDir::System))
        ui->device->addItem(QStringLiteral("/dev/") + name);
    ui->size->addItem(QStringLiteral("wie die Kamera sie vorgibt"), QSize());
    for (const QSize& s : kSizes)
        ui->size->addItem(QStringLiteral("%1 × %2").arg(s.width()).arg(s.height()), s);
    ui->pixelFormat->addItem(QStringLiteral("wie die Kamera es vorgibt"), QString());
    for (const auto& f : kFormats)
        ui->pixelFormat->addItem(QString::fromUtf8(f.text), QString::fromLatin1(f.fourcc));
    showSettings(settings);
    connect(ui->lockExposure, &QCheckBox::toggled, this, &CameraDialog::updateControls);
    connect(ui->lockWhiteBalance, &QCheckBox::toggled, this, &CameraDialog::updateControls);
    updateControls();
}

CameraDialog::~CameraDialog() = default;

void CameraDialog::showSettings(const CameraSettings& s) {
    ui->device->setCurrentText(QString::fromStdString(s.device));
    const QSize size(s.width, s.height);
    ui->size->setCurrentIndex(
        size.isEmpty()
            ? 0
            : itemOf(ui->size, size, QStringLiteral("%1 × %2").arg(s.width).arg(s.height)));
    const QString format = QString::fromStdString(s.pixelFormat);
    ui->pixelFormat->setCurrentIndex(itemOf(ui->pixelFormat, format, format));
    ui->rate->setValue(static_cast<int>(s.framesPerSecond));
    ui->lockExposure->setChecked(s.lockExposure);
    ui->exposure->setValue(s.exposure);
    ui->gain->setValue(s.gain);
    ui->lockWhiteBalance->setChecked(s.lockWhiteBalance);
    ui->whiteBalance->setValue(static_cast<int>(s.whiteBalance));
}

CameraSettings CameraDialog::settings() const {
    CameraSettings s;
    s.device = ui->device->currentText().trimmed().toStdString();
    const QSize size = ui->size->currentData().toSize();
    s.width = size.width() > 0 ? size.width() : 0;
    s.height = size.height() > 0 ? size.height() : 0;
    s.pixelFormat = ui->pixelFormat->currentData().toString().toStdString();
    s.framesPerSecond = ui->rate->value();
    s.lockExposure = ui->lockExposure->isChecked();
    s.exposure = ui->exposure->value();
    s.gain = ui->gain->value();
    s.lockWhiteBalance = ui->lockWhiteBalance->isChecked();
    s.whiteBalance = ui->whiteBalance->value();
    return s;
}

void CameraDialog::updateControls() {
    const bool known = support.has_value();
    const bool v4l2 = known && support->backend == "V4L2";
    const bool exposure = !known || support->exposure;
    const bool gain = !known || support->gain;
    const bool whiteBalance = !known || support->whiteBalance;
    ui->lockExposure->setEnabled(exposure);
    ui->lockExposure->setToolTip(exposure ? QString() : lacking("die Belichtung"));
    ui->exposure->setEnabled(exposure && ui->lockExposure->isChecked());
    ui->gain->setEnabled(gain && ui->lockExposure->isChecked());
    ui->gain->setToolTip(gain ? QString() : lacking("die Verstärkung"));
    ui->lockWhiteBalance->setEnabled(whiteBalance);
    ui->lockWhiteBalance->setToolTip(whiteBalance ? QString() : lacking("den Weißabgleich"));
    ui->whiteBalance->setEnabled(whiteBalance && ui->lockWhiteBalance->isChecked());
    if (!known)
        ui->controlsNote->setText(
            QStringLiteral("Welche Steuerungen die Kamera hat, zeigt sich, sobald sie läuft; "
                           "gesetzt wird, was sie hat."));
    else if (!v4l2)
        ui->controlsNote->setText(
            QStringLiteral("Die laufende Quelle (%1) bietet keine Steuerungen: Belichtung und "
                           "Weißabgleich lassen sich nur bei Kameras über V4L2 einstellen.")
                .arg(support->backend.empty() ? QStringLiteral("unbekannt")
                                              : QString::fromStdString(support->backend)));
    else
        ui->controlsNote->setText(exposure && gain && whiteBalance
                                      ? QString()
                                      : QStringLiteral("Ausgegraut ist, was die Kamera nicht "
                                                       "steuern lässt."));
}
