#pragma once

// Synthetic tooth pictures with known canals, as an operator would see them: off-white enamel
// with texture and noise on a pink-red gum background, dark canal spots, a mild lighting
// gradient. Deterministic: the same scene renders to the same bytes on every run.

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "colour/ColorClassifier.h"

namespace quendra {

class ColorTraining;

struct SampleEllipse {
    cv::Point2d centre;  // pixels
    cv::Size2d axes;     // semi-axes, pixels
    double angle;        // degrees, as cv::ellipse takes it
};

struct SampleScene {
    std::string name;
    cv::Size size;
    SampleEllipse tooth;
    std::vector<SampleEllipse> canals;
    // Rectangles an operator would drag to teach the classes: wholly on enamel, on gum.
    std::vector<cv::Rect> enamelPicks;
    std::vector<cv::Rect> gumPicks;
    unsigned seed;
};

struct CanalTruth {
    cv::Point2d centre;  // centre of mass of the drawn canal pixels
    int area;            // number of drawn canal pixels
};

struct SampleTruth {
    std::vector<CanalTruth> canals;  // in the order the analysis reports them (scan order)
    int toothType;                   // the type the canal arrangement stands for
};

// The bundled scenes: a lower molar at 640x480, a front tooth at 640x480 and an upper premolar
// at 1920x1080.
std::vector<SampleScene> sampleScenes();

// Renders the picture (CV_8UC3, B,G,R) and its ground truth.
cv::Mat renderScene(const SampleScene& scene, SampleTruth* truth = nullptr);

// Records the scene's enamel and gum picks from `picture` into `training`.
void pickSampleColors(const SampleScene& scene, const cv::Mat& picture, ColorTraining& training);

// The colour classes an operator gets by picking on each of the scenes in turn and loading
// what they saved (the bundled classes.dat, for all scenes), with class threshold 5.
ColorClassifier trainedClassifier(const std::vector<SampleScene>& scenes);

// The filled ellipse `e` as a mask of `size`: 255 inside, 0 elsewhere.
cv::Mat ellipseMask(cv::Size size, const SampleEllipse& e);

// The ground truth as text: "type <code>" then "canal <x> <y> <area>" per canal.
std::string formatTruth(const SampleTruth& truth);

}  // namespace quendra
