// The window playing a 25 frames-per-second video (1920x1080, then 3840x2160) with the
// analysis on, for ten seconds, as an operator watches it: how many of the video's frames reach
// the screen, and the CPU time each costs. Beside it, in the same run, BM_VideoStepAnalysed:
// reading and analysing one frame of the same video, the part of the work that is not the
// display's.
//
// Run under a display with OpenGL, e.g.:
//   xvfb-run -a -s "-screen 0 1920x1200x24" build/bench/quendra-window-bench

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <opencv2/videoio.hpp>

#include "SampleFixture.h"
#include "app/QuendraRC1.h"
#include "app/Translation.h"
#include "panels/VideoController.h"
#include "view/FrameView.h"

namespace {

constexpr int kFrames = 250;  // ten seconds
constexpr double kRate = 25;

// The videos played: Motion JPEG, every frame a picture of its own, and MPEG-4, cheaper to
// decode (the display's share weighs more beside it).
struct Case {
    cv::Size size;
    const char* codec;      // fourcc
    const char* extension;  // the container
};
const Case kCases[] = {
    {{1920, 1080}, "MJPG", ".avi"}, {{1920, 1080}, "mp4v", ".mp4"}, {{3840, 2160}, "MJPG", ".avi"}};

// Written once, kept between runs.
std::string sampleVideo(const Case& c) {
    const auto file =
        std::filesystem::temp_directory_path() /
        ("quendra-window-bench-" + std::to_string(c.size.width) + "-" + c.codec + c.extension);
    const int fourcc = cv::VideoWriter::fourcc(c.codec[0], c.codec[1], c.codec[2], c.codec[3]);
    quendra::writeSampleVideo(file, fourcc, c.size, kFrames);
    return file.string();
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void wait(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Playback {
    int shown = 0;
    double seconds = 0, cpu = 0;
};

// Plays the video in the real window for ten seconds and counts the frames that reached the
// screen: each swap of the view's buffers that shows another frame than the one before.
Playback play(const std::string& video, const std::string& classes) {
    QuendraRC1 window;
    window.show();
    window.openVideoFile(QString::fromStdString(video));
    window.loadClassesFile(QString::fromStdString(classes));
    wait(500);  // shown, first frame analysed, class cache warm
    Playback result;
    int last = -1;
    QObject::connect(window.view(), &QOpenGLWindow::frameSwapped, [&] {
        const int position = window.videoPanel()->slider()->value();
        if (position != last) ++result.shown;
        last = position;
    });
    QAbstractButton* play = nullptr;
    for (QAbstractButton* b : window.videoPanel()->findChildren<QAbstractButton*>())
        if (b->text() == QStringLiteral(">/||")) play = b;
    QElapsedTimer clock;
    const double cpu = cpuSeconds();
    clock.start();
    play->click();
    wait(static_cast<int>(kFrames / kRate * 1000));
    play->click();
    result.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    result.cpu = cpuSeconds() - cpu;
    return result;
}

}  // namespace

// Google Benchmark's console output, keeping the CPU time of the last run (milliseconds).
class KeepTime : public benchmark::ConsoleReporter {
public:
    double milliseconds = 0;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) milliseconds = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    loadGermanQtTranslation();
    benchmark::Initialize(&argc, argv);
    const std::string& classes = quendra::sampleClassFile();
    // --benchmark_filter=TEXT plays only the cases whose peer's name holds TEXT.
    const std::string filter = benchmark::GetBenchmarkFilter();
    const bool everything = filter.empty() || filter == "." || filter == "all";
    for (const Case& c : kCases) {
        const auto name = "BM_VideoStepAnalysed/" + std::to_string(c.size.width) + "/" +
                          std::to_string(c.size.height) + "/" + c.codec;
        if (!everything && name.find(filter) == std::string::npos) continue;
        const std::string video = sampleVideo(c);
        const Playback p = play(video, classes);
        benchmark::RegisterBenchmark(
            name.c_str(), [&](benchmark::State& s) { quendra::stepVideoAnalysed(s, video); })
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime();
        KeepTime step;
        benchmark::RunSpecifiedBenchmarks(&step);
        benchmark::ClearRegisteredBenchmarks();
        const double perFrame = 1000 * p.cpu / p.shown;
        std::printf(
            "window %dx%d %s: %d frames shown in %.2f s of a %.0f fps video: %.3f of its "
            "frames; %.2f ms CPU per shown frame, %.1f times %s\n",
            c.size.width, c.size.height, c.codec, p.shown, p.seconds, kRate,
            p.shown / (p.seconds * kRate), perFrame, perFrame / step.milliseconds, name.c_str());
        std::fflush(stdout);
    }
    return 0;
}
