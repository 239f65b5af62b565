#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>
#include <fstream>

#include "DicomSeriesWriter.h"
#include "TempFolder.h"
#include "TiffStackWriter.h"
#include "io/DicomSeries.h"
#include "io/SliceStack.h"
#include "io/StackFrames.h"

namespace quendra {
namespace {

using DicomFolder = TempFolder;

// Slice i holds the value 100 + i everywhere but a corner of its own value, so that order and
// pixels are told apart.
cv::Mat numbered(int i, int type = CV_16UC1) {
    cv::Mat slice(24, 32, type, cv::Scalar(100 + i));
    slice(cv::Rect(0, 0, 4, 4)).setTo(1000 + 10 * i);
    return slice;
}

bool hasNote(const std::vector<std::string>& notes, const std::string& part) {
    for (const std::string& n : notes)
        if (n.find(part) != std::string::npos) return true;
    return false;
}

// File names against positions: the order is the positions', whatever the names and however
// the files were compressed; the scale and the window are the header's.
TEST_F(DicomFolder, SlicesInPositionOrderWithTheHeadersScaleAndWindow) {
    for (const DicomCompression compression :
         {DicomCompression::None, DicomCompression::Rle, DicomCompression::JpegLossless}) {
        const std::string dir = path("series" + std::to_string(static_cast<int>(compression)));
        std::filesystem::create_directories(dir);
        DicomHeader header{.window = cv::Vec2d(140, 80), .compression = compression};
        const std::vector<std::string> names = shuffledNames(6);
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(writeDicomSlice(dir + "/" + names[static_cast<std::size_t>(i)], numbered(i),
                                        header, 2.5 + 0.05 * i, 6 - i));
        SliceStack stack(dir);
        ASSERT_EQ(stack.status(), PictureStatus::Ok) << stack.problem();
        ASSERT_EQ(stack.sliceCount(), 6);
        for (int i = 0; i < 6; ++i) {
            const SliceRead read = stack.read(i);
            ASSERT_EQ(read.status, PictureStatus::Ok) << read.reason;
            EXPECT_EQ(cv::norm(read.slice, numbered(i), cv::NORM_INF), 0) << i;
        }
        const FileScale scale = stack.fileScale();
        ASSERT_TRUE(scale.pxPerMm && scale.sliceMm);
        EXPECT_NEAR(*scale.pxPerMm, 20, 1e-9);
        EXPECT_NEAR(*scale.sliceMm, 0.05, 1e-9);
        EXPECT_TRUE(stack.notes().empty());
        StackFrames frames(dir);
        EXPECT_DOUBLE_EQ(frames.window().low, 100);
        EXPECT_DOUBLE_EQ(frames.window().high, 180);
        EXPECT_EQ(StackFrames(dir, GreyWindow{0, 1000}).window().high, 1000);
    }
}

// Hounsfield-like values: signed stored values through slope and intercept, shifted by the
// offset into 16 bits; the header's window shifted alike.
TEST_F(DicomFolder, SignedValuesGoThroughTheRescale) {
    DicomHeader header{.slope = 2, .intercept = -1024, .window = cv::Vec2d(0, 400)};
    for (int i = 0; i < 3; ++i) {
        cv::Mat stored(8, 8, CV_16SC1, cv::Scalar(-500 + 100 * i));
        ASSERT_TRUE(writeDicomSlice(path("ct" + std::to_string(i) + ".dcm"), stored, header,
                                    i * 0.2, i + 1));
    }
    DicomSeries series(folder.string());
    ASSERT_EQ(series.status(), PictureStatus::Ok) << series.problem();
    EXPECT_EQ(series.offset(), 32768);
    for (int i = 0; i < 3; ++i) {
        const SliceRead read = series.read(i);
        ASSERT_EQ(read.slice.type(), CV_16UC1);
        EXPECT_EQ(read.slice.at<std::uint16_t>(3, 3), 2 * (-500 + 100 * i) - 1024 + 32768);
    }
    ASSERT_TRUE(series.window());
    EXPECT_EQ(series.window()->first, 32768 - 200);
    EXPECT_EQ(series.window()->second, 32768 + 200);
}

// What does not belong to the series is named and left out; a gap is named; without positions
// the instance numbers order the slices.
TEST_F(DicomFolder, OtherSeriesRepeatsAndGapsAreNamed) {
    const DicomHeader main, other{.series = "1.2.3.999"};
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(writeDicomSlice(path("a" + std::to_string(i) + ".dcm"), numbered(i), main,
                                    i < 4 ? i * 0.05 : 0.5, i + 1));
    ASSERT_TRUE(writeDicomSlice(path("a9.dcm"), numbered(9), main, 0.05, 10));
    ASSERT_TRUE(writeDicomSlice(path("b.dcm"), numbered(7), other, 0, 1));
    std::ofstream(path("notes.txt")) << "scan log";
    DicomSeries series(folder.string());
    ASSERT_EQ(series.sliceCount(), 5);
    EXPECT_TRUE(hasNote(series.notes(), "1 files of another series (1.2.3.999) left out: b.dcm"));
    EXPECT_TRUE(hasNote(series.notes(), "a9.dcm lies at the position of a1.dcm"));
    EXPECT_TRUE(hasNote(series.notes(), "a gap of 0.35 mm between slice 4"));
    EXPECT_TRUE(hasNote(series.notes(), "no DICOM files left out: notes.txt"));
    EXPECT_NEAR(*series.scale().sliceMm, 0.05, 1e-9);

    const std::string unplaced = path("unplaced");
    std::filesystem::create_directories(unplaced);
    for (const int i : {2, 0, 1})
        ASSERT_TRUE(writeDicomSlice(unplaced + "/x" + std::to_string(2 - i) + ".dcm", numbered(i),
                                    {.positions = false}, 0, i + 1));
    DicomSeries byInstance(unplaced);
    ASSERT_EQ(byInstance.sliceCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(byInstance.read(i).slice.at<std::uint16_t>(10, 10), 100 + i);
    EXPECT_TRUE(hasNote(byInstance.notes(), "ordered by InstanceNumber"));
    EXPECT_FALSE(byInstance.scale().sliceMm);
}

// One multi-frame file is a stack of its frames, 8-bit frames as stored; non-square pixels
// give no scale and say why.
TEST_F(DicomFolder, MultiFrameFileAndNonSquarePixels) {
    std::vector<cv::Mat> frames;
    for (int i = 0; i < 4; ++i) frames.push_back(numbered(i, CV_8UC1));
    ASSERT_TRUE(writeDicomFrames(path("multi.dcm"), frames,
                                 {.pixelMm = 0.1, .pixelMmDown = 0.2, .sliceMm = 0.3}));
    SliceStack stack(path("multi.dcm"));
    ASSERT_EQ(stack.sliceCount(), 4) << stack.problem();
    for (const int i : {3, 0, 2})
        EXPECT_EQ(cv::norm(stack.read(i).slice, frames[static_cast<std::size_t>(i)], cv::NORM_INF),
                  0);
    EXPECT_EQ(stack.read(1).slice.type(), CV_8UC1);
    const FileScale scale = stack.fileScale();
    EXPECT_FALSE(scale.pxPerMm);
    EXPECT_NEAR(scale.sliceMm.value_or(0), 0.3, 1e-9);
    EXPECT_NE(scale.problem.find("not square"), std::string::npos);
    EXPECT_EQ(stack.sliceName(2), path("multi.dcm") + " frame 3");
}

// Damaged and foreign files: named, never a crash.
TEST_F(DicomFolder, BadFilesAreNamed) {
    std::string bytes(128, '\0');
    std::ofstream(path("broken.dcm"), std::ios::binary) << bytes << "DICM" << std::string(40, 'x');
    DicomSeries broken(path("broken.dcm"));
    EXPECT_EQ(broken.status(), PictureStatus::Unreadable);
    EXPECT_FALSE(broken.problem().empty());
    DicomSeries onlyBroken(folder.string());
    EXPECT_EQ(onlyBroken.status(), PictureStatus::Unreadable);
    EXPECT_NE(onlyBroken.problem().find("no DICOM image"), std::string::npos);
    EXPECT_EQ(DicomSeries(path("missing")).status(), PictureStatus::NotAFile);
    EXPECT_FALSE(isDicomFile(path("missing")));
}

// TIFF scales: ImageJ's description with its unit and spacing, resolution tags in centimetres
// and inches, a screen's 72 dpi taken for none.
TEST_F(DicomFolder, TiffScalesFromTagsAndImageJDescription) {
    const auto layout = [](double resolution, int unit, std::string description = {}) {
        return TiffLayout{.xResolution = resolution,
                          .yResolution = resolution,
                          .resolutionUnit = unit,
                          .description = std::move(description)};
    };
    const std::string imageJ = "ImageJ=1.54f\nimages=2\nslices=2\nunit=micron\nspacing=50\n";
    const struct {
        TiffLayout layout;
        std::optional<double> pxPerMm, sliceMm;
    } cases[] = {
        {layout(200, RESUNIT_CENTIMETER), 20, {}},
        {layout(508, RESUNIT_INCH), 20, {}},
        {layout(72, RESUNIT_INCH), {}, {}},
        {layout(20, 0), {}, {}},
        {layout(0.02, 0, imageJ), 20, 0.05},
        {layout(200, RESUNIT_CENTIMETER, "ImageJ=1.54f\nunit=mm\nspacing=0.05\n"), 20, 0.05},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const std::string file = path("s.tif");
        TiffStackWriter writer(file, c.layout);
        ASSERT_TRUE(writer.append(cv::Mat(4, 4, CV_8UC1, cv::Scalar(9))) && writer.close());
        const FileScale scale = tiffScale(file);
        EXPECT_EQ(scale.pxPerMm.has_value(), c.pxPerMm.has_value());
        EXPECT_NEAR(scale.pxPerMm.value_or(0), c.pxPerMm.value_or(0), 1e-4);
        EXPECT_NEAR(scale.sliceMm.value_or(0), c.sliceMm.value_or(0), 1e-9);
    }
}

}  // namespace
}  // namespace quendra
