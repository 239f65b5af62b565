#pragma once

#include <memory>
#include <string>

#include <QWidget>
#include <opencv2/core.hpp>

#include "analysis/ToothAnalysis.h"
#include "colour/ColorClasses.h"
#include "sources/FrameObserver.h"

class FrameModel;

// The analysis stage of the frame chain. Owns the current source, keeps its own copy of every
// frame, analyses it while colour classes are loaded and the configuration mode is off, and
// hands the frame on to its observer (the view). The analysis and the colour classes are the
// Qt-free core's; this class forwards to them and keeps the gate.
class CalculationModel : public QWidget, public FrameObserver {
    Q_OBJECT
public:
    CalculationModel();
    ~CalculationModel() override;

    void setObserver(FrameObserver* o) { observer = o; }
    // Takes ownership; the previous source is destroyed at once.
    void setFrameModel(FrameModel* model);

    void newFrame() override;
    void newSource() override;

    // The model's copy of the current frame; empty before the first source.
    const cv::Mat& getImage() const { return image; }
    int getThreshold() const { return analysis.getThreshold(); }
    int getBorder() const { return analysis.getBorder(); }
    float getEllipseRadius() const { return analysis.getEllipseRadius(); }
    int getLutThreshold() const { return classes.lutThreshold(); }
    bool hasResults() const { return analysis.hasResults(); }
    const quendra::ToothAnalysis& getAnalysis() const { return analysis; }
    bool isPreviewing() const { return previewing; }
    const cv::Mat& getPreviewImage() const { return previewImage; }
    const quendra::ColorClasses& getClasses() const { return classes; }

    // Entering the mode drops loaded classes; either way the frame is reprocessed.
    void setConfiguring(bool on);
    // Records the colours of the half-open rectangle of the current frame for the current class.
    void addSamples(int x0, int y0, int x1, int y1);

public slots:
    void setThreshold(int t);
    void setEllipseRadius(int r);
    void setBorder(int value);
    // Returns the outcome so that the window can name a file that failed; a failed load
    // leaves every state as it was.
    quendra::ClassFileStatus loadClasses(std::string path);
    void switchColorClass(int value);
    void setLutThreshold(int t);
    void resetClasses();
    quendra::ClassFileStatus saveClasses(std::string path);
    void previewLUT();

private:
    // Re-takes the frame from the source and reprocesses it; nothing before the first source.
    void refresh();
    void calculateIfReady();
    // Copies the source's frame; false (and the previous frame kept) when it delivered none.
    bool takeFrame();

    FrameObserver* observer = nullptr;
    std::unique_ptr<FrameModel> frameModel;
    cv::Mat image;
    cv::Size sourceSize;  // of the frame at the last newSource()
    bool configuringMode = false;
    quendra::ColorClasses classes;
    quendra::ToothAnalysis analysis;
    bool previewing = false;
    cv::Mat previewImage;
};
