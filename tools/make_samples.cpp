// Writes the bundled sample pictures, their ground truth and a colour-class file trained on
// them into the folder given as the first argument; the grey sections and a colour-class file
// trained on them into its subfolder sections/ (sections.dat), and, given the folder of the
// real micro-CT sections as the second argument, a colour-class file trained on those
// (realdata.dat).

#include <filesystem>
#include <fstream>
#include <iostream>
#include <opencv2/imgcodecs.hpp>

#include "GreySection.h"
#include "RealSections.h"
#include "SampleScene.h"
#include "ToolArguments.h"
#include "colour/ColorTraining.h"

int main(int argc, char** argv) {
    int exitStatus = 0;
    if (!quendra::toolArguments(argc, argv, 1, 2,
                                "quendra-make-samples OUTPUT_FOLDER [REAL_SECTIONS_FOLDER]",
                                exitStatus))
        return exitStatus;
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out / "sections");
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
    quendra::ColorTraining sections;
    for (const quendra::GreySection& section : quendra::greySections()) {
        const cv::Mat picture = quendra::renderGreySection(section);
        if (!cv::imwrite((out / "sections" / (section.name + ".png")).string(), picture)) {
            std::cerr << "cannot write " << section.name << ".png\n";
            return 1;
        }
        quendra::pickSectionColors(section, picture, sections);
    }
    const auto save = [&](const quendra::ColorTraining& classes, const char* name) {
        if (classes.save((out / name).string()) == quendra::ClassFileStatus::Ok) return true;
        std::cerr << "cannot write " << name << "\n";
        return false;
    };
    if (!save(training, "classes.dat") || !save(sections, "sections/sections.dat")) return 1;
    if (argc == 3) {
        quendra::ColorTraining real;
        quendra::pickRealSectionColors(argv[2], real);
        if (!save(real, "realdata.dat")) return 1;
    }
    return 0;
}
