#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>

#include "BadInputs.h"
#include "BatchFixture.h"
#include "SampleScene.h"
#include "analysis/ToothAnalysis.h"
#include "batch/BatchSettings.h"
#include "batch/RunRecord.h"
#include "io/CsvRecords.h"
#include "results/ResultsTable.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

using Batch = BatchFixture;

TEST_F(Batch, RowsAgreeWithTheAnalysisAndTheTruth) {
    const SampleScene scene = sampleScenes().front();
    ASSERT_EQ(run(options({QUENDRA_SAMPLE_DIR "/molar-640x480.png"})), 0) << log.str();
    SampleTruth truth;
    const cv::Mat picture = renderScene(scene, &truth);
    ColorClassifier classes;
    ASSERT_EQ(loadColorClassifier(kClasses, classes).status, ClassFileStatus::Ok);
    ToothAnalysis analysis;
    analysis.calculate(picture, classes);

    const std::vector<CsvRecord> rows = readCsvRecords(table());
    ASSERT_EQ(rows.size(), 2 + truth.canals.size());
    const std::vector<std::string>& tooth = rows[1].fields;
    EXPECT_EQ(tooth[2], "tooth");
    EXPECT_EQ(tooth[3], "UK-Molar");
    EXPECT_EQ(tooth[4], "3");  // canals
    EXPECT_EQ(std::stof(tooth[5]), analysis.getToothResult().area);
    for (std::size_t i = 0; i < truth.canals.size(); ++i) {
        SCOPED_TRACE(i);
        const std::vector<std::string>& row = rows[2 + i].fields;
        const CanalResult& c = analysis.getCanals()[i];
        EXPECT_EQ(row[2], "canal " + std::to_string(i + 1));
        EXPECT_EQ(row[3] + row[4], "");
        EXPECT_EQ(std::stof(row[5]), c.area);
        EXPECT_EQ(std::stoi(row[6]), c.centerX);
        EXPECT_EQ(std::stoi(row[7]), c.centerY);
        EXPECT_EQ(std::stof(row[8]), c.angle);
        EXPECT_NEAR(c.centerX, truth.canals[i].centre.x, 1.0);
    }
    // The third canal stands upright: its angle, -0 as computed, reads 0.
    EXPECT_EQ(rows[4].fields[8], "0");
    EXPECT_TRUE(fs::exists(folder / "out" / "molar-640x480.png-analyse.jpg"));
    EXPECT_EQ(readBytes(folder / "out" / "molar-640x480.png-analyse.txt")
                  .rfind("Zahn\n\nTyp: UK-Molar\n", 0),
              0u);
    std::string digest(64, '\0');  // as sha256sum tells it
    FILE* sha256sum = ::popen(("sha256sum " + std::string(kClasses)).c_str(), "r");
    ASSERT_TRUE(sha256sum);
    digest.resize(std::fread(digest.data(), 1, digest.size(), sha256sum));
    ::pclose(sha256sum);
    EXPECT_EQ(record()["classes_sha256"], digest);
    EXPECT_EQ(record()["status"], "finished");
}

TEST_F(Batch, JobsDoNotChangeTheTable) {
    for (int i = 0; i < 5; ++i) sample("molar-640x480.png", "m" + std::to_string(i) + ".png");
    sample("front-640x480.png", "f.png");
    BatchOptions one = options({(folder / "in").string()}, "one");
    one.jobs = 1;
    BatchOptions two = options({(folder / "in").string()}, "two");
    two.jobs = 2;
    ASSERT_EQ(run(one), 0);
    ASSERT_EQ(run(two), 0);
    EXPECT_EQ(table("one"), table("two"));
}

TEST_F(Batch, OddFileNamesRoundTripThroughTheTable) {
    const fs::path odd = sample("front-640x480.png", "Zahn \"ä\", links.png");
    ASSERT_EQ(run(options({odd.string()})), 0) << log.str();
    EXPECT_THAT(table(), HasSubstr(csvField(odd.string()) + ",,tooth,"));
    EXPECT_EQ(csvField("Zahn \"ä\", links"), "\"Zahn \"\"ä\"\", links\"");
}

// Every odd file is either analysed or named; nothing crashes and the good ones are in the table.
TEST_F(Batch, EveryFileIsAnalysedOrNamed) {
    const auto inputs = makeBadPictures(folder / "bad");
    BatchOptions o = options({});
    o.jobs = 2;
    for (const BadInput& b : inputs) o.inputs.push_back(b.path.string());
    EXPECT_EQ(run(o), 1);
    const std::string rows = table();
    for (const BadInput& b : inputs) {
        SCOPED_TRACE(b.path.string());
        const bool named = log.str().find(b.path.string() + ":") != std::string::npos;
        const bool inTable = rows.find(csvField(b.path.string()) + ",") != std::string::npos;
        EXPECT_EQ(named, !b.readable) << log.str();
        EXPECT_EQ(inTable, b.readable);
    }
}

// What a folder holds besides pictures and videos is named as left out, a folder within it as
// not searched; a table of an earlier run in it is passed over without a word.
TEST_F(Batch, BadInputsInFoldersAreNamedAndTheGoodOnesStillDone) {
    std::ofstream(folder / "in" / "empty.png").close();
    std::ofstream(folder / "in" / "notes.txt") << "ignored in folders";
    std::ofstream(folder / "in" / "results.csv") << "an earlier run's table";
    fs::create_directories(folder / "in" / "unter");
    sample("front-640x480.png", "b-front.png");
    EXPECT_EQ(run(options({(folder / "in").string(), (folder / "missing.jpg").string()})), 1);
    EXPECT_THAT(log.str(), HasSubstr("empty.png: cannot read"));
    EXPECT_THAT(log.str(), HasSubstr("missing.jpg: no such file"));
    EXPECT_THAT(log.str(), HasSubstr("notes.txt: neither a picture nor a video, left out"));
    EXPECT_THAT(log.str(), HasSubstr("unter: a folder within a folder given, not searched"));
    EXPECT_THAT(log.str(), Not(HasSubstr("results.csv:")));
    EXPECT_THAT(table(), HasSubstr(",tooth,Frontzahn,"));
}

TEST_F(Batch, OutputFolderProblemsAreNamed) {
    writeBytes("datei", "x");
    BatchOptions o = options({QUENDRA_SAMPLE_DIR "/front-640x480.png"});
    o.out = path("datei");  // a file where a folder is expected, or on the way to one
    EXPECT_EQ(run(o), 1);
    EXPECT_THAT(log.str(), HasSubstr("datei: the output folder cannot be made or written: it "
                                     "exists and is not a folder"));
    o.out = path("datei/unter");
    EXPECT_EQ(run(o), 1);
    EXPECT_THAT(log.str(), HasSubstr("written: " + path("datei") + " is not a folder"));
    o.out = "/proc/neu";  // the system's reason, whether found by the check or when made
    EXPECT_EQ(run(o), 1);
    EXPECT_THAT(log.str(), HasSubstr("/proc/neu: the output folder cannot be made or written: "));
    o.out = path("neu/tief");  // missing folders are made
    EXPECT_EQ(run(o), 0) << log.str();
}

// The table's columns in their order, written out: a column moved or renamed in the list that
// makes the table changes what every script reading it finds, so it shows here.
TEST(ResultsTable, ColumnsKeepTheirPlaces) {
    EXPECT_EQ(tableHeader(true),
              "file,frame,object,type,canals,area_px,x_px,y_px,angle_deg,major_semi_px,"
              "minor_semi_px,perimeter_px,circularity,aspect_ratio,shape,px_per_mm,area_mm2,x_mm,"
              "y_mm,major_semi_mm,minor_semi_mm,perimeter_mm,tooth,teeth,teeth_left_out,"
              "canal_threshold,feret_max_px,feret_min_px,equivalent_diameter_px,solidity,"
              "feret_max_mm,feret_min_mm,equivalent_diameter_mm,canal\r\n");
}

// A command line with these options between the class file and the input.
std::vector<std::string> betweenClassesAndInput(std::vector<std::string> options) {
    options.insert(options.begin(), {"--classes", "c.dat"});
    options.push_back("a.png");
    return options;
}

ParsedCommandLine parsed(const std::vector<std::string>& options) {
    return parseBatchOptions(betweenClassesAndInput(options));
}

// Wrong command lines are refused with exit status 2 and the option named (a file named like
// an option is BatchProgram.AFileNamedLikeAnOptionIsExplained's).
TEST(BatchOptions, BadCommandLinesAreRefusedWithAReason) {
    const auto refusedLine = [](const std::vector<std::string>& line, const std::string& reason) {
        const ParsedCommandLine parsed = parseBatchOptions(line);
        EXPECT_FALSE(parsed.options) << line[line.size() - 3] << " " << line[line.size() - 2];
        EXPECT_EQ(parsed.exitStatus, 2);
        EXPECT_THAT(parsed.text, HasSubstr(reason));
    };
    // These arguments between the class file and the input.
    const auto refused = [&](const std::vector<std::string>& args, const std::string& reason) {
        refusedLine(betweenClassesAndInput(args), reason);
    };
    refusedLine({"a.png"}, "--classes");
    refusedLine({"--classes", "c.dat"}, "INPUT");
    refusedLine({"--classes", "c.dat", "a.png", "--x.png"}, "--x.png is no option");
    for (const auto& [option, value] :
         std::initializer_list<std::pair<const char*, const char*>>{{"--jobs", "x"},
                                                                    {"--threshold", "automatic"},
                                                                    {"--teeth", "some"},
                                                                    {"--shape-limits", "2,1,4"},
                                                                    {"--shape-limits", "1.3,2"},
                                                                    {"--shape-limits", "0.5,2,4"},
                                                                    {"--report", "pdf"}})
        refused({option, value}, option);
    refused({"--bogus"}, "--bogus");
    for (const char* value : {"nan,2,4", "1.3,2,inf", "1.3,NaN,4"})
        refused({"--shape-limits", value}, "--shape-limits");
    for (const char* value : {"nan,100", "0,inf", "0,65536"})
        refused({"--window", value}, "--window");
    refused({"--overlays", "2"}, "{video,png,none}");
    refused({"--shard", "1/99999999999"}, "N <= 1000000");
    const ParsedCommandLine ok =
        parseBatchOptions({"--classes", "c.dat", "--px-per-mm", "0.05", "--every", "3",
                           "--overlays", "PNG", "--", "-a.png"});
    ASSERT_TRUE(ok.options);
    EXPECT_EQ(*ok.options->pxPerMm, 0.05);
    EXPECT_EQ(ok.options->every, 3);
    EXPECT_EQ(ok.options->overlays, Overlays::Png);
    EXPECT_EQ(ok.options->inputs, std::vector<std::string>{"-a.png"});
    EXPECT_EQ(parseBatchOptions({"--version"}).text, "quendra-batch " QUENDRA_VERSION);
    EXPECT_EQ(parseBatchOptions({"--help"}).exitStatus, 0);
}

// Every number option takes the ends of the range declared for it (BatchSettings.h) and
// refuses, naming itself, what lies just beyond them or is no finite number (NaN passed
// CLI11's range check and dropped every canal).
TEST(BatchOptions, NumbersAreTakenInTheirDeclaredRange) {
    BatchOptions defaults;
    for (const BoundOption& bound : boundOptions(defaults)) {
        const SettingDeclaration& d = bound.declaration;
        const bool whole = bound.form == OptionForm::Whole || bound.form == OptionForm::WholeOrAuto;
        if (!whole && bound.form != OptionForm::Number && bound.form != OptionForm::NumberOrAuto)
            continue;
        const std::string option = "--" + std::string(d.name);
        SCOPED_TRACE(option);
        const auto text = [whole](double n) {
            return whole ? std::to_string(static_cast<long long>(n)) : numberText(n);
        };
        for (const double end : {d.range.lowest, d.range.highest})
            EXPECT_TRUE(parsed({option, text(end)}).options) << end;
        const double below = whole                ? d.range.lowest - 1
                             : d.range.lowest > 0 ? d.range.lowest / 2
                                                  : -1;
        const double above = whole ? d.range.highest + 1 : 2 * d.range.highest;
        for (const std::string& bad :
             {text(below), text(above), std::string("nan"), std::string("-nan"), std::string("inf"),
              std::string("1e999")}) {
            const ParsedCommandLine refused = parsed({option, bad});
            EXPECT_EQ(refused.exitStatus, 2) << bad;
            EXPECT_NE(refused.text.find(option), std::string::npos) << refused.text;
        }
    }
}

// Each setting run.json records is named as its option, and its value there, given back to
// that option, is read as the same value: what a resume compares is what the user wrote.
TEST(BatchOptions, RecordedSettingsReadBackThroughTheirOptions) {
    const auto settingsOf = [](const ParsedCommandLine& parsed) {
        EXPECT_TRUE(parsed.options) << parsed.text;
        return nlohmann::json::parse(runRecordStart(*parsed.options, {}, {}, {}))["settings"];
    };
    // Every recorded setting away from its default.
    const nlohmann::json given = settingsOf(parsed({"--threshold",
                                                    "auto",
                                                    "--border",
                                                    "7",
                                                    "--filter",
                                                    "3",
                                                    "--class-threshold",
                                                    "auto",
                                                    "--min-canal-area",
                                                    "12.5",
                                                    "--min-canal-mm2",
                                                    "0.123456789",
                                                    "--teeth",
                                                    "ALL",
                                                    "--min-tooth-area",
                                                    "300.5",
                                                    "--shape-limits",
                                                    "1.1,2.5,3",
                                                    "--every",
                                                    "2",
                                                    "--px-per-mm",
                                                    "20.5",
                                                    "--overlays",
                                                    "png",
                                                    "--texts",
                                                    "--masks",
                                                    "--shard",
                                                    "2/3",
                                                    "--stack",
                                                    "--window",
                                                    "10,2000",
                                                    "--min-run",
                                                    "5",
                                                    "--slice-mm",
                                                    "0.05",
                                                    "--apex-first",
                                                    "--levels-mm",
                                                    "1,2.5,3"}));
    for (const auto& [name, value] : given.items()) {
        std::vector<std::string> args;
        if (value.is_boolean() && value.get<bool>()) args = {"--" + name};
        if (value.is_string()) args = {"--" + name, value.get<std::string>()};
        if (value.is_number()) args = {"--" + name, value.dump()};
        EXPECT_EQ(settingsOf(parsed(args))[name], value) << name;
    }
}

}  // namespace
}  // namespace quendra
