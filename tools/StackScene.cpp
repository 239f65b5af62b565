#include "StackScene.h"

#include <opencv2/imgproc.hpp>
#include <random>
#include <sstream>

#include "colour/ColorTraining.h"

namespace quendra {

namespace {

const cv::Vec3d kGum(100, 88, 168), kEnamel(198, 222, 240), kCanal(46, 52, 72);
const double kGreyBackground = 60, kGreyDentin = 190, kGreyCanal = 35;
constexpr int kEmptyEnds = 2;

std::vector<int> configurationCounts(const std::string& configuration) {
    std::vector<int> counts;
    std::stringstream in(configuration);
    for (std::string part; std::getline(in, part, '-');) counts.push_back(std::stoi(part));
    return counts;
}

// Index in coronal order (slice 0 at the crown).
int coronalIndex(const StackScene& scene, int index) {
    return scene.apexFirst ? scene.slices - 1 - index : index;
}

// The stretch of the configuration slice `k` (coronal order) lies in, -1 without canal.
int stretchOf(const StackScene& scene, int k) {
    const int bearing = scene.slices - 2 * kEmptyEnds;
    if (k < kEmptyEnds || k >= scene.slices - kEmptyEnds) return -1;
    const auto counts = configurationCounts(scene.configuration);
    return std::min(static_cast<int>(counts.size()) - 1,
                    (k - kEmptyEnds) * static_cast<int>(counts.size()) / bearing);
}

}  // namespace

std::string StackScene::name() const {
    std::string type = configuration;
    for (const auto& [t, c] : vertucciConfigurations())
        if (c == configuration) type = t;
    return type + (colour ? "-colour" : "-grey") + std::to_string(depth) +
           (apexFirst ? "-apex-first" : "");
}

std::vector<std::pair<std::string, std::string>> vertucciConfigurations() {
    return {{"I", "1"},   {"II", "2-1"},   {"III", "1-2-1"},   {"IV", "2"},
            {"V", "1-2"}, {"VI", "2-1-2"}, {"VII", "1-2-1-2"}, {"VIII", "3"}};
}

int canalsInSlice(const StackScene& scene, int index) {
    const int stretch = stretchOf(scene, coronalIndex(scene, index));
    return stretch < 0
               ? 0
               : configurationCounts(scene.configuration)[static_cast<std::size_t>(stretch)];
}

cv::Mat renderStackSlice(const StackScene& scene, int index) {
    CV_Assert(scene.depth == 8 || scene.depth == 16);
    const int k = coronalIndex(scene, index);
    const double z = static_cast<double>(k) / std::max(1, scene.slices - 1);  // 0 crown, 1 apex
    const cv::Point centre(scene.size.width / 2, scene.size.height / 2);
    const double w = scene.size.width;
    const double taper = 1 - 0.3 * z;
    cv::Mat root = cv::Mat::zeros(scene.size, CV_8UC1), canal = cv::Mat::zeros(scene.size, CV_8UC1);
    cv::ellipse(root, centre,
                cv::Size(cvRound(0.35 * w * taper), cvRound(0.34 * scene.size.height * taper)), 0,
                0, 360, 255, cv::FILLED);

    // Canals narrow from 0.045 to 0.0225 of the width; branches lie 0.11 of it off the centre.
    const int r = cvRound(0.045 * w * (1 - 0.5 * z));
    const int d = cvRound(0.11 * w);
    const int stretch = stretchOf(scene, k);
    if (stretch >= 0) {
        const auto counts = configurationCounts(scene.configuration);
        const int n = counts[static_cast<std::size_t>(stretch)];
        const bool beforeMore = stretch + 1 < static_cast<int>(counts.size()) &&
                                counts[static_cast<std::size_t>(stretch) + 1] > n &&
                                stretchOf(scene, k + 1) == stretch + 1;
        const bool afterMore = stretch > 0 && counts[static_cast<std::size_t>(stretch) - 1] > n &&
                               stretchOf(scene, k - 1) == stretch - 1;
        if (n == 1 && (beforeMore || afterMore)) {
            cv::ellipse(canal, centre, cv::Size(d + r, r), 0, 0, 360, 255, cv::FILLED);
        } else {
            const int spacing = n == 3 ? cvRound(0.13 * w) : 2 * d;
            for (int i = 0; i < n; ++i)
                cv::circle(canal, centre + cv::Point((2 * i - (n - 1)) * spacing / 2, 0), r, 255,
                           cv::FILLED);
        }
    }

    std::mt19937 random(1000u * static_cast<unsigned>(scene.colour) + static_cast<unsigned>(index));
    const auto noise = [&random](int amplitude) {
        return static_cast<int>(random() % static_cast<unsigned>(2 * amplitude + 1)) - amplitude;
    };
    const int channels = scene.colour ? 3 : 1;
    cv::Mat eight(scene.size, CV_MAKETYPE(CV_8U, channels));
    for (int y = 0; y < scene.size.height; ++y)
        for (int x = 0; x < scene.size.width; ++x) {
            const bool inCanal = canal.at<uchar>(y, x) && root.at<uchar>(y, x);
            const bool inRoot = root.at<uchar>(y, x);
            uchar* p = eight.ptr<uchar>(y) + x * channels;
            for (int ch = 0; ch < channels; ++ch) {
                const double base = scene.colour ? (inCanal  ? kCanal
                                                    : inRoot ? kEnamel
                                                             : kGum)[ch]
                                                 : (inCanal  ? kGreyCanal
                                                    : inRoot ? kGreyDentin
                                                             : kGreyBackground);
                p[ch] = cv::saturate_cast<uchar>(base + noise(inRoot && !inCanal ? 5 : 4));
            }
        }
    if (scene.depth == 8) return eight;
    cv::Mat sixteen;
    eight.convertTo(sixteen, CV_16U, 180, 2000);
    if (index % 5 == 0)
        sixteen(cv::Rect(2, 2, 6, 6)).setTo(cv::Scalar::all(std::min(65535, 50000 + 1000 * index)));
    return sixteen;
}

std::vector<StackScene> stackScenes() {
    std::vector<StackScene> scenes;
    for (const auto& [type, configuration] : vertucciConfigurations())
        for (const auto& [colour, depth] :
             {std::pair{true, 8}, {false, 8}, {false, 16}, {true, 16}})
            scenes.push_back({.configuration = configuration, .colour = colour, .depth = depth});
    for (const char* configuration : {"1-2", "2-1-2", "1-2-1-2"})
        scenes.push_back(
            {.configuration = configuration, .colour = false, .depth = 16, .apexFirst = true});
    return scenes;
}

void pickStackColors(const StackScene& scene, const cv::Mat& frame, ColorTraining& training) {
    const int w = scene.size.width, h = scene.size.height;
    training.setColorClass(ClassEnamel);
    training.addSamples(frame, w / 2 - w / 6, h / 2 - h / 4, w / 2 + w / 6, h / 2 - h / 6);
    training.setColorClass(ClassGum);
    training.addSamples(frame, w / 20 + 8, h / 20, w / 20 + 8 + w / 8, h / 20 + h / 8);
}

ColorClassifier stackClassifier(const StackScene& scene, const cv::Mat& frame) {
    ColorTraining training;
    pickStackColors(scene, frame, training);
    return classifierOf(training.samples(), scene.colour ? 5 : 10);
}

bool writeStackTiff(const StackScene& scene, const std::string& path, const TiffLayout& layout) {
    TiffStackWriter writer(path, layout);
    for (int i = 0; i < scene.slices; ++i)
        if (!writer.append(renderStackSlice(scene, i))) return false;
    return writer.close();
}

}  // namespace quendra
