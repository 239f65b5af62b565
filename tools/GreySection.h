#pragma once

// Synthetic grey cross-sections with known canals, as micro-CT and cone-beam CT deliver them:
// roots of light dentin with growth rings on a dark background, dark canals of a few to a few
// hundred pixels, blurred by the scanner's point spread, with noise, and exported in grey
// steps of several levels. Every colour lies on the grey diagonal (R = G = B).
// Deterministic: the same section renders to the same bytes on every run.

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "SampleScene.h"

namespace quendra {

class ColorTraining;

struct GreyRoot {
    SampleEllipse outline;
    std::vector<SampleEllipse> canals;
};

struct GreySection {
    std::string name;
    cv::Size size;
    std::vector<GreyRoot> roots;
    double dentin = 150;     // mean grey of the dentin
    double background = 18;  // mean grey around the roots
    double canal = 22;       // mean grey of a canal
    double noise = 10;       // standard deviation of the noise, grey levels
    double blur = 0.8;       // standard deviation of the point spread, pixels
    int greyStep = 3;        // the export keeps every greyStep-th grey level
    // Rectangles an operator would drag: wholly on dentin (class 1), wholly on background (2).
    std::vector<cv::Rect> dentinPicks{};
    std::vector<cv::Rect> backgroundPicks{};
    unsigned seed = 1;
};

// The drawn pixels of one canal and their count and centre of mass.
struct SectionCanal {
    cv::Mat mask;  // CV_8UC1, 255 on the canal
    CanalTruth truth;
};

// The bundled grey sections: a single root with canals of 5 to 60 pixels, a three-rooted
// molar section, and a dim single root of low contrast.
std::vector<GreySection> greySections();

// Renders the picture (CV_8UC3, B = G = R) and, if asked, every canal's truth (root by root,
// canals in the order given).
cv::Mat renderGreySection(const GreySection& section, std::vector<SectionCanal>* canals = nullptr);

// The roots' drawn pixels (CV_8UC1, 255 on dentin and canals).
cv::Mat rootsMask(const GreySection& section);

// Records the section's dentin and background picks from `picture` into `training`; throws
// std::logic_error when a pick leaves its class.
void pickSectionColors(const GreySection& section, const cv::Mat& picture, ColorTraining& training);

}  // namespace quendra
