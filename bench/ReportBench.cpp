// The run's report: what it adds to a run of 200 1080p pictures (beside the same run without
// it), and what the page costs and weighs for a study of 10,000 and of 100,000 pictures.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <sstream>

#include "SampleFixture.h"
#include "batch/BatchRun.h"
#include "report/ReportThumbnails.h"
#include "report/RunReport.h"
#include "results/ResultsTable.h"
#include "results/RunFileNames.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

constexpr int kRunPictures = 200;

// 200 different 1920x1080 JPEG pictures of the sample tooth, made once.
const fs::path& runFolder() {
    static const fs::path folder = [] {
        const fs::path dir = fs::temp_directory_path() / "quendra-bench-report";
        fs::remove_all(dir);
        fs::create_directories(dir / "pictures");
        for (int i = 0; i < kRunPictures; ++i)
            cv::imwrite((dir / "pictures" / ("tooth" + std::to_string(1000 + i) + ".jpg")).string(),
                        shiftedSample(i % 17, i % 11));
        return dir;
    }();
    return folder;
}

// The process's processor time so far (every thread), seconds.
double processSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Whole runs over the 200 pictures with the default outputs, each iteration once without the
// report and once with it, into the same folder, so that both meet the same load of the
// machine. The counters give the time each took in all (wall clock and processor time of the
// whole process) and what the report added, in percent.
void BM_BatchWithReport(benchmark::State& state) {
    const fs::path& dir = runFolder();
    BatchOptions options;
    options.classes = sampleClassFile();
    options.inputs = {(dir / "pictures").string()};
    options.out = (dir / "out").string();
    options.quiet = true;
    options.overwrite = true;
    double wall[2] = {0, 0}, cpu[2] = {0, 0};
    for (auto _ : state) {
        for (const bool report : {false, true}) {
            options.report = report;
            std::ostringstream log;
            const auto start = std::chrono::steady_clock::now();
            const double startCpu = processSeconds();
            benchmark::DoNotOptimize(runBatch(options, log));
            cpu[report] += processSeconds() - startCpu;
            wall[report] +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    }
    state.counters["without_s"] = wall[0];
    state.counters["with_s"] = wall[1];
    state.counters["added_pct"] = 100 * (wall[1] / wall[0] - 1);
    state.counters["cpu_without_s"] = cpu[0];
    state.counters["cpu_with_s"] = cpu[1];
    state.counters["cpu_added_pct"] = 100 * (cpu[1] / cpu[0] - 1);
    state.SetItemsProcessed(state.iterations() * 2 * kRunPictures);
}
BENCHMARK(BM_BatchWithReport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A table of `pictures` pictures as a run writes it (one in ten without a tooth, one in twenty
// without an accepted canal, the others with one to four canals, half with a scale), its run
// record, and a thumbnail file for every picture the gallery may take (the first 2,000 and
// the even spread).
struct Study {
    fs::path out;
    std::vector<BatchItem> items;
    ReportSources sources;
};

Study makeStudy(int pictures) {
    Study made;
    made.out =
        fs::temp_directory_path() / ("quendra-bench-report-study-" + std::to_string(pictures));
    fs::remove_all(made.out);
    fs::create_directories(made.out);
    const char* const types[] = {"Frontzahn", "4er OK-Praemolar", "OK-Molar", "UK-Molar",
                                 "5er OK- oder UK-Praemolar oder 4er UK-Praemolar"};
    std::mt19937 random(1);
    std::uniform_real_distribution<double> unit(0, 1);
    std::string table = tableHeader(true);
    for (int i = 0; i < pictures; ++i) {
        const std::string file = "study/tooth" + std::to_string(10000 + i) + ".png";
        BatchItem item{file,
                       MediaKind::Picture,
                       made.out / ("tooth" + std::to_string(10000 + i) + ".png"),
                       {}};
        made.items.push_back(item);
        if (i % 10 == 3) {
            table += file + ",,none,,,,,,,,,,,,,,,,,,,\r\n";
            continue;
        }
        const int canals = i % 20 == 7 ? 0 : 1 + i % 4;
        const std::string scale = i % 2 ? "20" : "";
        const auto mm = [&](double v, double power) {
            return scale.empty() ? std::string() : std::to_string(v / std::pow(20, power));
        };
        table += file + ",,tooth," + (canals ? types[i % 5] : "Zahn nicht erkannt.") + "," +
                 std::to_string(canals) + ",80000,320,240,-12.5,170,150,1060,0.88,1.13,round," +
                 scale + "," + mm(80000, 2) + "," + mm(320, 1) + "," + mm(240, 1) + "," +
                 mm(170, 1) + "," + mm(150, 1) + "," + mm(1060, 1) + "\r\n";
        for (int c = 1; c <= canals; ++c) {
            const double area = 200 + 600 * unit(random), ratio = 1 + 3 * unit(random);
            table += file + ",,canal " + std::to_string(c) + ",,," + std::to_string(area) +
                     ",300,200,10," + std::to_string(10 * ratio) + ",10," +
                     std::to_string(60 + 20 * ratio) + "," +
                     std::to_string(0.6 + 0.35 * unit(random)) + "," + std::to_string(ratio) +
                     (ratio < 2 ? ",round," : ",oval,") + scale + "," + mm(area, 2) + "," +
                     mm(300, 1) + "," + mm(200, 1) + "," + mm(10 * ratio, 1) + "," + mm(10, 1) +
                     "," + mm(60 + 20 * ratio, 1) + "\r\n";
        }
    }
    made.sources = {made.out, made.out / "results.csv", made.out / "run.json",
                    made.out / runFileName(RunFile::Report, ""), ""};
    std::ofstream(made.sources.table, std::ios::binary) << table;
    std::ofstream(made.sources.record) << R"({"program":"quendra-batch","version":"bench",)"
                                       << R"("settings":{"overlays":"video"},"status":"finished",)"
                                       << R"("problems":[]})";
    const fs::path thumbs = made.out / runFileName(RunFile::ReportThumbnails, "");
    for (std::size_t i = 0; i < made.items.size(); ++i) {
        const BatchItem& item = made.items[i];
        if (i >= 2000 && !inThumbnailSpread(i, made.items.size())) continue;
        const fs::path thumb = thumbnailPath(thumbs, made.out, item, -1);
        fs::create_directories(thumb.parent_path());
        std::ofstream(thumb) << "jpeg";
        std::ofstream(outputPath(item, Output::JpegOverlay)) << "jpeg";
    }
    return made;
}

// The page for a study of 10,000 or 100,000 pictures: the time to make it from the run's files,
// and its size (the counter page_bytes).
void BM_ReportPage(benchmark::State& state) {
    const Study s = makeStudy(static_cast<int>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) bytes = runReportHtml(s.sources, s.items).size();
    state.counters["page_bytes"] = static_cast<double>(bytes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    fs::remove_all(s.out);
}
BENCHMARK(BM_ReportPage)
    ->ArgName("pictures")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
}  // namespace quendra
