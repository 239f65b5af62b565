#include "model/CalculationModel.h"

#include <cstdint>

#include "colour/PixelScan.h"
#include "sources/FrameModel.h"

CalculationModel::CalculationModel() = default;

template <typename Change>
void CalculationModel::changeSettings(Change change) {
    quendra::AnalysisSettings settings = analysis.settings();
    change(settings);
    analysis.setSettings(settings);
    emit settingsChanged();
}

// The source goes first so that nothing it still sends reaches a half-destroyed model.
CalculationModel::~CalculationModel() {
    frameModel.reset();
}

// The frame of the previous source is no frame of the new one, also while it delivers none.
void CalculationModel::setFrameModel(FrameModel* model) {
    frameModel.reset(model);
    image.release();
}

// The frame is kept without a copy: its source never writes into it again (FrameModel.h).
bool CalculationModel::takeFrame() {
    if (!frameModel) return false;
    const cv::Mat frame = frameModel->getFrame();
    if (frame.empty() || frame.type() != CV_8UC3) return false;
    image = frame;
    return true;
}

void CalculationModel::newSource() {
    if (takeFrame()) handOn(true);
}

void CalculationModel::newFrame() {
    if (takeFrame()) handOn(image.size() != sourceSize);
}

void CalculationModel::handOn(bool newSize) {
    sourceSize = image.size();
    const bool analysed = !configuringMode && classifier;
    if (analysed) analysis.calculate(image, *classifier);
    if (observer) {
        if (newSize)
            observer->newSource();
        else
            observer->newFrame();
    }
    emit frameProcessed(analysed);
}

void CalculationModel::refresh() {
    if (frameModel) newFrame();
}

void CalculationModel::setThreshold(int t) {
    analysis.setThreshold(t);
    emit settingsChanged();
    refresh();
}

void CalculationModel::setEllipseRadius(int r) {
    analysis.setEllipseRadius(r);
    emit settingsChanged();
    refresh();
}

void CalculationModel::setBorder(int value) {
    analysis.setBorder(value);
    emit settingsChanged();
    refresh();
}

quendra::ClassFileRead CalculationModel::loadClasses(std::string path) {
    quendra::ColorClassifier loaded;
    const quendra::ClassFileRead read = quendra::loadColorClassifier(path, loaded);
    if (read.status != quendra::ClassFileStatus::Ok) return read;
    forgetClasses();
    classifier = std::move(loaded);
    refresh();
    return read;
}

void CalculationModel::switchColorClass(int value) {
    training.setColorClass(value);
}

// Colours already classified keep their class; only colours met from now on see the new
// threshold.
void CalculationModel::setLutThreshold(int t) {
    changeSettings([t](quendra::AnalysisSettings& s) { s.classThreshold = t; });
    refresh();
}

// Loaded classes are classified anew under the other threshold.
void CalculationModel::setAutoLutThreshold(bool on) {
    changeSettings([on](quendra::AnalysisSettings& s) { s.autoClassThreshold = on; });
    if (classifier) analysis.forgetClassifications();
    refresh();
}

int CalculationModel::usedLutThreshold() const {
    return classifier ? settings().classThresholdFor(*classifier) : getLutThreshold();
}

void CalculationModel::setAutoThreshold(bool on) {
    changeSettings([on](quendra::AnalysisSettings& s) { s.autoThreshold = on; });
    refresh();
}

void CalculationModel::setMinCanalArea(int pixels) {
    changeSettings([pixels](quendra::AnalysisSettings& s) { s.minCanalArea = pixels; });
    refresh();
}

void CalculationModel::setAllTeeth(bool on) {
    changeSettings([on](quendra::AnalysisSettings& s) {
        s.teeth = on ? quendra::TeethChoice::All : quendra::TeethChoice::Largest;
    });
    refresh();
}

void CalculationModel::forgetClasses() {
    classifier.reset();
    training.reset();
    picksUnsaved = false;
    analysis.forgetClassifications();
    analysis.clearResults();
}

void CalculationModel::resetClasses() {
    forgetClasses();
    refresh();
}

quendra::ClassFileStatus CalculationModel::saveClasses(std::string path) {
    const quendra::ClassFileStatus saved = training.save(path);
    if (saved == quendra::ClassFileStatus::Ok) picksUnsaved = false;
    return saved;
}

void CalculationModel::previewLUT() {
    if (image.empty()) return;
    const int threshold =
        isAutoLutThreshold()
            ? quendra::automaticClassThreshold(training.samples(), quendra::KDTree::kMaxNeighbours)
            : getLutThreshold();
    previewImage = training.paintPreview(image, threshold);
    previewing = true;
    refresh();
    previewing = false;
    previewImage.release();
}

void CalculationModel::setConfiguring(bool on) {
    if (on && classifier) forgetClasses();
    configuringMode = on;
    refresh();
}

void CalculationModel::addSamples(int x0, int y0, int x1, int y1) {
    const cv::Rect inFrame = quendra::clipRect(image.size(), x0, y0, x1, y1);
    const auto dragged = x1 > x0 && y1 > y0 ? std::int64_t{x1 - x0} * (y1 - y0) : 0;
    ColorPick pick{.colorClass = training.colorClass(),
                   .pixels = inFrame.area(),
                   .beyondFrame = dragged > inFrame.area()};
    const auto before = training.classCounts();
    training.addSamples(image, x0, y0, x1, y1);
    const auto after = training.classCounts();
    // Every colour that changed its class moved the counts.
    if (after != before) picksUnsaved = true;
    pick.newColors = after[pick.colorClass] - before[pick.colorClass];
    pick.classColors = after[pick.colorClass];
    pick.conflicts = after[quendra::ClassConflict];
    emit colorsPicked(pick);
}

std::array<std::size_t, 256> CalculationModel::loadedClassCounts() const {
    return classifier ? quendra::classColours(*classifier) : std::array<std::size_t, 256>{};
}
