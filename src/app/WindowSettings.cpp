#include "app/WindowSettings.h"

#include <QDir>

#include "model/CalculationModel.h"
#include "panels/PickerController.h"
#include "panels/ThreshController.h"

namespace {

const QString kThreshold = QStringLiteral("analyse/schwellwert");
const QString kAutoThreshold = QStringLiteral("analyse/schwellwert_automatisch");
const QString kBorder = QStringLiteral("analyse/aussengrenze");
const QString kFilter = QStringLiteral("analyse/filterradius");
const QString kClassThreshold = QStringLiteral("analyse/farbklassen_schwellwert");
const QString kAutoClassThreshold = QStringLiteral("analyse/farbklassen_schwellwert_automatisch");
const QString kMinCanalArea = QStringLiteral("analyse/kanal_mindestgroesse");
const QString kAllTeeth = QStringLiteral("analyse/alle_zaehne");
const QString kFolder = QStringLiteral("dateien/ordner");
const QString kClassFile = QStringLiteral("dateien/farbklassen");
const QString kCamera = QStringLiteral("kamera/");

}  // namespace

WindowSettings::WindowSettings() : store(QStringLiteral("Quendra"), QStringLiteral("Quendra")) {}

void WindowSettings::bind(CalculationModel* model, ThreshController* thresholds,
                          PickerController* picker) {
    thresholdPanel = thresholds;
    pickerPanel = picker;
    showInPanels(analysis());
    QObject::connect(model, &CalculationModel::settingsChanged, model,
                     [this, model] { setAnalysis(model->settings()); });
}

void WindowSettings::showInPanels(const quendra::AnalysisSettings& settings) {
    thresholdPanel->showSettings(settings);
    pickerPanel->showSettings(settings);
}

quendra::AnalysisSettings WindowSettings::analysis() const {
    quendra::AnalysisSettings s;
    s.threshold = store.value(kThreshold, s.threshold).toInt();
    s.autoThreshold = store.value(kAutoThreshold, s.autoThreshold).toBool();
    s.border = store.value(kBorder, s.border).toInt();
    s.filter = store.value(kFilter, s.filter).toInt();
    s.classThreshold = store.value(kClassThreshold, s.classThreshold).toInt();
    s.autoClassThreshold = store.value(kAutoClassThreshold, s.autoClassThreshold).toBool();
    s.minCanalArea = store.value(kMinCanalArea, s.minCanalArea).toDouble();
    if (store.value(kAllTeeth, false).toBool()) s.teeth = quendra::TeethChoice::All;
    return s;
}

void WindowSettings::setAnalysis(const quendra::AnalysisSettings& s) {
    store.setValue(kThreshold, s.threshold);
    store.setValue(kAutoThreshold, s.autoThreshold);
    store.setValue(kBorder, s.border);
    store.setValue(kFilter, s.filter);
    store.setValue(kClassThreshold, s.classThreshold);
    store.setValue(kAutoClassThreshold, s.autoClassThreshold);
    store.setValue(kMinCanalArea, s.minCanalArea);
    store.setValue(kAllTeeth, s.teeth == quendra::TeethChoice::All);
}

QString WindowSettings::folder() const {
    return store.value(kFolder, QDir::homePath()).toString();
}

void WindowSettings::setFolder(const QString& folder) {
    store.setValue(kFolder, folder);
}

QString WindowSettings::classFile() const {
    return store.value(kClassFile).toString();
}

void WindowSettings::setClassFile(const QString& path) {
    store.setValue(kClassFile, path);
}

CameraSettings WindowSettings::camera() const {
    const auto value = [this](const char* key, const QVariant& fallback) {
        return store.value(kCamera + QLatin1String(key), fallback);
    };
    CameraSettings c;
    c.device = value("geraet", QString::fromStdString(c.device)).toString().toStdString();
    c.width = value("breite", c.width).toInt();
    c.height = value("hoehe", c.height).toInt();
    c.pixelFormat = value("format", QString()).toString().toStdString();
    c.framesPerSecond = value("bilder_je_sekunde", c.framesPerSecond).toDouble();
    c.lockExposure = value("belichtung_fest", c.lockExposure).toBool();
    c.exposure = value("belichtung", c.exposure).toDouble();
    c.gain = value("verstaerkung", c.gain).toDouble();
    c.lockWhiteBalance = value("weissabgleich_fest", c.lockWhiteBalance).toBool();
    c.whiteBalance = value("weissabgleich", c.whiteBalance).toDouble();
    return c;
}

void WindowSettings::setCamera(const CameraSettings& c) {
    const auto set = [this](const char* key, const QVariant& v) {
        store.setValue(kCamera + QLatin1String(key), v);
    };
    set("geraet", QString::fromStdString(c.device));
    set("breite", c.width);
    set("hoehe", c.height);
    set("format", QString::fromStdString(c.pixelFormat));
    set("bilder_je_sekunde", c.framesPerSecond);
    set("belichtung_fest", c.lockExposure);
    set("belichtung", c.exposure);
    set("verstaerkung", c.gain);
    set("weissabgleich_fest", c.lockWhiteBalance);
    set("weissabgleich", c.whiteBalance);
}

// The panels are set first: the model's changes would keep them again.
void WindowSettings::reset() {
    if (thresholdPanel) showInPanels({});
    store.clear();
}
