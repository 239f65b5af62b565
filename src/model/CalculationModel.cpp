#include "model/CalculationModel.h"

#include "sources/FrameModel.h"

CalculationModel::CalculationModel() = default;

// The source goes first so that nothing it still sends reaches a half-destroyed model.
CalculationModel::~CalculationModel() {
    frameModel.reset();
}

void CalculationModel::setFrameModel(FrameModel* model) {
    frameModel.reset(model);
}

bool CalculationModel::takeFrame() {
    if (!frameModel) return false;
    const cv::Mat frame = frameModel->getFrame();
    if (frame.empty() || frame.type() != CV_8UC3) return false;
    image = frame.clone();
    return true;
}

void CalculationModel::newSource() {
    if (!takeFrame()) return;
    sourceSize = image.size();
    calculateIfReady();
    if (observer) observer->newSource();
}

void CalculationModel::newFrame() {
    if (!takeFrame()) return;
    // A frame of another size is handled like a new source, so the view resizes too.
    if (image.size() != sourceSize) {
        sourceSize = image.size();
        calculateIfReady();
        if (observer) observer->newSource();
        return;
    }
    calculateIfReady();
    if (observer) observer->newFrame();
}

void CalculationModel::calculateIfReady() {
    if (!configuringMode && classifier) analysis.calculate(image, *classifier);
}

void CalculationModel::refresh() {
    if (frameModel) newFrame();
}

void CalculationModel::setThreshold(int t) {
    analysis.setThreshold(t);
    refresh();
}

void CalculationModel::setEllipseRadius(int r) {
    analysis.setEllipseRadius(r);
    refresh();
}

void CalculationModel::setBorder(int value) {
    analysis.setBorder(value);
    refresh();
}

quendra::ClassFileStatus CalculationModel::loadClasses(std::string path) {
    quendra::ColorClassifier loaded;
    const quendra::ClassFileStatus status =
        quendra::loadColorClassifier(path, lutThreshold, loaded);
    if (status != quendra::ClassFileStatus::Ok) return status;
    forgetClasses();
    classifier = std::move(loaded);
    refresh();
    return status;
}

void CalculationModel::switchColorClass(int value) {
    training.setColorClass(value);
}

// Colours already classified keep their class; only colours met from now on see the new
// threshold.
void CalculationModel::setLutThreshold(int t) {
    lutThreshold = t;
    if (classifier) classifier->threshold = t;
    refresh();
}

void CalculationModel::forgetClasses() {
    classifier.reset();
    training.reset();
    analysis.forgetClassifications();
    analysis.clearResults();
}

void CalculationModel::resetClasses() {
    forgetClasses();
    refresh();
}

quendra::ClassFileStatus CalculationModel::saveClasses(std::string path) {
    return training.save(path);
}

void CalculationModel::previewLUT() {
    if (image.empty()) return;
    previewImage = training.paintPreview(image, lutThreshold);
    previewing = true;
    refresh();
    previewing = false;
    previewImage.release();
}

void CalculationModel::setConfiguring(bool on) {
    if (on && classifier) resetClasses();
    configuringMode = on;
    refresh();
}

void CalculationModel::addSamples(int x0, int y0, int x1, int y1) {
    training.addSamples(image, x0, y0, x1, y1);
}
