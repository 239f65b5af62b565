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
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "SampleFixture.h"
#include "analysis/ToothAnalysis.h"
#include "app/QuendraRC1.h"
#include "app/Translation.h"
#include "io/VideoFrames.h"
#include "panels/VideoController.h"
#include "view/FrameView.h"

namespace {

constexpr int kFrames = 250;  // ten seconds
constexpr double kRate = 25;

// The sample tooth drifting slowly, as a hand-held camera shows it, written once.
std::string sampleVideo(cv::Size size) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("quendra-window-bench-" + std::to_string(size.width) + ".avi");
    if (std::filesystem::exists(file)) return file.string();
    const cv::Mat& frame = quendra::sampleFrame(1920, 1080);
    cv::Mat scaled;
    cv::resize(frame, scaled, size, 0, 0, cv::INTER_NEAREST);
    cv::VideoWriter writer(file.string(), cv::CAP_FFMPEG,
                           cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), kRate, size);
    for (int i = 0; i < kFrames; ++i) {
        cv::Mat shifted;
        const cv::Mat move = (cv::Mat_<double>(2, 3) << 1, 0, i % 8, 0, 1, i % 5);
        cv::warpAffine(scaled, shifted, move, size, cv::INTER_NEAREST, cv::BORDER_REPLICATE);
        writer.write(shifted);
    }
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

// Reading on and analysing one frame of the video, as playback does before the display.
void stepAnalysed(benchmark::State& state, const std::string& video) {
    quendra::VideoFrames frames(video);
    quendra::ToothAnalysis analysis;
    analysis.calculate(frames.frameAt(0), quendra::sampleClassifier());  // fills the class cache
    int position = 0;
    for (auto _ : state) {
        position = (position + 1) % frames.frameCount();
        analysis.calculate(frames.frameAt(position), quendra::sampleClassifier());
        benchmark::DoNotOptimize(analysis.hasResults());
    }
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
    for (const cv::Size size : {cv::Size(1920, 1080), cv::Size(3840, 2160)}) {
        const std::string video = sampleVideo(size);
        const Playback p = play(video, classes);
        const auto name = "BM_VideoStepAnalysed/" + std::to_string(size.width) + "/" +
                          std::to_string(size.height);
        benchmark::RegisterBenchmark(name.c_str(), [&](benchmark::State& s) {
            stepAnalysed(s, video);
        })->Unit(benchmark::kMillisecond);
        KeepTime step;
        benchmark::RunSpecifiedBenchmarks(&step);
        benchmark::ClearRegisteredBenchmarks();
        const double perFrame = 1000 * p.cpu / p.shown;
        std::printf(
            "window %dx%d: %d frames shown in %.2f s of a %.0f fps video: %.3f of its "
            "frames; %.2f ms CPU per shown frame, %.1f times %s\n",
            size.width, size.height, p.shown, p.seconds, kRate, p.shown / (p.seconds * kRate),
            perFrame, perFrame / step.milliseconds, name.c_str());
        std::fflush(stdout);
    }
    return 0;
}
