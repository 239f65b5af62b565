// Stacks as research data comes: a DICOM series and TIFFs that carry their own scale, through
// the batch analyser, against the same stack as a plain TIFF; each canal measured through the
// stack (canals.csv), at levels from the apex (levels.csv) and as a label volume, checked
// against its rows in the run's table.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <map>
#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>
#include <set>

#include "BatchFixture.h"
#include "DicomSeriesWriter.h"
#include "StackScene.h"
#include "TiffStackWriter.h"
#include "batch/BatchOptions.h"
#include "colour/ColorTraining.h"
#include "io/CsvRecords.h"
#include "io/FileScale.h"
#include "io/SliceStack.h"
#include "results/StacksTable.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

// A table as rows of named fields.
using Rows = std::vector<std::map<std::string, std::string>>;
Rows namedRows(const std::string& text) {
    const std::vector<CsvRecord> records = readCsvRecords(text);
    Rows rows;
    for (std::size_t r = 1; r < records.size(); ++r) {
        rows.emplace_back();
        for (std::size_t c = 0; c < records[0].fields.size() && c < records[r].fields.size(); ++c)
            rows.back()[records[0].fields[c]] = records[r].fields[c];
    }
    return rows;
}

class BatchResearch : public BatchFixture {
public:
    const StackScene scene{.configuration = "1-2-1", .colour = false, .depth = 16};

    // The colour classes an operator trains on the plain TIFF's first slice.
    void trainOn(const std::string& tiff) {
        SliceStack stack(tiff);
        ColorTraining training;
        pickStackColors(scene, frameOfSlice(stack.read(0).slice, sampledWindow(stack)), training);
        classes = path("classes.dat");
        ASSERT_EQ(training.save(classes), ClassFileStatus::Ok);
    }

    Rows runOn(const std::string& input, const std::string& out, const std::string& table,
               std::vector<double> levelsMm = {}, bool masks = false) {
        BatchOptions o = options({input}, out);
        o.levelsMm = std::move(levelsMm);
        o.masks = masks;
        o.classes = classes;
        o.analysis.autoClassThreshold = true;
        o.analysis.teeth = TeethChoice::All;
        o.overlays = Overlays::None;
        EXPECT_EQ(run(o), 0) << log.str();
        return namedRows(readBytes(folder / out / table));
    }

    std::string classes;
};

// The stack as a DICOM series (shuffled names, 0.05 mm, the window in its header) and as a TIFF
// with 200 px/cm and ImageJ's spacing=0.05 gives the plain TIFF's canal counts and root type,
// and the millimetre figures from the files alone.
TEST_F(BatchResearch, DicomSeriesAndScaledTiffMatchThePlainTiff) {
    fs::create_directories(folder / "in");
    const std::string plain = path("in/plain.tif");
    ASSERT_TRUE(writeStackTiff(scene, plain));
    trainOn(plain);
    SliceStack stack(plain);
    const GreyWindow window = sampledWindow(stack);
    const DicomHeader header{
        .window = cv::Vec2d((window.low + window.high) / 2, window.high - window.low)};
    ASSERT_TRUE(writeDicomSeries(scene, path("in/series"), header, shuffledNames(scene.slices)));
    ASSERT_TRUE(writeStackTiff(scene, path("in/scaled.tif"),
                               {.deflate = true,
                                .xResolution = 200,
                                .yResolution = 200,
                                .resolutionUnit = RESUNIT_CENTIMETER,
                                .description = "ImageJ=1.54f\nunit=mm\nspacing=0.05\n"}));

    // Without a slice distance and a scale the levels cannot be placed: named, and no rows.
    const Rows plainRows = runOn(plain, "plain", "results.csv", {1});
    EXPECT_EQ(readBytes(folder / "plain/levels.csv"), levelsTableHeader());
    const std::string warnings =
        nlohmann::json::parse(readBytes(folder / "plain/run.json")).at("warnings").dump();
    EXPECT_NE(warnings.find("levels (--levels-mm) cannot be placed"), std::string::npos);
    for (const char* bad : {"1,,2", "0", "1,1", "x"})
        EXPECT_EQ(parseBatchOptions({"--classes", classes, "--levels-mm", bad, plain}).exitStatus,
                  2)
            << bad;
    const Rows plainRoots = namedRows(readBytes(folder / "plain/stacks.csv"));
    for (const std::string input : {"series", "scaled.tif"}) {
        SCOPED_TRACE(input);
        const Rows rows = runOn(path("in/" + input), input + "-out", "results.csv");
        const Rows roots = namedRows(readBytes(folder / (input + "-out") / "stacks.csv"));
        ASSERT_EQ(rows.size(), plainRows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].at("object"), plainRows[i].at("object")) << i;
            EXPECT_EQ(rows[i].at("canals"), plainRows[i].at("canals")) << i;
            EXPECT_EQ(rows[i].at("px_per_mm"), "20");
        }
        ASSERT_EQ(roots.size(), 1u);
        EXPECT_EQ(roots[0].at("vertucci"), plainRoots[0].at("vertucci"));
        EXPECT_EQ(roots[0].at("configuration"), plainRoots[0].at("configuration"));
        EXPECT_DOUBLE_EQ(std::stod(roots[0].at("length_mm")), 40 * 0.05);
        const auto record = nlohmann::json::parse(readBytes(folder / (input + "-out/run.json")));
        EXPECT_EQ(record["inputs"][0]["px_per_mm"], 20.0);
        EXPECT_NE(record["inputs"][0]["scale_source"].get<std::string>().find(
                      input == "series" ? "DICOM" : "TIFF resolution"),
                  std::string::npos);
    }
    EXPECT_EQ(plainRoots[0].at("length_mm"), "");
    EXPECT_EQ(plainRoots[0].at("four_digit"), "1-2-1-1");
    // Without a scale the canals' pixel figures only.
    for (const auto& canal : namedRows(readBytes(folder / "plain/canals.csv"))) {
        EXPECT_EQ(canal.at("length_mm") + canal.at("volume_mm3") + canal.at("diameter_max_mm"), "");
        EXPECT_GT(std::stod(canal.at("volume_voxels")), 0);
    }
}

// Each canal's volume is the sum of its rows' areas in the run's table times the slice
// distance; the canal column names the canal of every canal row of a root. A level d mm from
// the apex (the root's last slice) lies d / 0.05 slices toward the crown, its rows those of
// the run's table there; the label volume holds on each page the canals of its slice's rows.
TEST_F(BatchResearch, CanalVolumesLevelsAndLabelsFollowTheirRows) {
    const std::string tiff = path("in/scaled.tif");
    fs::create_directories(folder / "in");
    ASSERT_TRUE(writeStackTiff(scene, tiff,
                               {.xResolution = 200,
                                .yResolution = 200,
                                .resolutionUnit = RESUNIT_CENTIMETER,
                                .description = "ImageJ=1.54f\nunit=mm\nspacing=0.05\n"}));
    trainOn(tiff);
    const Rows rows = runOn(tiff, "out", "results.csv", {0.5, 1.25, 100}, true);
    const Rows canals = namedRows(readBytes(folder / "out/canals.csv"));
    std::map<std::string, double> areaSums;
    std::map<std::string, std::set<std::string>> slicesOf;
    for (const auto& row : rows)
        if (!row.at("canal").empty()) {
            areaSums[row.at("canal")] += std::stod(row.at("area_mm2"));
            slicesOf[row.at("canal")].insert(row.at("frame"));
        }
    ASSERT_EQ(canals.size(), 4u);  // 1-2-1: the trunk, its two branches, the joined canal
    ASSERT_EQ(areaSums.size(), canals.size());
    for (const auto& canal : canals) {
        const std::string& n = canal.at("canal");
        const double volume = std::stod(canal.at("volume_mm3"));
        EXPECT_NEAR(volume, areaSums[n] * 0.05, 0.01 * volume) << n;
        EXPECT_EQ(std::to_string(slicesOf[n].size()), canal.at("slices")) << n;
    }
    EXPECT_EQ(canals[0].at("into_canals"), "2 3");
    EXPECT_EQ(canals[3].at("from_canals"), "2 3");

    std::map<int, std::set<std::string>> canalsOfSlice;  // from the run's table
    for (const auto& row : rows)
        if (!row.at("canal").empty())
            canalsOfSlice[std::stoi(row.at("frame"))].insert(row.at("canal"));
    const int apex = std::stoi(namedRows(readBytes(folder / "out/stacks.csv"))[0].at("last_slice"));
    std::map<std::string, std::set<std::string>> levelCanals;
    for (const auto& level : namedRows(readBytes(folder / "out/levels.csv"))) {
        const std::string& mm = level.at("level_mm");
        SCOPED_TRACE(mm);
        if (mm == "100") {
            EXPECT_EQ(level.at("slice") + level.at("canal"), "");
            continue;
        }
        const int slice = apex - static_cast<int>(std::lround(std::stod(mm) / 0.05));
        EXPECT_EQ(level.at("slice"), std::to_string(slice));
        levelCanals[mm].insert(level.at("canal"));
        for (const auto& row : rows) {
            if (row.at("frame") != level.at("slice") || row.at("canal") != level.at("canal"))
                continue;
            for (const char* measure :
                 {"area_mm2", "perimeter_mm", "circularity", "feret_max_mm", "feret_min_mm"})
                EXPECT_EQ(level.at(measure), row.at(measure)) << measure;
        }
    }
    ASSERT_EQ(levelCanals.size(), 2u);
    EXPECT_EQ(levelCanals["0.5"], canalsOfSlice[apex - 10]);
    EXPECT_EQ(levelCanals["1.25"], canalsOfSlice[apex - 25]);

    const std::string volume = path("out/scaled.tif-canals.tif");
    std::vector<cv::Mat> pages;
    ASSERT_TRUE(cv::imreadmulti(volume, pages, cv::IMREAD_UNCHANGED));
    ASSERT_EQ(pages.size(), static_cast<std::size_t>(scene.slices));
    for (std::size_t s = 0; s < pages.size(); ++s) {
        std::set<std::string> labels;
        for (auto it = pages[s].begin<std::uint16_t>(); it != pages[s].end<std::uint16_t>(); ++it)
            if (*it) labels.insert(std::to_string(*it));
        EXPECT_EQ(labels, canalsOfSlice[static_cast<int>(s) + 1]) << s + 1;
    }
    const FileScale scale = tiffScale(volume);
    EXPECT_DOUBLE_EQ(scale.pxPerMm.value_or(0), 20);
    EXPECT_DOUBLE_EQ(scale.sliceMm.value_or(0), 0.05);
}

}  // namespace
}  // namespace quendra
