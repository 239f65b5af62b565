// Grey sections through the batch analyser: the automatic settings, every root, the canal
// minimum in pixels and in mm², and what the table and the run record say of them.

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include "BatchFixture.h"
#include "batch/Resume.h"
#include "io/CsvRecords.h"
#include "results/ResultsTable.h"

namespace quendra {
namespace {

using BatchSections = BatchFixture;

// The table's rows as fields by column name.
struct Table {
    explicit Table(const std::string& text) {
        for (const CsvRecord& r : readCsvRecords(text)) rows.push_back(r.fields);
    }
    const std::string& at(std::size_t row, const std::string& column) const {
        const auto& header = rows.at(0);
        const auto c = std::find(header.begin(), header.end(), column) - header.begin();
        return rows.at(row).at(static_cast<std::size_t>(c));
    }
    // Rows 1.. of the file whose name ends in `name`.
    std::vector<std::size_t> of(const std::string& name) const {
        std::vector<std::size_t> found;
        for (std::size_t i = 1; i < rows.size(); ++i)
            if (rows[i][0].ends_with(name)) found.push_back(i);
        return found;
    }
    std::vector<std::vector<std::string>> rows;
};

BatchOptions onSections(const BatchFixture& f) {
    BatchOptions o =
        f.options({f.sample("sections/section-canine-400x300.png", "canine.png").string(),
                   f.sample("sections/section-molar-480x320.png", "molar.png").string()});
    o.classes = QUENDRA_SAMPLE_DIR "/sections/sections.dat";
    return o;
}

// Three roots and four small canals, with every setting automatic: a tooth row per root,
// numbered left to right with the threshold each was searched with, label pictures with a
// label per row, and the run record with the settings and the class threshold used.
TEST_F(BatchSections, EveryRootWithTheAutomaticSettings) {
    BatchOptions o = onSections(*this);
    o.analysis.autoClassThreshold = true;
    o.analysis.autoThreshold = true;
    o.analysis.teeth = TeethChoice::All;
    o.analysis.minCanalArea = 3;
    o.masks = true;
    ASSERT_EQ(run(o), 0) << log.str();
    const Table t(table());
    const auto molar = t.of("molar.png");
    ASSERT_EQ(molar.size(), 6u);
    for (std::size_t tooth = 0; tooth < 3; ++tooth) {
        const std::size_t row = molar[2 * tooth];
        EXPECT_EQ(t.at(row, "object"), "tooth");
        EXPECT_EQ(t.at(row, "tooth"), std::to_string(tooth + 1));
        EXPECT_EQ(t.at(row, "teeth"), "3");
        EXPECT_EQ(t.at(row, "teeth_left_out"), "0");
        EXPECT_GT(std::stoi(t.at(row, "canal_threshold")), 0);
        EXPECT_EQ(t.at(row + 1, "object"), "canal 1");
        EXPECT_EQ(t.at(row + 1, "tooth"), std::to_string(tooth + 1));
        EXPECT_EQ(t.at(row + 1, "canal_threshold"), "");
        EXPECT_GE(std::stod(t.at(row + 1, "feret_max_px")),
                  std::stod(t.at(row + 1, "feret_min_px")));
    }
    const cv::Mat labels = cv::imread(path("out/molar.png-labels.png"), cv::IMREAD_UNCHANGED);
    for (std::size_t i = 0; i < molar.size(); ++i)
        EXPECT_EQ(cv::countNonZero(labels == static_cast<int>(i) + 1),
                  std::stoi(t.at(molar[i], "area_px")));
    EXPECT_EQ(t.at(t.of("canine.png").front(), "canals"), "4");

    const nlohmann::json record = this->record();
    EXPECT_EQ(record["settings"]["threshold"], "auto");
    EXPECT_EQ(record["settings"]["class-threshold"], "auto");
    EXPECT_EQ(record["settings"]["teeth"], "all");
    EXPECT_EQ(record["settings"]["min-canal-area"], 3);
    EXPECT_EQ(record["settings"]["shape-limits"], "1.3,2,4");
    EXPECT_EQ(record["class_threshold_used"], 10);
}

// With the largest tooth alone, the table says how many roots were left out; a canal minimum
// in mm² holds for the inputs with a scale (here 2 px per mm: 1.5 mm² is 6 px).
TEST_F(BatchSections, RootsLeftOutAndTheMinimumInSquareMillimetres) {
    BatchOptions o = onSections(*this);
    o.analysis.autoClassThreshold = true;
    o.analysis.autoThreshold = true;
    o.pxPerMm = 2;
    o.minCanalMm2 = 1.5;
    ASSERT_EQ(run(o), 0) << log.str();
    const Table t(table());
    EXPECT_EQ(t.at(t.of("molar.png").front(), "teeth_left_out"), "2");
    EXPECT_EQ(t.at(t.of("molar.png").front(), "teeth"), "1");
    // The canine's canals of 15, 50 and 57 px, not that of 5.
    const std::size_t canine = t.of("canine.png").front();
    EXPECT_EQ(t.at(canine, "canals"), "3");
    EXPECT_EQ(record()["settings"]["min-canal-mm2"], 1.5);
    EXPECT_FLOAT_EQ(std::stof(t.at(canine + 1, "feret_max_mm")),
                    std::stof(t.at(canine + 1, "feret_max_px")) / 2);
}

// A run cut off between the roots of a frame resumes at that frame: a tooth row tells how many
// teeth its frame has, so a frame whose first teeth are whole is not taken for whole.
TEST_F(BatchSections, AFrameCutBetweenItsRootsIsDoneAgain) {
    BatchOptions o = onSections(*this);
    o.analysis.autoClassThreshold = true;
    o.analysis.teeth = TeethChoice::All;
    ASSERT_EQ(run(o), 0) << log.str();
    const std::string whole = table();
    // canine.png, then molar.png with its three roots.
    const std::size_t molarStart = whole.find("molar.png,");
    const std::size_t lineStart = whole.rfind("\r\n", molarStart) + 2;
    const std::size_t secondTooth = whole.find(",tooth,", whole.find(",tooth,", molarStart) + 1);
    const std::string cut = whole.substr(0, whole.rfind("\r\n", secondTooth) + 2);
    const BatchInputs inputs = collectInputs(o.inputs, o.out);
    std::string problem;
    const auto point = findResumePoint(cut, tableHeader(false), inputs.items, o.every, {}, problem);
    ASSERT_TRUE(point) << problem;
    EXPECT_EQ(point->item, 1u);
    EXPECT_EQ(point->keepBytes, lineStart);
}

// The options of sections as a user types them (what is refused is BatchOptions'
// BadCommandLinesAreRefusedWithAReason's).
TEST(BatchSectionOptions, AutomaticNumbersAndLimits) {
    const auto parse = [](std::vector<std::string> extra) {
        std::vector<std::string> args{"--classes", "c.dat"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("a.png");
        return parseBatchOptions(args);
    };
    const ParsedCommandLine automatic =
        parse({"--threshold", "auto", "--class-threshold", "auto", "--teeth", "all",
               "--min-canal-area", "7", "--shape-limits", "1.2,2.5,5"});
    ASSERT_TRUE(automatic.options) << automatic.text;
    const AnalysisSettings& a = automatic.options->analysis;
    EXPECT_TRUE(a.autoThreshold && a.autoClassThreshold);
    EXPECT_EQ(a.teeth, TeethChoice::All);
    EXPECT_EQ(a.minCanalArea, 7);
    EXPECT_EQ(a.shapeLimits.round, 1.2);
    EXPECT_EQ(a.shapeLimits.longOval, 5);
    const ParsedCommandLine fixed = parse({"--threshold", "40", "--class-threshold", "9"});
    ASSERT_TRUE(fixed.options);
    EXPECT_EQ(fixed.options->analysis.threshold, 40);
    EXPECT_FALSE(fixed.options->analysis.autoThreshold);
    EXPECT_EQ(fixed.options->analysis.classThreshold, 9);
}

}  // namespace
}  // namespace quendra
