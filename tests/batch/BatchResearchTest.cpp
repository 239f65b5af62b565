// Stacks as research data comes: a DICOM series and TIFFs that carry their own scale, through
// the batch analyser, against the same stack as a plain TIFF; each canal measured through the
// stack (canals.csv), checked against its rows in the run's table.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "BatchFixture.h"
#include "DicomSeriesWriter.h"
#include "StackScene.h"
#include "TiffStackWriter.h"
#include "colour/ColorTraining.h"
#include "io/CsvRecords.h"
#include "io/SliceStack.h"

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

    Rows runOn(const std::string& input, const std::string& out, const std::string& table) {
        BatchOptions o = options({input}, out);
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

    const Rows plainRows = runOn(plain, "plain", "results.csv");
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
// distance; the canal column names the canal of every canal row of a root.
TEST_F(BatchResearch, CanalVolumesAreTheirRowsAreasTimesTheSliceDistance) {
    const std::string tiff = path("in/scaled.tif");
    fs::create_directories(folder / "in");
    ASSERT_TRUE(writeStackTiff(scene, tiff,
                               {.xResolution = 200,
                                .yResolution = 200,
                                .resolutionUnit = RESUNIT_CENTIMETER,
                                .description = "ImageJ=1.54f\nunit=mm\nspacing=0.05\n"}));
    trainOn(tiff);
    const Rows rows = runOn(tiff, "out", "results.csv");
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
}

}  // namespace
}  // namespace quendra
