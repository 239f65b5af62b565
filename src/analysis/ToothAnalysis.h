#pragma once

// The analysis of one frame: the tooth as the largest region of enamel-coloured pixels inside
// the search window, its measurement, the root canals as the regions of its bounding box close
// in colour to the darkest pixel there, accepted when larger than 50 pixels and centred inside
// the tooth's equivalent ellipse scaled by the ellipse radius, and the tooth type.
//
// Results stay until the next calculation. A calculation that finds no canal leaves
// hasResults() false; the tooth record then holds this frame's tooth if one was measured,
// else an earlier one.

#include <opencv2/core.hpp>
#include <vector>

#include "analysis/FrameResult.h"
#include "analysis/RegionShape.h"
#include "analysis/Regions.h"
#include "analysis/RunEncoder.h"
#include "colour/ClassCache.h"
#include "colour/ColorClassifier.h"

namespace quendra {

class ToothAnalysis {
public:
    static constexpr float kMinCanalArea = 50.0f;  // canals must be strictly larger

    // Colour distance (B,G,R Euclidean) below which a pixel of the tooth's box is a canal
    // candidate.
    void setThreshold(int t) { threshold_ = t; }
    int getThreshold() const { return threshold_; }
    // Width in pixels of the frame margin the enamel search ignores; any value, the window is
    // clamped to the frame.
    void setBorder(int value) { result_.border = value; }
    int getBorder() const { return result_.border; }
    // Scale of the canal acceptance ellipse; the slider's r / 10 in double, stored as float.
    void setEllipseRadius(int r) { result_.ellipseRadius = static_cast<float>(r / 10.0); }
    float getEllipseRadius() const { return result_.ellipseRadius; }

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

    // The last calculation's tooth (label 1) and accepted canals (labels 2, 3, ... in the
    // canals' order) painted into `labels`, made CV_16UC1 of the frame's size, 0 elsewhere.
    // A canal's pixels are never enamel pixels unless the canal threshold is very large; where
    // they are, the canal's label wins.
    void paintLabels(cv::Mat& labels) const;

    // Shape measures of the last calculation's tooth and accepted canals, in that order;
    // nothing when no tooth was found. A contour trace per region: asked only by who needs it.
    std::vector<RegionShape> measureShapes() const;

    // The search window of the last calculation, clamped to the frame (half-open).
    cv::Rect searchWindow() const { return result_.searchWindow; }
    const cv::Mat& toothMask() const { return toothMask_; }
    ClassCache& classCache() { return cache_; }

private:
    bool acceptsCanal(int cx, int cy) const;

    // The runs of the last calculation and which of their regions were taken: the tooth's and
    // the accepted canals'. Valid until the next calculation.
    struct Taken {
        const Run* runs = nullptr;
        int runCount = 0;
        std::vector<int> regions;
    };
    // Calls `paint(region, run)` for every run of every taken region; regions count from 0,
    // the tooth first.
    template <typename Paint>
    void forEachTakenRun(Paint paint) const;

    int threshold_ = 70;

    ClassCache cache_;
    cv::Mat toothMask_;
    std::vector<Region> toothRegions_;
    RunEncoder toothRunEncoder_;
    cv::Mat canalMask_;
    std::vector<Region> canalRegions_;
    RunEncoder canalRunEncoder_;
    Taken toothTaken_;
    Taken canalsTaken_;

    FrameResult result_;
};

}  // namespace quendra
