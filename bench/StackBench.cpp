// A stack of 200 slices of 1000 x 1000 px, 16-bit grey TIFF (400 MB decoded; stored plainly,
// /0, and deflate-compressed, /1; kept in the temporary folder between runs): slices analysed a
// second (read and mapped by the stack's window on the run's reader thread, analysed and canals
// followed on one worker, as quendra-batch --jobs 1 does) beside the same slices only read, and the
// peak resident memory of the process beside the stack's decoded size. A program of its own, so
// that its peak is the stack's alone. BM_StackBatch runs quendra-batch itself on the stack, as a
// study would, with one worker per core: its slices a second, and the peak resident memory of the
// whole program. BM_StackReadOnly/2 reads the same slices as a DICOM series, one file a slice.
//
// QUENDRA_BENCH_STACK=WIDTHxHEIGHTxSLICES (e.g. 2000x2000x2000) measures BM_StackBatch on a
// stack of that size instead (written once into the temporary folder, stored plainly).

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "DicomSeriesWriter.h"
#include "StackScene.h"
#include "analysis/CanalTracking.h"
#include "analysis/SectionLabels.h"
#include "analysis/ToothAnalysis.h"
#include "batch/FrameQueue.h"
#include "batch/FrameReader.h"
#include "colour/ColorTraining.h"
#include "io/SliceStack.h"
#include "io/StackFrames.h"
#include "io/StackWindow.h"

namespace quendra {
namespace {

const StackScene kScene{
    .configuration = "1-2-1", .colour = false, .depth = 16, .size = {1000, 1000}, .slices = 200};

// The stack stored plainly (`deflate` false, as most scanners write it) or deflate-compressed.
std::string benchStack(bool deflate, const StackScene& scene = kScene) {
    const std::string size = std::to_string(scene.size.width) + "x" +
                             std::to_string(scene.size.height) + "x" + std::to_string(scene.slices);
    const auto file = std::filesystem::temp_directory_path() /
                      ("quendra-bench-stack-" + size + (deflate ? "-deflate.tif" : "-plain.tif"));
    if (!std::filesystem::exists(file)) {
        const auto part = std::filesystem::path(file.string() + ".part");
        if (!writeStackTiff(scene, part.string(), {.deflate = deflate}))
            throw std::runtime_error("cannot write the stack");
        std::filesystem::rename(part, file);
    }
    return file.string();
}

// The stack as a DICOM series (one uncompressed 16-bit file a slice, as scanners export), kept
// in the temporary folder as the TIFFs are.
std::string benchDicom() {
    const auto folder = std::filesystem::temp_directory_path() / "quendra-bench-stack-dicom";
    if (!std::filesystem::exists(folder)) {
        const auto part = std::filesystem::path(folder.string() + ".part");
        std::filesystem::remove_all(part);
        if (!writeDicomSeries(kScene, part.string(), {}, shuffledNames(kScene.slices)))
            throw std::runtime_error("cannot write the DICOM series");
        std::filesystem::rename(part, folder);
    }
    return folder.string();
}

// The scene BM_StackBatch measures: kScene, or the size QUENDRA_BENCH_STACK asks for.
StackScene batchScene() {
    StackScene scene = kScene;
    if (const char* size = std::getenv("QUENDRA_BENCH_STACK"))
        if (std::sscanf(size, "%dx%dx%d", &scene.size.width, &scene.size.height, &scene.slices) !=
            3)
            throw std::runtime_error("QUENDRA_BENCH_STACK is not WIDTHxHEIGHTxSLICES");
    return scene;
}

// Buffers of megabytes from the heap, kept there, as quendra-batch takes them: otherwise each
// slice's buffers are mapped afresh and their pages faulted in, which costs as much as reading.
const bool kHeapBuffers =
    mallopt(M_MMAP_THRESHOLD, 32 << 20) && mallopt(M_TRIM_THRESHOLD, 256 << 20);

// Starts the count of the peak resident memory afresh (Linux 4.0 and later), so that a
// benchmark's peak is not that of what ran before it.
void resetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A memory figure of this process in bytes: "VmHWM" the peak resident memory since the last
// reset, "VmRSS" the resident memory now.
double processMemory(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1)) * 1024;
    return 0;
}

// The program with its libraries before it does anything (Debian's OpenCV alone brings some
// 140 shared libraries, GDAL's among them): memory no stack can do without.
const double kProgramResident = processMemory("VmRSS");

// `before`: the resident memory as the stack's work began (for the analysis with the colour
// classes and the analysis' class cache). The stack's own peak is the process's above the
// program's.
void reportMemory(benchmark::State& state, double before) {
    const double decoded = 2.0 * kScene.size.area() * kScene.slices;
    const double peak = processMemory("VmHWM");
    state.counters["decoded_MB"] = decoded / 1e6;
    state.counters["program_rss_MB"] = kProgramResident / 1e6;
    state.counters["start_rss_MB"] = before / 1e6;
    state.counters["peak_rss_MB"] = peak / 1e6;
    state.counters["decoded_per_own_peak"] = decoded / (peak - kProgramResident);
}

// Arg 0: the plain TIFF, 1: deflate, 2: the DICOM series of the same slices.
void BM_StackReadOnly(benchmark::State& state) {
    SliceStack stack(state.range(0) == 2 ? benchDicom() : benchStack(state.range(0) == 1));
    resetPeakResident();
    const double before = processMemory("VmRSS");
    for (auto _ : state)
        for (int i = 0; i < stack.sliceCount(); ++i)
            benchmark::DoNotOptimize(stack.read(i).slice.data);
    state.SetItemsProcessed(state.iterations() * stack.sliceCount());
    reportMemory(state, before);
}
BENCHMARK(BM_StackReadOnly)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The slices as quendra-batch with one worker takes them: read and mapped ahead by the run's
// reader (FrameReader.h) while the slice before is analysed and its canals followed.
void BM_StackAnalysed(benchmark::State& state) {
    const std::vector<BatchItem> items{
        {.path = benchStack(state.range(0) == 1), .kind = MediaKind::Stack}};
    const ColorClassifier classes =
        stackClassifier(kScene, StackFrames(items.front().path).frameAt(0).frame);
    ToothAnalysis analysis;
    AnalysisSettings settings;
    settings.classThreshold = stackClassThreshold(kScene);
    analysis.setSettings(settings);
    std::string configuration;
    resetPeakResident();
    const double before = processMemory("VmRSS");
    for (auto _ : state) {
        FrameQueue queue(items, 1, readAhead(1));
        FrameReader reader(queue, 1);
        CanalTracker tracker;
        for (WorkUnit unit; reader.next(unit); queue.written(unit.seq)) {
            analysis.calculate(unit.picture, classes);
            tracker.addSlice(sectionOfAnalysis(analysis));
        }
        configuration = tracker.roots().at(0).configuration;
    }
    if (configuration != kScene.configuration)
        state.SkipWithError(("named " + configuration + ", not " + kScene.configuration).c_str());
    state.SetItemsProcessed(state.iterations() * kScene.slices);
    reportMemory(state, before);
}
BENCHMARK(BM_StackAnalysed)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// quendra-batch on the stack, its peak resident memory (of the child alone, from wait4).
void BM_StackBatch(benchmark::State& state) {
    if (state.range(0) == 1 && !std::getenv("QUENDRA_BENCH_STACK")) {
        state.SkipWithError("QUENDRA_BENCH_STACK names no stack");
        return;
    }
    const StackScene scene = state.range(0) == 1 ? batchScene() : kScene;
    // A large stack is stored plainly: compressing thousands of slices takes far longer than
    // analysing them.
    const std::string tiff = benchStack(state.range(0) == 0, scene);
    const auto folder = std::filesystem::temp_directory_path() / "quendra-bench-stack-batch";
    std::filesystem::create_directories(folder);
    const std::string classes = (folder / "classes.dat").string();
    {
        SliceStack stack(tiff);
        ColorTraining training;
        pickStackColors(scene, frameOfSlice(stack.read(0).slice, sampledWindow(stack)), training);
        training.save(classes);
    }
    const std::string out = (folder / "out").string();
    std::vector<std::string> args{QUENDRA_BATCH_PROGRAM,
                                  "--classes",
                                  classes,
                                  "--class-threshold",
                                  "10",
                                  "--overlays",
                                  "none",
                                  "--report",
                                  "none",
                                  "--quiet",
                                  "--overwrite",
                                  "--out",
                                  out,
                                  tiff};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    long peakKiB = 0;
    for (auto _ : state) {
        pid_t pid = 0;
        if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("cannot start quendra-batch");
            return;
        }
        int status = 0;
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("quendra-batch failed");
            return;
        }
        peakKiB = std::max(peakKiB, usage.ru_maxrss);
    }
    std::ifstream stacks(out + "/stacks.csv");
    std::string header, row;
    std::getline(stacks, header);
    std::getline(stacks, row);
    if (row.find("," + scene.configuration + ",") == std::string::npos)
        state.SkipWithError(("stacks.csv: " + row).c_str());
    const double decoded = 2.0 * scene.size.area() * scene.slices;
    state.SetItemsProcessed(state.iterations() * scene.slices);
    state.counters["decoded_MB"] = decoded / 1e6;
    state.counters["program_peak_rss_MB"] = peakKiB * 1024.0 / 1e6;
    state.counters["decoded_per_program_peak"] = decoded / (peakKiB * 1024.0);
}
// /0: the stack of the other cases; /1: the one QUENDRA_BENCH_STACK asks for.
BENCHMARK(BM_StackBatch)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace quendra
