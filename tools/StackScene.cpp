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

// The stretch of `configuration` slice `k` (coronal order) lies in, -1 without canal.
int stretchOf(const StackScene& scene, const std::string& configuration, int k) {
    const int bearing = scene.slices - 2 * kEmptyEnds;
    if (k < kEmptyEnds || k >= scene.slices - kEmptyEnds) return -1;
    const auto counts = configurationCounts(configuration);
    return std::min(static_cast<int>(counts.size()) - 1,
                    (k - kEmptyEnds) * static_cast<int>(counts.size()) / bearing);
}

// The two slices (coronal order) of a lateral canal or a touch: in the middle third, where the
// seed puts them.
int eventSlice(const StackScene& scene) {
    return scene.slices / 3 +
           static_cast<int>((scene.seed * 7u + 3u) %
                            static_cast<unsigned>(std::max(1, scene.slices / 3 - 1)));
}

// Draws one root of `configuration` at slice `k` (coronal order) about `centre`: its section
// into `root`, its canals into `canal`. Sizes follow the cell width `w`, relative to the
// crown's: the root's semi-axes 0.35 w and 0.34 of the cell height taper to 70 % at the apex;
// canals narrow from 0.045 to 0.0225 w (thin: from 2 to 1 px radius); branches lie 0.11 w off
// the centre.
void drawRoot(const StackScene& scene, const std::string& configuration, int k, cv::Point centre,
              cv::Mat& root, cv::Mat& canal) {
    const double z = static_cast<double>(k) / std::max(1, scene.slices - 1);  // 0 crown, 1 apex
    const double w = scene.size.width;
    const double taper = 1 - 0.3 * z;
    const bool event = k == eventSlice(scene) || k == eventSlice(scene) + 1;
    if (scene.condition == StackCondition::Drift) centre.x += cvRound((z - 0.5) * 0.25 * w);
    // Close roots fill their cells but for a gap of 2 % of the cell at the crown.
    const double across = scene.condition == StackCondition::Close ? 0.49 : 0.35;
    const cv::Size axes(cvRound(across * w * taper), cvRound(0.34 * scene.size.height * taper));
    if (scene.condition == StackCondition::Ring)
        cv::ellipse(root, centre, axes + cv::Size(4, 4), 0, 0, 360, 128, cv::FILLED);
    cv::ellipse(root, centre, axes, 0, 0, 360, 255, cv::FILLED);
    const int r = scene.condition == StackCondition::Thin ? (z < 0.5 ? 2 : 1)
                                                          : cvRound(0.045 * w * (1 - 0.5 * z));
    const int stretch = stretchOf(scene, configuration, k);
    if (stretch < 0) return;
    if (scene.condition == StackCondition::Lateral && event)
        cv::circle(canal, centre + cv::Point(0, axes.height - 3 * r), r, 255, cv::FILLED);
    const auto counts = configurationCounts(configuration);
    const int n = counts[static_cast<std::size_t>(stretch)];
    // Two canals that touch share a column (one region in the slice); they come together and
    // part again over a slice on either side.
    int d = cvRound(0.11 * w);
    if (scene.condition == StackCondition::Touching && n == 2) {
        const int e = eventSlice(scene);
        if (event)
            d = r;
        else if (k == e - 1 || k == e + 2)
            d = (d + r) / 2;
    }
    const bool beforeMore = stretch + 1 < static_cast<int>(counts.size()) &&
                            counts[static_cast<std::size_t>(stretch) + 1] > n &&
                            stretchOf(scene, configuration, k + 1) == stretch + 1;
    const bool afterMore = stretch > 0 && counts[static_cast<std::size_t>(stretch) - 1] > n &&
                           stretchOf(scene, configuration, k - 1) == stretch - 1;
    if (n == 1 && (beforeMore || afterMore)) {
        cv::ellipse(canal, centre, cv::Size(d + r, r), 0, 0, 360, 255, cv::FILLED);
    } else {
        const int spacing = n == 3 ? cvRound(0.13 * w) : 2 * d;
        for (int i = 0; i < n; ++i)
            cv::circle(canal, centre + cv::Point((2 * i - (n - 1)) * spacing / 2, 0), r, 255,
                       cv::FILLED);
    }
}

}  // namespace

std::string StackScene::name() const {
    std::string types;
    for (const std::string& root : rootConfigurations()) {
        std::string type = root;
        for (const auto& [t, c] : vertucciConfigurations())
            if (c == root) type = t;
        types += (types.empty() ? "" : "+") + type;
    }
    std::string name = types + (colour ? "-colour" : "-grey") + std::to_string(depth) +
                       (apexFirst ? "-apex-first" : "");
    if (condition != StackCondition::Plain)
        name += std::string("-") + kStackConditionNames[static_cast<int>(condition)] + "-s" +
                std::to_string(seed);
    return name;
}

std::vector<std::string> StackScene::rootConfigurations() const {
    std::vector<std::string> all{configuration};
    all.insert(all.end(), furtherRoots.begin(), furtherRoots.end());
    return all;
}

cv::Size StackScene::sliceSize() const {
    return {size.width * (1 + static_cast<int>(furtherRoots.size())), size.height};
}

std::vector<std::pair<std::string, std::string>> vertucciConfigurations() {
    return {{"I", "1"},   {"II", "2-1"},   {"III", "1-2-1"},   {"IV", "2"},
            {"V", "1-2"}, {"VI", "2-1-2"}, {"VII", "1-2-1-2"}, {"VIII", "3"}};
}

int canalsInSlice(const StackScene& scene, int index, int root) {
    const std::string configuration = scene.rootConfigurations().at(static_cast<std::size_t>(root));
    const int stretch = stretchOf(scene, configuration, coronalIndex(scene, index));
    return stretch < 0 ? 0 : configurationCounts(configuration)[static_cast<std::size_t>(stretch)];
}

cv::Mat renderStackSlice(const StackScene& scene, int index) {
    CV_Assert(scene.depth == 8 || scene.depth == 16);
    const int k = coronalIndex(scene, index);
    const cv::Size size = scene.sliceSize();
    cv::Mat root = cv::Mat::zeros(size, CV_8UC1), canal = cv::Mat::zeros(size, CV_8UC1);
    const std::vector<std::string> configurations = scene.rootConfigurations();
    for (std::size_t i = 0; i < configurations.size(); ++i)
        drawRoot(scene, configurations[i], k,
                 cv::Point(static_cast<int>(i) * scene.size.width + scene.size.width / 2,
                           scene.size.height / 2),
                 root, canal);

    std::mt19937 random(1000u * static_cast<unsigned>(scene.colour) + static_cast<unsigned>(index) +
                        7919u * scene.seed);
    const auto noise = [&random, &scene](int amplitude) {
        if (scene.condition == StackCondition::Noise)
            return static_cast<int>(std::lround(std::normal_distribution<double>(0, 14)(random)));
        return static_cast<int>(random() % static_cast<unsigned>(2 * amplitude + 1)) - amplitude;
    };
    const int channels = scene.colour ? 3 : 1;
    const double kGreyRing = 20;
    // The scene's colours, blurred as a scanner's partial volume blurs them, then the noise.
    cv::Mat clean(size, CV_MAKETYPE(CV_64F, channels));
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const bool inRoot = root.at<uchar>(y, x) == 255;
            const bool inRing = root.at<uchar>(y, x) == 128;
            const bool inCanal = canal.at<uchar>(y, x) && inRoot;
            double* p = clean.ptr<double>(y) + x * channels;
            for (int ch = 0; ch < channels; ++ch)
                p[ch] = scene.colour ? (inCanal  ? kCanal
                                        : inRoot ? kEnamel
                                        : inRing ? kCanal * 0.5
                                                 : kGum)[ch]
                                     : (inCanal  ? kGreyCanal
                                        : inRoot ? kGreyDentin
                                        : inRing ? kGreyRing
                                                 : kGreyBackground);
        }
    if (scene.condition == StackCondition::Blur) cv::GaussianBlur(clean, clean, {0, 0}, 1.3);
    cv::Mat eight(size, CV_MAKETYPE(CV_8U, channels));
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const bool dentin = root.at<uchar>(y, x) == 255 && !canal.at<uchar>(y, x);
            const double* c = clean.ptr<double>(y) + x * channels;
            uchar* p = eight.ptr<uchar>(y) + x * channels;
            for (int ch = 0; ch < channels; ++ch)
                p[ch] = cv::saturate_cast<uchar>(c[ch] + noise(dentin ? 5 : 4));
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

std::vector<StackScene> hardStackScenes(int seeds) {
    std::vector<StackScene> scenes;
    for (int c = 1; c < static_cast<int>(std::size(kStackConditionNames)); ++c)
        for (unsigned seed = 1; seed <= static_cast<unsigned>(seeds); ++seed)
            for (const auto& [type, configuration] : vertucciConfigurations())
                scenes.push_back({.configuration = configuration,
                                  .furtherRoots = c == static_cast<int>(StackCondition::Close)
                                                      ? std::vector<std::string>{"1"}
                                                      : std::vector<std::string>{},
                                  .colour = false,
                                  .depth = 16,
                                  .condition = static_cast<StackCondition>(c),
                                  .seed = seed});
    return scenes;
}

std::vector<StackScene> multiRootStackScenes() {
    std::vector<StackScene> scenes;
    for (const bool colour : {true, false}) {
        scenes.push_back(
            {.configuration = "2", .furtherRoots = {"1"}, .colour = colour, .depth = 16});
        scenes.push_back({.configuration = "1-2-1",
                          .furtherRoots = {"1", "2-1"},
                          .colour = colour,
                          .depth = 16});
    }
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
    return classifierOf(training.samples());
}

int stackClassThreshold(const StackScene& scene) {
    return scene.colour ? 5 : 10;
}

bool writeStackTiff(const StackScene& scene, const std::string& path, const TiffLayout& layout) {
    TiffStackWriter writer(path, layout);
    for (int i = 0; i < scene.slices; ++i)
        if (!writer.append(renderStackSlice(scene, i))) return false;
    return writer.close();
}

}  // namespace quendra
