#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <string>

#include "analysis/ToothAnalysis.h"
#include "colour/ColorClassifier.h"
#include "colour/ColorTraining.h"
#include "sources/FrameObserver.h"

class FrameModel;

// What one drag in the configuration mode recorded.
struct ColorPick {
    int colorClass = 0;
    int pixels = 0;               // of the rectangle, clipped to the frame
    bool beyondFrame = false;     // the rectangle reached over the frame's edge
    std::size_t newColors = 0;    // colours the class did not have before
    std::size_t classColors = 0;  // colours the class has now
    std::size_t conflicts = 0;    // colours picked for two classes, in all
};

// The analysis stage of the frame chain. Owns the current source, keeps every frame (shared
// with the source, which never writes into it again), analyses it while colour classes are loaded
// and the configuration mode is off, and hands the frame on to its observer (the view). The
// analysis, the loaded classifier and the training picks are the Qt-free core's; this class
// forwards to them and keeps the gate.
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

    // The current frame, as the source handed it out; empty before the first source.
    const cv::Mat& getImage() const { return image; }
    int getThreshold() const { return analysis.getThreshold(); }
    int getBorder() const { return analysis.getBorder(); }
    float getEllipseRadius() const { return analysis.getEllipseRadius(); }
    // Every setting of the analysis as the panels set it.
    const quendra::AnalysisSettings& settings() const { return analysis.settings(); }
    int getLutThreshold() const { return analysis.settings().classThreshold; }
    bool isAutoLutThreshold() const { return analysis.settings().autoClassThreshold; }
    bool isAutoThreshold() const { return analysis.settings().autoThreshold; }
    int getMinCanalArea() const { return static_cast<int>(analysis.settings().minCanalArea); }
    bool isAllTeeth() const { return analysis.settings().teeth == quendra::TeethChoice::All; }
    // The class threshold the loaded classes classify with (the automatic one when chosen);
    // the slider's value without classes.
    int usedLutThreshold() const;
    bool hasResults() const { return analysis.hasResults(); }
    const std::vector<quendra::CanalResult>& getCanals() const { return analysis.getCanals(); }
    quendra::ToothResult getToothResult() const { return analysis.getToothResult(); }
    // The last analysis as a value: what the view draws and saves.
    const quendra::FrameResult& getResult() const { return analysis.result(); }
    bool isPreviewing() const { return previewing; }
    const cv::Mat& getPreviewImage() const { return previewImage; }
    const quendra::ColorTraining& getTraining() const { return training; }
    bool areClassesLoaded() const { return classifier.has_value(); }
    // How many colours the loaded colour classes give each class value; all 0 without.
    std::array<std::size_t, 256> loadedClassCounts() const;
    // The picks changed since they were last saved, or since classes were loaded or reset.
    bool hasUnsavedPicks() const { return picksUnsaved; }

    // Entering the mode drops loaded classes; either way the frame is reprocessed.
    void setConfiguring(bool on);
    // Records the colours of the half-open rectangle of the current frame for the current
    // class, and tells what it recorded through colorsPicked().
    void addSamples(int x0, int y0, int x1, int y1);

signals:
    // After every frame handed on to the view; `analysed` when the analysis ran on it.
    void frameProcessed(bool analysed);
    void colorsPicked(const ColorPick& pick);
    // After any setting changed.
    void settingsChanged();

public slots:
    void setThreshold(int t);
    void setEllipseRadius(int r);
    void setBorder(int value);
    // Return the outcome so that the window can name a file that failed; a failed load, or a
    // save with nothing picked, leaves every state and file as it was.
    quendra::ClassFileRead loadClasses(std::string path);
    void switchColorClass(int value);
    void setLutThreshold(int t);
    // The class threshold from the loaded classes (applied at once to loaded ones).
    void setAutoLutThreshold(bool on);
    // The canal threshold chosen per tooth from its colours.
    void setAutoThreshold(bool on);
    // Canals must be larger than this many pixels.
    void setMinCanalArea(int pixels);
    // Every tooth region of the minimum tooth area is analysed, not just the largest.
    void setAllTeeth(bool on);
    void resetClasses();
    quendra::ClassFileStatus saveClasses(std::string path);
    void previewLUT();

private:
    // Re-takes the frame from the source and reprocesses it; nothing before the first source.
    void refresh();
    // Analyses the frame just taken if the gate is open and hands it on; a frame of a new size
    // goes on as a new source, so that the view resizes.
    void handOn(bool newSize);
    // Drops the loaded classes, the picks, the cached classifications and the results.
    void forgetClasses();
    // Takes the source's frame; false (and the previous frame kept) when it delivered none.
    bool takeFrame();
    // Changes the analysis' settings with `change`.
    template <typename Change>
    void changeSettings(Change change);

    FrameObserver* observer = nullptr;
    std::unique_ptr<FrameModel> frameModel;
    cv::Mat image;
    cv::Size sourceSize;  // of the frame at the last newSource()
    bool configuringMode = false;
    quendra::ColorTraining training;
    bool picksUnsaved = false;
    // Present while colour classes are loaded: the gate of the analysis.
    std::optional<quendra::ColorClassifier> classifier;
    quendra::ToothAnalysis analysis;
    bool previewing = false;
    cv::Mat previewImage;
};
