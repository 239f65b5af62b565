// Stacks of slices in the batch analyser: generated stacks whose canal configuration is known,
// as multi-page TIFFs and as folders, followed root by root into stacks.csv, with resume,
// shards and the report keeping their guarantees.

#include <gtest/gtest.h>
#include <signal.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "BatchFixture.h"
#include "HandMadeTiff.h"
#include "MolarStack.h"
#include "StackScene.h"
#include "TiffStackWriter.h"
#include "colour/ColorTraining.h"
#include "io/CsvRecords.h"
#include "io/SliceStack.h"

namespace quendra {

namespace {

namespace fs = std::filesystem;

// The configuration of each type, from the scenes' own table.
std::string configurationOf(const std::string& type) {
    for (const auto& [t, c] : vertucciConfigurations())
        if (t == type) return c;
    return {};
}

class BatchStacks : public BatchFixture {
public:
    // The scene as a multi-page TIFF in the input folder, and the colour classes an operator
    // trains on its first slice as the analysis sees it (mapped by the stack's window).
    std::string writeStack(const StackScene& scene, const std::string& name) {
        const std::string tiff = path("in/" + name);
        fs::create_directories(fs::path(tiff).parent_path());
        EXPECT_TRUE(writeStackTiff(scene, tiff));
        if (classes.empty()) {
            SliceStack stack(tiff);
            ColorTraining training;
            pickStackColors(scene, frameOfSlice(stack.read(0).slice, sampledWindow(stack)),
                            training);
            classes = path("classes.dat");
            EXPECT_EQ(training.save(classes), ClassFileStatus::Ok);
        }
        return tiff;
    }

    BatchOptions stackOptions(std::vector<std::string> inputs, const std::string& out = "out") {
        BatchOptions o = options(std::move(inputs), out);
        o.classes = classes;
        o.analysis.autoClassThreshold = true;
        o.analysis.teeth = TeethChoice::All;
        o.overlays = Overlays::None;
        return o;
    }

    // The stacks' table's rows without its header, as fields.
    std::vector<std::vector<std::string>> stackRows(const std::string& file = "out/stacks.csv") {
        std::vector<std::vector<std::string>> rows;
        for (const CsvRecord& r : readCsvRecords(readBytes(folder / file)))
            rows.push_back(r.fields);
        EXPECT_FALSE(rows.empty());
        if (!rows.empty()) rows.erase(rows.begin());
        return rows;
    }

    std::string classes;
};

// Columns of stacks.csv.
enum Column {
    Stack,
    Tooth,
    FirstSlice,
    LastSlice,
    Configuration,
    Vertucci,
    CanalsMax,
    Divisions,
    Junctions,
    LengthMm,
    FourDigit,
    Note
};

// Every type of configuration, in colour and in 16-bit grey, each in a TIFF of its own in one
// folder: each stack's one root is named right, its slices are the table's frames from 1, and
// the report shows the stacks with their pictures.
TEST_F(BatchStacks, EveryTypeIsNamedInColourAndGrey) {
    for (const auto& [colour, depth] : {std::pair{true, 8}, {false, 16}}) {
        SCOPED_TRACE(colour ? "colour" : "grey");
        classes.clear();
        fs::remove_all(folder / "in");
        const std::string out = colour ? "colour" : "grey";
        for (const auto& [type, configuration] : vertucciConfigurations())
            writeStack({.configuration = configuration, .colour = colour, .depth = depth},
                       type + ".tif");
        BatchOptions o = stackOptions({path("in")}, out);
        o.overlays = Overlays::Png;
        ASSERT_EQ(run(o), 0) << log.str();
        const auto rows = stackRows(out + "/stacks.csv");
        ASSERT_EQ(rows.size(), 8u);
        for (const auto& row : rows) {
            const std::string type = fs::path(row[Stack]).stem().string();
            EXPECT_EQ(row[Vertucci], type) << row[Stack];
            EXPECT_EQ(row[Configuration], configurationOf(type)) << row[Stack];
            EXPECT_EQ(row[Tooth], "1");
            EXPECT_EQ(row[FirstSlice], "1");
            EXPECT_EQ(row[LastSlice], "40");
            EXPECT_TRUE(fs::is_regular_file(folder / out / (type + ".tif-canals.svg")));
        }
        EXPECT_TRUE(fs::is_regular_file(folder / out / "III.tif-f40-analyse.png"));
        EXPECT_EQ(record(out)["stacks"][0]["window"].is_null(), depth == 8);
        EXPECT_FALSE(fs::exists(folder / out / "III.tif-f0-analyse.png"));
        const std::string page = readBytes(folder / out / "report.html");
        EXPECT_NE(page.find("<h2>Stapel</h2>"), std::string::npos);
        EXPECT_NE(page.find("href=\"VII.tif-canals.svg\""), std::string::npos);
        for (const auto& [type, configuration] : vertucciConfigurations())
            EXPECT_NE(page.find("data-vertucci=\"" + type + "\">1<"), std::string::npos) << type;
    }
}

// The canals of slice `frame` in the table's rows.
int canalRows(const std::vector<CsvRecord>& rows, int frame) {
    return static_cast<int>(std::count_if(rows.begin() + 1, rows.end(), [&](const CsvRecord& r) {
        return std::stoi(r.fields[1]) == frame && r.fields[2].starts_with("canal");
    }));
}

// An independent reading of a grey slice: dentin where it is brighter than halfway between the
// background and the dentin, the root its filled outline (the background reached from the
// corner is outside), the canals the holes of more than 3 pixels (OpenCV's labelling).
struct Reading {
    cv::Mat root;  // 255 inside the filled outline
    int canals = 0;
};

Reading readSlice(const cv::Mat& grey) {
    cv::Mat dentin, smooth;
    cv::GaussianBlur(grey, smooth, {0, 0}, 0.8);
    cv::threshold(smooth, dentin, 90, 255, cv::THRESH_BINARY);
    cv::Mat outside;
    cv::copyMakeBorder(dentin, outside, 1, 1, 1, 1, cv::BORDER_CONSTANT, 0);
    cv::floodFill(outside, cv::Point(0, 0), 128);
    Reading reading;
    reading.root = outside(cv::Rect(1, 1, grey.cols, grey.rows)) != 128;
    cv::Mat holes = reading.root & ~dentin, labels, stats, centres;
    const int n = cv::connectedComponentsWithStats(holes, labels, stats, centres, 4);
    for (int i = 1; i < n; ++i) reading.canals += stats.at<int>(i, cv::CC_STAT_AREA) > 3;
    return reading;
}

// A whole lower molar (MolarStack.h) with the command line of micro-CT: exactly its two roots,
// typed I and II from the apex to the pulp chamber, the crown and its cusps no roots; from the
// furcation up to the chamber nearly every slice has the canals an independent reading finds,
// and no canal lies outside its root. Stored from the apex and, noisier and tilted, from the
// crown.
TEST_F(BatchStacks, AMolarsRootsFromTheApexToThePulpChamber) {
    for (const bool apexFirst : {true, false}) {
        SCOPED_TRACE(apexFirst ? "apex first" : "crown first, noisy, tilted");
        const MolarStack molar{.noise = apexFirst ? 8.0 : 13.0, .drift = apexFirst ? 0.0 : 8.0};
        const std::string tiff = path("in/molar.tif");
        fs::create_directories(path("in"));
        std::vector<cv::Mat> slices;
        {
            TiffStackWriter writer(tiff);
            for (int i = 0; i < molar.slices; ++i) {
                slices.push_back(molar.render(apexFirst ? i : molar.slices - 1 - i));
                writer.append(slices.back());
            }
            ASSERT_TRUE(writer.close());
        }
        ColorTraining training;
        molar.pickColors(training);
        ASSERT_EQ(training.save(path("molar.dat")), ClassFileStatus::Ok);
        BatchOptions o = options({tiff});
        o.classes = path("molar.dat");
        o.analysis.autoThreshold = o.analysis.autoClassThreshold = true;
        o.analysis.teeth = TeethChoice::All;
        o.analysis.minCanalArea = 3;
        o.apexFirst = apexFirst;
        o.masks = true;
        o.overlays = Overlays::None;
        o.overwrite = true;
        ASSERT_EQ(run(o), 0) << log.str();

        auto rows = stackRows();
        ASSERT_EQ(rows.size(), 2u);
        std::vector<std::string> types{rows[0][Vertucci], rows[1][Vertucci]};
        std::sort(types.begin(), types.end());
        EXPECT_EQ(types, kMolarRootTypes);
        const auto notes = record()["stacks"][0]["notes"];
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_NE(notes[0].get<std::string>().find("no roots"), std::string::npos) << notes;

        const std::vector<CsvRecord> table = readCsvRecords(readBytes(folder / "out/results.csv"));
        int agree = 0, compared = 0;
        double inside = 0, outside = 0;
        for (int i = 0; i < molar.slices; ++i) {
            const int stored = i + 1, height = apexFirst ? i : molar.slices - 1 - i;
            const Reading reading = readSlice(slices[static_cast<std::size_t>(i)]);
            if (height >= molar.slices / 2 && height < molar.chamberSlice()) {
                ++compared;
                agree += canalRows(table, stored) == reading.canals;
            }
            // The canal labels: every label after a tooth's and before the next tooth's.
            const cv::Mat labels =
                cv::imread(path("out/molar.tif-f" + std::to_string(stored) + "-labels.png"),
                           cv::IMREAD_UNCHANGED);
            ASSERT_FALSE(labels.empty()) << stored;
            std::vector<int> canalLabels;
            int label = 0;
            for (const CsvRecord& r : table)
                if (r.fields[1] == std::to_string(stored)) {
                    ++label;
                    if (r.fields[2].starts_with("canal")) canalLabels.push_back(label);
                }
            cv::Mat canal = cv::Mat::zeros(labels.size(), CV_8UC1);
            for (const int l : canalLabels) canal |= labels == l;
            inside += cv::countNonZero(canal & reading.root);
            outside += cv::countNonZero(canal & ~reading.root);
        }
        EXPECT_GE(agree, compared * 9 / 10) << agree << " of " << compared;
        EXPECT_LE(outside, 0.03 * (inside + outside));
    }
}

// Roots side by side are followed one by one; the table holds every root in every slice, and
// a slice spacing gives each root's length.
TEST_F(BatchStacks, RootsSideBySideEachWithItsLength) {
    const StackScene scene{.configuration = "1-2-1", .furtherRoots = {"1", "2-1"}, .depth = 16};
    BatchOptions o = stackOptions({writeStack(scene, "molar.tif")});
    o.sliceMm = 0.025;
    o.masks = true;
    ASSERT_EQ(run(o), 0) << log.str();
    const auto rows = stackRows();
    ASSERT_EQ(rows.size(), 3u);
    const std::vector<std::string> expected{"III", "I", "II"};
    for (std::size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(rows[r][Tooth], std::to_string(r + 1));
        EXPECT_EQ(rows[r][Vertucci], expected[r]);
        EXPECT_EQ(std::stod(rows[r][LengthMm]), 40 * 0.025);
        EXPECT_EQ(rows[r][Note], "");
    }
    // Slice 20's labels: three roots, each a connected region, with the canals the scene has.
    const cv::Mat labels = cv::imread(path("out/molar.tif-f20-labels.png"), cv::IMREAD_UNCHANGED);
    ASSERT_EQ(labels.type(), CV_16UC1);
    int canals = 0;
    for (int root = 0; root < 3; ++root) canals += canalsInSlice(scene, 19, root);
    double highest = 0;
    cv::minMaxLoc(labels, nullptr, &highest);
    EXPECT_EQ(highest, 3 + canals);
    EXPECT_EQ(record()["stacks"][0]["slices"], 40);

    // Only the largest region of each slice: the roots take turns, and the run says why.
    o.analysis.teeth = TeethChoice::Largest;
    o.overwrite = true;
    ASSERT_EQ(run(o), 0) << log.str();
    EXPECT_NE(log.str().find("40 slices show further roots"), std::string::npos) << log.str();
}

// A folder of slices is a stack in natural name order (s2 before s10): stored from the apex
// and named so that plain name order would scramble it, it is named as its TIFF is.
TEST_F(BatchStacks, AFolderIsAStackInNaturalNameOrder) {
    const StackScene scene{.configuration = "1-2", .colour = false, .apexFirst = true};
    fs::create_directories(folder / "in" / "slices");
    for (int i = 0; i < scene.slices; ++i)
        ASSERT_TRUE(cv::imwrite(path("in/slices/s" + std::to_string(i + 1) + ".png"),
                                renderStackSlice(scene, i)));
    writeStack(scene, "../stack.tif");
    BatchOptions o = stackOptions({path("in/slices/"), path("stack.tif")});
    o.stackFolders = true;
    o.apexFirst = true;
    ASSERT_EQ(run(o), 0) << log.str();
    const auto rows = stackRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][Configuration], "1-2");
    EXPECT_EQ(rows[0][Vertucci], "V");
    EXPECT_EQ(std::vector(rows[0].begin() + 1, rows[0].end()),
              std::vector(rows[1].begin() + 1, rows[1].end()));
    EXPECT_TRUE(fs::is_regular_file(folder / "out" / "in" / "slices-canals.svg"));

    o.apexFirst = false;  // read from the other end, the division is a junction
    o.overwrite = true;
    ASSERT_EQ(run(o), 0) << log.str();
    EXPECT_EQ(stackRows()[0][Configuration], "2-1");
}

// A 16-bit stack is mapped by one window for all its slices, never slice by slice: a
// background pixel has the grey the window gives its raw value in every slice, though the
// brightest raw value differs from slice to slice.
TEST_F(BatchStacks, SixteenBitSlicesAreMappedByOneWindow) {
    const StackScene scene{.configuration = "2", .colour = false, .depth = 16};
    const std::string tiff = writeStack(scene, "ct.tif");
    std::vector<cv::Mat> raw;
    ASSERT_TRUE(cv::imreadmulti(tiff, raw, cv::IMREAD_UNCHANGED));
    BatchOptions o = stackOptions({tiff});
    o.overlays = Overlays::Png;
    o.window = GreyWindow{4000, 40000};
    ASSERT_EQ(run(o), 0) << log.str();
    const cv::Point background(scene.size.width - 3, scene.size.height / 2);
    for (const int slice : {1, 6, 40}) {
        const cv::Mat shown =
            cv::imread(path("out/ct.tif-f" + std::to_string(slice) + "-analyse.png"));
        const double value = raw[static_cast<std::size_t>(slice - 1)].at<std::uint16_t>(background);
        EXPECT_EQ(shown.at<cv::Vec3b>(background)[1],
                  cv::saturate_cast<uchar>((value - 4000) * 255 / 36000))
            << "slice " << slice;
    }
    EXPECT_EQ(record()["settings"]["window"], "4000,40000");
    EXPECT_EQ(record()["stacks"][0]["window"], nlohmann::json::array({4000.0, 40000.0}));

    // Sampled from the stack, the window leaves out the specks of a few slices.
    o.window.reset();
    o.overwrite = true;
    ASSERT_EQ(run(o), 0) << log.str();
    const auto window = record()["stacks"][0]["window"];
    EXPECT_GE(window[0].get<double>(), 2000);
    EXPECT_LT(window[1].get<double>(), 50000);
    EXPECT_EQ(stackRows()[0][Vertucci], "IV");
}

// A TIFF whose pages change their depth half-way is refused by name: its 8-bit pages would
// keep their greys while the 16-bit ones go through the window, and the root, followed across
// the change, would get a wrong type.
TEST_F(BatchStacks, PagesOfMixedDepthsAreRefused) {
    const StackScene deep{.configuration = "1-2-1", .colour = false, .depth = 16};
    StackScene flat = deep;
    flat.depth = 8;
    writeStack(deep, "../classes-from.tif");
    TiffStackWriter mixed(path("in/mixed.tif"));
    for (int i = 0; i < deep.slices; ++i)
        ASSERT_TRUE(mixed.append(renderStackSlice(i < deep.slices / 2 ? deep : flat, i)));
    ASSERT_TRUE(mixed.close());
    EXPECT_EQ(run(stackOptions({path("in/mixed.tif")})), 1);
    EXPECT_NE(log.str().find("mixed.tif: its pages change from 16 to 8 bits at page 21"),
              std::string::npos)
        << log.str();
    EXPECT_EQ(table().find("mixed.tif,"), std::string::npos);
}

// A run interrupted in a stack holds back its rows, counts none of its slices as done and says
// so; the resumed run analyses it again, and its rows, stacks.csv and picture equal those of a
// run never interrupted; a resume with another --min-run is refused.
TEST_F(BatchStacks, AnInterruptedStackIsAnalysedAgainOnResume) {
    // Long enough that its progress lines fill the pipe, small enough to be quick.
    const StackScene scene{.configuration = "1-2-1", .size = {60, 48}, .slices = 1600};
    const std::string tiff = writeStack(scene, "long.tif");
    writeStack({.configuration = "1"}, "short.tif");
    BatchOptions whole = stackOptions({tiff, path("in/short.tif")}, "whole");
    ASSERT_EQ(run(whole), 0) << log.str();

    const auto args = [&](std::vector<std::string> more) {
        std::vector<std::string> a{"--classes",  classes,   "--class-threshold",
                                   "auto",       "--teeth", "all",
                                   "--overlays", "none",    "--out",
                                   path("out"),  tiff,      path("in/short.tif")};
        a.insert(a.end(), more.begin(), more.end());
        return program(a);
    };
    Program interrupted(args({}));
    for (int line = 0; line < 10; ++line) ASSERT_TRUE(interrupted.readLine());
    interrupted.signal(SIGINT);
    ASSERT_EQ(interrupted.wait(), 130);
    EXPECT_EQ(tableFrames(), std::vector<int>{});
    EXPECT_EQ(record()["frames_done"], 0);
    EXPECT_NE(interrupted.errorText().find("long.tif: stopped before its last slice"),
              std::string::npos)
        << interrupted.errorText();
    EXPECT_EQ(stackRows(), std::vector<std::vector<std::string>>{});

    Program otherRun(args({"--resume", "--min-run", "5"}));
    EXPECT_EQ(otherRun.wait(), 1);
    EXPECT_NE(otherRun.errorText().find("--min-run was 3, now 5"), std::string::npos)
        << otherRun.errorText();

    Program resumed(args({"--resume", "--quiet"}));
    EXPECT_EQ(resumed.wait(), 0) << resumed.errorText();
    EXPECT_EQ(table(), table("whole"));
    EXPECT_EQ(readBytes(folder / "out/stacks.csv"), readBytes(folder / "whole/stacks.csv"));
    EXPECT_EQ(readBytes(folder / "out/long.tif-canals.svg"),
              readBytes(folder / "whole/long.tif-canals.svg"));
    EXPECT_EQ(record()["stacks"].size(), 2u);
}

// The stacks' table removed while a stack is followed: the run names it and stops before the
// stack's rows reach the run's table, whose stacks all have their roots in the stacks' table.
TEST_F(BatchStacks, AStacksTableRemovedDuringTheRunKeepsTheStacksRowsOut) {
    const std::string tiff =
        writeStack({.configuration = "1-2-1", .size = {60, 48}, .slices = 1600}, "long.tif");
    Program batch(program({"--classes", classes, "--class-threshold", "auto", "--overlays", "none",
                           "--out", path("out"), tiff}));
    ASSERT_TRUE(batch.readLine());  // running, and held by its full pipe
    fs::remove(folder / "out/stacks.csv");
    EXPECT_EQ(batch.wait(), 1);
    EXPECT_NE(batch.errorText().find("stacks.csv: removed while the run wrote it"),
              std::string::npos)
        << batch.errorText().substr(0, 2000);
    EXPECT_EQ(tableFrames(), std::vector<int>{});
}

// Shards never split a stack: the shards' stacks tables, one after the other, hold the rows of
// one run over all stacks.
TEST_F(BatchStacks, ShardsNeverSplitAStack) {
    std::vector<std::string> inputs;
    for (const char* configuration : {"2-1", "1-2", "3"})
        inputs.push_back(writeStack({.configuration = configuration},
                                    "s" + std::string(configuration) + ".tif"));
    ASSERT_EQ(run(stackOptions(inputs, "whole")), 0) << log.str();
    std::string joined;
    for (int shard = 1; shard <= 4; ++shard) {  // one of the four without a stack
        BatchOptions o = stackOptions(inputs);
        o.shard = shard;
        o.shards = 4;
        ASSERT_EQ(run(o), 0) << log.str();
        const std::string part =
            readBytes(folder / "out" / ("stacks-" + std::to_string(shard) + "-of-4.csv"));
        joined += shard == 1 ? part : part.substr(part.find("\r\n") + 2);
    }
    EXPECT_EQ(joined, readBytes(folder / "whole/stacks.csv"));
}

// Slices that cannot be read or followed are named, the stack is followed on without them,
// and the run says it did not do everything; a TIFF cut short or whose pages loop back has its
// pages analysed but no roots named, which could be those of a part of it. A last page above
// the pixel limit is one slice not read, of a stack whose roots are named.
TEST_F(BatchStacks, BadSlicesAndCutFilesAreNamed) {
    const StackScene scene{.configuration = "2", .colour = false};
    fs::create_directories(folder / "in" / "s");
    std::vector<cv::Mat> slices;
    for (int i = 0; i < scene.slices; ++i) {
        slices.push_back(renderStackSlice(scene, i));
        ASSERT_TRUE(cv::imwrite(path("in/s/" + std::to_string(i + 1) + ".png"), slices.back()));
    }
    ASSERT_TRUE(cv::imwritemulti(path("classic.tif"), slices));  // no BigTIFF, as a hand can add to
    writeStack(scene, "../first.tif");                           // only for the classes
    writeBytes("in/s/7.png", "not a picture");
    ASSERT_TRUE(cv::imwrite(path("in/s/21.png"), cv::Mat(10, 10, CV_8UC1, cv::Scalar(60))));
    fs::create_directories(folder / "in" / "empty");
    const std::string whole = readBytes(folder / "first.tif");
    writeBytes("in/cut.tif", whole.substr(0, whole.size() / 2));
    writeBytes("in/huge.tif",
               withPageAppended(readBytes(folder / "classic.tif"), tiledPage({100000, 100000})));
    writeBytes("in/loop.tif", handMadeTiff(std::string(8, '\x40'),
                                           {greyPage({2, 2}, 8), greyPage({2, 2}, 12)}, 0));
    BatchOptions o = stackOptions({path("in/s"), path("in/empty"), path("in/cut.tif"),
                                   path("in/huge.tif"), path("in/loop.tif")});
    o.stackFolders = true;
    EXPECT_EQ(run(o), 1);
    const std::string text = log.str();
    EXPECT_NE(text.find("in/s: slice 7 cannot be read (7.png"), std::string::npos) << text;
    EXPECT_NE(text.find("in/s, slice 21: its size differs"), std::string::npos) << text;
    EXPECT_NE(text.find("in/empty: the folder holds no pictures to stack"), std::string::npos)
        << text;
    EXPECT_NE(text.find("cut.tif: the file ends after page 19, though it names further pages"),
              std::string::npos)
        << text;
    EXPECT_NE(table().find("cut.tif,19,"), std::string::npos);
    EXPECT_NE(text.find("loop.tif: its page chain loops back after page 2; pages 1 to 2 are read"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("huge.tif: slice 41 cannot be read (100000 x 100000 pixels, more than"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("huge.tif: the file ends"), std::string::npos) << text;
    const auto rows = stackRows();
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& row : rows) {
        EXPECT_EQ(row[Vertucci], "IV");
        EXPECT_EQ(row[LastSlice], "40");
    }

    // The slice without rows was named: a resumed run takes the table as it is.
    const std::string before = table();
    o.resume = true;
    EXPECT_EQ(run(o), 1);
    EXPECT_EQ(log.str().find("cannot be resumed"), std::string::npos) << log.str();
    EXPECT_EQ(table(), before);
    EXPECT_EQ(stackRows(), rows);
}

}  // namespace

}  // namespace quendra
