// Writes the generated test stacks into the folder given: for every configuration type and
// look, for the stacks of several roots side by side and for a whole molar (MolarStack.h), a
// multi-page TIFF `<name>.tif` and the colour classes an operator would train on its first slice,
// `<name>.dat` (for 16-bit stacks, on the slice mapped by the stack's window). Every grey 16-bit
// stack stored from the crown is also written as a DICOM series, `<name>-dicom/`: one file a
// slice under shuffled names, 0.05 mm pixels and slice distance, the window in its header.

#include <filesystem>
#include <iostream>
#include <vector>

#include "DicomSeriesWriter.h"
#include "MolarStack.h"
#include "StackScene.h"
#include "ToolArguments.h"
#include "colour/ColorTraining.h"
#include "io/SliceStack.h"
#include "io/StackWindow.h"

int main(int argc, char** argv) {
    int exitStatus = 0;
    if (!quendra::toolArguments(argc, argv, 1, 1, "quendra-make-stacks OUTPUT_FOLDER", exitStatus))
        return exitStatus;
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    std::vector<quendra::StackScene> scenes = quendra::stackScenes();
    const std::vector<quendra::StackScene> multiRoot = quendra::multiRootStackScenes();
    scenes.insert(scenes.end(), multiRoot.begin(), multiRoot.end());
    for (const quendra::StackScene& scene : scenes) {
        const std::string tiff = (out / (scene.name() + ".tif")).string();
        if (!quendra::writeStackTiff(scene, tiff)) {
            std::cerr << "cannot write " << tiff << "\n";
            return 1;
        }
        quendra::SliceStack stack(tiff);
        const quendra::GreyWindow window = quendra::sampledWindow(stack);
        quendra::ColorTraining training;
        quendra::pickStackColors(scene, quendra::frameOfSlice(stack.read(0).slice, window),
                                 training);
        const std::string classes = (out / (scene.name() + ".dat")).string();
        if (training.save(classes) != quendra::ClassFileStatus::Ok) {
            std::cerr << "cannot write " << classes << "\n";
            return 1;
        }
        if (scene.colour || scene.depth != 16 || scene.apexFirst) continue;
        const quendra::DicomHeader header{
            .window = cv::Vec2d((window.low + window.high) / 2, window.high - window.low)};
        const std::string dicom = (out / (scene.name() + "-dicom")).string();
        if (!quendra::writeDicomSeries(scene, dicom, header,
                                       quendra::shuffledNames(scene.slices))) {
            std::cerr << "cannot write " << dicom << "\n";
            return 1;
        }
    }
    // The molar, stored from the apex, with the classes an operator trains on it.
    const quendra::MolarStack molar;
    const std::string tiff = (out / "molar-grey8-apex-first.tif").string();
    quendra::TiffStackWriter writer(tiff, {.deflate = true});
    for (int i = 0; i < molar.slices; ++i) writer.append(molar.render(i));
    quendra::ColorTraining training;
    molar.pickColors(training);
    const std::string classes = (out / "molar-grey8-apex-first.dat").string();
    if (!writer.close() || training.save(classes) != quendra::ClassFileStatus::Ok) {
        std::cerr << "cannot write the molar stack into " << out << "\n";
        return 1;
    }
    return 0;
}
