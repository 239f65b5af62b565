// Writes the bundled sample pictures, their ground truth and a colour-class file trained on
// them into the folder given as the only argument.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <opencv2/imgcodecs.hpp>

#include "SampleScene.h"
#include "colour/ColorTraining.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quendra-make-samples OUTPUT_FOLDER\n";
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    quendra::ColorTraining training;
    for (const quendra::SampleScene& scene : quendra::sampleScenes()) {
        quendra::SampleTruth truth;
        const cv::Mat picture = quendra::renderScene(scene, &truth);
        if (!cv::imwrite((out / (scene.name + ".png")).string(), picture)) {
            std::cerr << "cannot write " << scene.name << ".png\n";
            return 1;
        }
        std::ofstream(out / (scene.name + ".truth.txt")) << quendra::formatTruth(truth);
        quendra::pickSampleColors(scene, picture, training);
    }
    if (training.save((out / "classes.dat").string()) != quendra::ClassFileStatus::Ok) {
        std::cerr << "cannot write classes.dat\n";
        return 1;
    }
    return 0;
}
