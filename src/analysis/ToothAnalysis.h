#pragma once

// The analysis of one frame: the teeth as regions of enamel-coloured pixels inside the search
// window (the largest, or every one of at least the minimum tooth area), their measurement,
// and per tooth the root canals as the regions of its bounding box close in colour to the
// darkest pixel there that are spaces inside the tooth (ToothOutline.h: inside its filled
// outline, no enamel pixel, not most of the tooth), accepted when larger than the minimum
// canal area and centred inside the tooth's equivalent ellipse scaled by the ellipse radius,
// and the tooth type.
//
// Results stay until the next calculation. A calculation that finds no canal leaves
// hasResults() false; the tooth record then holds this frame's tooth if one was measured,
// else an earlier one.

#include <memory>
#include <opencv2/core.hpp>
#include <vector>

#include "analysis/AnalysisSettings.h"
#include "analysis/FrameResult.h"
#include "analysis/RegionShape.h"
#include "analysis/Regions.h"
#include "analysis/RunEncoder.h"
#include "analysis/ToothOutline.h"
#include "colour/ClassCache.h"
#include "colour/ColorClassifier.h"

namespace quendra {

class ToothAnalysis {
public:
    ToothAnalysis();
    ~ToothAnalysis();

    void setSettings(const AnalysisSettings& settings) { settings_ = settings; }
    const AnalysisSettings& settings() const { return settings_; }
    // The settings the window's panel changes one at a time (AnalysisSettings.h).
    void setThreshold(int t) { settings_.threshold = t; }
    int getThreshold() const { return settings_.threshold; }
    void setBorder(int value) { settings_.border = value; }
    int getBorder() const { return settings_.border; }
    // The slider's r, the acceptance ellipse's scale in tenths.
    void setEllipseRadius(int r) { settings_.filter = r; }
    float getEllipseRadius() const { return settings_.ellipseRadius(); }

    // Analyses `frame` (CV_8UC3, B,G,R) with the classifier, through this analysis' own class
    // cache. The masks follow the frame size: made on the first frame and again whenever the
    // size changes.
    const FrameResult& calculate(const cv::Mat& frame, const ColorClassifier& classifier);

    // Forgets the results (the colour classes were reset).
    void clearResults();
    // Forgets every cached classification (other colour classes were loaded). Until then a
    // colour keeps the class it was first given, whatever the classifier's threshold says now.
    void forgetClassifications() { cache_.clear(); }

    const FrameResult& result() const { return result_; }
    bool hasResults() const { return result_.hasResults; }
    const std::vector<CanalResult>& getCanals() const { return result_.canals; }
    ToothResult getToothResult() const { return result_.tooth; }

    // The last calculation's teeth and accepted canals painted into `labels`, made CV_16UC1 of
    // the frame's size, 0 elsewhere: 1 the first tooth, 2, 3, ... its canals, then the next
    // tooth and its canals, and so on (the order of FrameResult::teeth()). A canal pixel is
    // never a tooth pixel and canals share no pixel, so every label has its region's area.
    void paintLabels(cv::Mat& labels) const;

    // Shape measures of the last calculation's teeth and accepted canals, in the order of the
    // labels; nothing when no tooth was found. A contour trace per region: asked only by who
    // needs it.
    std::vector<RegionShape> measureShapes() const;

    // The search window of the last calculation, clamped to the frame (half-open).
    cv::Rect searchWindow() const { return result_.searchWindow; }
    const cv::Mat& toothMask() const { return toothMask_; }
    ClassCache& classCache() { return cache_; }

private:
    struct CanalSearch;
    // Measures tooth region `toothIndex` into `finding` and searches its canals with `search`.
    void analyseTooth(const cv::Mat& frame, int toothIndex, ToothFinding& finding,
                      CanalSearch& search);
    bool acceptsCanal(const ToothResult& tooth, int cx, int cy) const;
    void keepWithinOutline(cv::Rect box, const ToothOutline& outline);
    std::vector<double> innerPixels(const CanalSearch& search, ToothOutline& outline) const;
    void countPixelsOn(const CanalSearch& search, const cv::Mat& inner, cv::Rect rect,
                       std::vector<double>& counts) const;
    // Marks the accepted canals of `search` in claimed_.
    void claimCanals(const CanalSearch& search);
    // Calls `paint(label, run)` for every run of every taken region; labels count from 0 in
    // the order of takenRegions().
    template <typename Paint>
    void forEachTakenRun(Paint paint) const;
    // The taken regions in label order: each tooth, then its accepted canals.
    std::vector<const Region*> takenRegions() const;

    AnalysisSettings settings_;

    ClassCache cache_;
    cv::Mat toothMask_;
    std::vector<Region> toothRegions_;
    RunEncoder toothRunEncoder_;
    const Run* toothRuns_ = nullptr;
    int toothRunCount_ = 0;
    cv::Mat canalMask_;
    // With several teeth: 255 on the pixels an earlier tooth's canal took.
    cv::Mat claimed_;
    // One per analysed tooth of the last calculation (kept from frame to frame for their
    // storage; only the first `searchesUsed_` are valid).
    std::vector<std::unique_ptr<CanalSearch>> searches_;
    std::size_t searchesUsed_ = 0;

    FrameResult result_;
};

}  // namespace quendra
