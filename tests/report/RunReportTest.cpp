// The run's report: its counts against a plain reading of the table, its histograms against
// OpenCV's, its sample of thumbnails, and the page and its thumbnails as a run writes them.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "ReportCountsTest.h"
#include "batch/BatchFixture.h"
#include "report/ReportHistogram.h"
#include "report/ReportMessages.h"
#include "report/ReportText.h"
#include "report/ReportThumbnails.h"
#include "report/RunReport.h"
#include "results/ResultsTable.h"
#include "results/RunTally.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

using RunReport = BatchFixture;

// A study with every outcome: teeth of three types, a picture of gum only, a video without a
// tooth in any frame, and (in a second part, run with no acceptance) teeth without a canal; the
// two tables joined as shards are.
TEST_F(RunReport, CountsAgreeWithAPlainReadingOfTheTable) {
    sample("molar-640x480.png", "a/m.png");
    sample("front-640x480.png", "a/f.png");
    sample("premolar-1920x1080.png", "a/p.png");
    cv::imwrite(path("in/a/g.png"),
                cv::imread(QUENDRA_SAMPLE_DIR "/front-640x480.png")(cv::Rect(0, 0, 120, 100)));
    ASSERT_TRUE(writeIndexedVideo(path("in/a/v.avi"), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                                  6, {96, 64}));
    sample("molar-640x480.png", "b/m2.png");
    sample("front-640x480.png", "b/f2.png");
    BatchOptions o = options({path("in/a")}, "a");
    o.pxPerMm = 20;
    ASSERT_EQ(run(o), 0) << log.str();
    o = options({path("in/b")}, "b");
    o.pxPerMm = 20;
    o.analysis.filter = 0;
    ASSERT_EQ(run(o), 0) << log.str();
    const std::string first = table("a"), second = table("b");
    const std::string joined = first + second.substr(second.find("\r\n") + 2);

    const PlainCounts plain = plainCounts(joined);
    const RunTally t = tallyTable(joined);
    EXPECT_EQ(t.items, plain.items);
    EXPECT_EQ(t.frames, plain.frames);
    EXPECT_EQ(t.teeth, plain.teeth);
    EXPECT_EQ(t.canals, plain.canals);
    EXPECT_EQ(t.noTooth, plain.none);
    EXPECT_EQ(t.notRecognised, plain.notRecognised);
    EXPECT_EQ(t.toothTypes, plain.types);
    // Every outcome is there, so none of the counts above agrees by being zero.
    EXPECT_EQ(plain.items, 7u);
    EXPECT_EQ(plain.frames, 12u);
    EXPECT_EQ(plain.notRecognised, 2u);
    EXPECT_EQ(plain.none, 7u);
    std::size_t measured = 0;
    for (const auto& [type, m] : t.canalsByType) {
        EXPECT_NE(type, "Zahn nicht erkannt.");
        EXPECT_EQ(m.areaMm2.size(), m.areaPx.size()) << type;  // every input has a scale
        for (std::size_t i = 0; i < m.areaPx.size(); ++i)
            EXPECT_NEAR(m.areaMm2[i], m.areaPx[i] / 400, 1e-4 * m.areaPx[i]);
        measured += m.circularity.size();
    }
    EXPECT_EQ(measured, plain.canals);
}

// Columns are found through the table's column list wherever they stand, and a row cut short
// is read no further than it goes; the caliper ratio comes from the Feret diameters when the
// table has them, else from the ellipse's axes. A tooth is not recognised when its canals
// decide no type: none, or five and more.
TEST(RunTally, ReadsColumnsThroughTheList) {
    using C = ResultsColumn;
    const auto header = [](std::initializer_list<C> columns) {
        std::string line;
        for (const C c : columns) line += (line.empty() ? "" : ",") + std::string(columnName(c));
        return line + "\r\n";
    };
    struct Case {
        const char* name;
        std::string table;
        bool feret;
        std::vector<double> ratios, areaMm2;
    };
    const Case cases[] = {
        {"axes",
         "file,frame,object,type,canals,area_px,circularity,aspect_ratio,shape\r\n"
         "x.png,,tooth,Frontzahn,2,900,0.9,1.5,round\r\n"
         "x.png,,canal 1,,,40,0.8,2.5,oval\r\n"
         "x.png,,canal 2,,,50,0.7,,\r\n",
         false,
         {2.5},
         {}},
        {"calipers, columns moved",
         header({C::AspectRatio, C::FeretMinPx, C::Object, C::File, C::Type, C::FeretMaxPx,
                 C::AreaMm2, C::Frame, C::Tooth}) +
             "9,1,tooth,y.png,UK-Molar,99,7,,1\r\n"
             "9,4,canal 1,y.png,,10,0.5,,1\r\n"
             "9,0,canal 2,y.png\r\n",
         true,
         {2.5},
         {0.5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RunTally t = tallyTable(c.table);
        EXPECT_EQ(t.caliperFromFeret, c.feret);
        ASSERT_EQ(t.canalsByType.size(), 1u);
        const CanalMeasures& m = t.canalsByType.begin()->second;
        EXPECT_EQ(m.caliperRatio, c.ratios);
        EXPECT_EQ(m.areaMm2, c.areaMm2);
        EXPECT_EQ(t.canals, 2u);
        EXPECT_EQ(t.frames, 1u);
    }
    EXPECT_EQ(tallyTable("a,b\r\n1,2\r\n").frames, 0u);  // not a table of this program
    const std::string unknown = "a.png,,tooth,Zahn nicht erkannt.,";
    EXPECT_EQ(tallyTable(header({C::File, C::Frame, C::Object, C::Type, C::Canals}) + unknown +
                         "0\r\n" + unknown + "5\r\nb.png,,tooth,OK-Molar,4\r\n")
                  .notRecognised,
              2u);
}

// The bins agree with OpenCV's histogram over the same uniform range; what lies outside the
// scale counts in the first or the last bin.
TEST(ReportHistogram, BinsAgreeWithCalcHist) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> uniform(0.0f, 3.0f);
    std::vector<double> values;
    std::vector<float> asFloat;
    for (int i = 0; i < 1000; ++i) {
        asFloat.push_back(uniform(random));
        values.push_back(asFloat.back());
    }
    HistogramScale scale;
    scale.low = 0;
    scale.high = 3;
    scale.bins = 12;
    cv::Mat hist;
    const cv::Mat samples(1, static_cast<int>(asFloat.size()), CV_32F, asFloat.data());
    const int channels[] = {0}, sizes[] = {12};
    const float range[] = {0, 3};
    const float* ranges[] = {range};
    cv::calcHist(&samples, 1, channels, cv::Mat(), hist, 1, sizes, ranges);
    const std::vector<std::size_t> counts = histogramCounts(values, scale);
    for (int b = 0; b < 12; ++b) EXPECT_EQ(counts[b], hist.at<float>(b)) << b;

    const std::vector<std::size_t> edges = histogramCounts({-5, 3, 7, NAN}, scale);
    EXPECT_EQ(edges.front(), 1u);
    EXPECT_EQ(edges.back(), 2u);
}

// The scale ends on a round value above every value shown; among many values a far outlier is
// clipped into the last bar instead of squeezing the others.
TEST(ReportHistogram, ScaleCoversTheValues) {
    const std::vector<double> few = {0.3, 1.7, 2.26};
    const HistogramScale small = histogramScale({&few}, true);
    EXPECT_EQ(small.low, 0);
    EXPECT_GT(small.high, 2.26);
    EXPECT_LE(small.high, 3);
    EXPECT_FALSE(small.clipped);
    std::vector<double> many(999, 1.0);
    many.push_back(1000);
    const HistogramScale clipped = histogramScale({&many}, false);
    EXPECT_TRUE(clipped.clipped);
    EXPECT_LE(clipped.low, 1.0);
    EXPECT_LT(clipped.high, 10);
    EXPECT_EQ(histogramCounts(many, clipped).back(), 1u);
    const std::string svg = histogramSvg(histogramCounts(many, clipped), clipped, "mm²", "Fläche");
    EXPECT_THAT(svg, HasSubstr(">999<"));  // the highest bar's count on the axis
}

TEST(ReportText, GermanNumbersAndLinks) {
    EXPECT_EQ(germanCount(0), "0");
    EXPECT_EQ(germanCount(1234567), "1.234.567");
    EXPECT_EQ(germanNumber(1234.5, 2), "1.234,50");
    EXPECT_EQ(germanNumber(-0.0001, 2), "0,00");
    EXPECT_EQ(germanNumber(-2.5, 1), "-2,5");
    EXPECT_EQ(germanNumber(NAN, 1), "–");
    EXPECT_EQ(markupText("<a href=\"x\">&'"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;");
    EXPECT_EQ(urlPath("a b/Zähne#1.png"), "a%20b/Z%C3%A4hne%231.png");
}

// The spread takes as many items as it may, the first among them, at even gaps.
TEST(ReportThumbnails, SpreadIsEven) {
    for (const std::size_t n : {1u, 5u, 180u, 181u, 1000u, 100000u}) {
        SCOPED_TRACE(n);
        std::vector<std::size_t> taken;
        for (std::size_t i = 0; i < n; ++i)
            if (inThumbnailSpread(i, n)) taken.push_back(i);
        ASSERT_EQ(taken.size(), std::min<std::size_t>(n, kSpreadThumbnails));
        EXPECT_EQ(taken.front(), 0u);
        std::size_t shortest = n, longest = 0;
        for (std::size_t i = 1; i < taken.size(); ++i) {
            shortest = std::min(shortest, taken[i] - taken[i - 1]);
            longest = std::max(longest, taken[i] - taken[i - 1]);
        }
        EXPECT_LE(longest - std::min(shortest, longest), 1u);
    }
}

// The notable frames that get thumbnails are the first in the run's order, whichever worker
// finished first: here the frames of a video finish last to first.
TEST(ReportThumbnails, NotableAreTheFirstInTheRunsOrder) {
    const std::vector<BatchItem> items{{.path = "v.avi", .kind = MediaKind::Video}};
    ThumbnailSample sample("thumbs", "out", items, false);
    constexpr std::size_t kFrames = 3 * kNotableThumbnails;
    std::vector<std::size_t> missed;
    for (std::size_t seq = kFrames; seq-- > 0;)
        if (!sample.wants(items[0], int(seq) + 1, seq, true) && seq < kNotableThumbnails)
            missed.push_back(seq);
    EXPECT_THAT(missed, ::testing::IsEmpty());

    ThumbnailSample inOrder("thumbs", "out", items, false);
    std::size_t taken = 0;
    for (std::size_t seq = 0; seq < kFrames; ++seq)
        taken += inOrder.wants(items[0], int(seq) + 1, seq, true);
    EXPECT_EQ(taken, kNotableThumbnails);
}

// Every run writes its page and a thumbnail per picture of the sample, small and of the
// overlay's proportions; a shard's carry its name; --report none writes neither.
TEST_F(RunReport, WrittenWithThumbnailsPerRunAndShard) {
    sample("molar-640x480.png", "m.png");
    sample("premolar-1920x1080.png", "p.png");
    ASSERT_EQ(run(options({path("in")})), 0) << log.str();
    EXPECT_TRUE(fs::is_regular_file(folder / "out" / "report.html"));
    for (const char* name : {"m.png", "p.png"}) {
        const cv::Mat thumb = cv::imread(path("out/report-thumbs/") + name + "-thumb.jpg");
        const cv::Mat overlay = cv::imread(path("out/") + name + "-analyse.jpg");
        ASSERT_FALSE(thumb.empty()) << name;
        EXPECT_LE(thumb.cols, kThumbnailWidth);
        EXPECT_LE(thumb.rows, kThumbnailHeight);
        EXPECT_NEAR(double(thumb.cols) / thumb.rows, double(overlay.cols) / overlay.rows, 0.02);
    }

    BatchOptions o = options({path("in")}, "shards");
    o.shard = 2;
    o.shards = 2;
    ASSERT_EQ(run(o), 0) << log.str();
    EXPECT_TRUE(fs::is_regular_file(folder / "shards" / "report-2-of-2.html"));
    EXPECT_TRUE(
        fs::is_regular_file(folder / "shards" / "report-2-of-2-thumbs" / "p.png-thumb.jpg"));
    EXPECT_FALSE(fs::exists(folder / "shards" / "report.html"));

    o = options({path("in")}, "none");
    o.report = false;
    ASSERT_EQ(run(o), 0) << log.str();
    EXPECT_FALSE(fs::exists(folder / "none" / "report.html"));
    EXPECT_FALSE(fs::exists(folder / "none" / "report-thumbs"));
    EXPECT_EQ(
        parseBatchOptions({"--classes", "c.dat", "--report", "none", "x.png"}).options->report,
        false);
}

// A resumed run writes the page again and keeps the thumbnails made before; a run that starts
// anew drops those of the run before, whose overlays it replaces.
TEST_F(RunReport, ResumeKeepsAndANewRunDropsOldThumbnails) {
    sample("molar-640x480.png", "m.png");
    ASSERT_EQ(run(options({path("in")})), 0) << log.str();
    const fs::path page = folder / "out" / "report.html";
    const fs::path old = folder / "out" / "report-thumbs" / "sub" / "old.png-thumb.jpg";
    fs::create_directories(old.parent_path());
    writeBytes("out/report-thumbs/sub/old.png-thumb.jpg", "jpeg");
    fs::remove(page);
    BatchOptions o = options({path("in")});
    o.resume = true;
    ASSERT_EQ(run(o), 0) << log.str();
    EXPECT_TRUE(fs::is_regular_file(page));
    EXPECT_TRUE(fs::exists(old));
    o.resume = false;
    o.overwrite = true;
    ASSERT_EQ(run(o), 0) << log.str();
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(folder / "out" / "report-thumbs" / "m.png-thumb.jpg"));
}

// However many pictures find nothing, the thumbnails stay a bounded sample: with one job, the
// first 120 of them and the even spread over the rest; the gallery shows each.
TEST_F(RunReport, TheSampleIsBounded) {
    const cv::Mat gum = cv::imread(QUENDRA_SAMPLE_DIR "/front-640x480.png")(cv::Rect(0, 0, 48, 40));
    constexpr std::size_t kPictures = 400;
    for (std::size_t i = 0; i < kPictures; ++i)
        cv::imwrite(path("in/g" + std::to_string(1000 + i) + ".png"), gum);
    BatchOptions o = options({path("in")});
    o.jobs = 1;
    ASSERT_EQ(run(o), 0) << log.str();
    std::size_t expected = kNotableThumbnails;
    for (std::size_t i = kNotableThumbnails; i < kPictures; ++i)
        expected += inThumbnailSpread(i, kPictures);
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder / "out" / "report-thumbs"))
        files += entry.path().string().ends_with("-thumb.jpg");
    EXPECT_EQ(files, expected);
    EXPECT_LT(files, kPictures);
    EXPECT_THAT(readBytes(folder / "out" / "report.html"),
                HasSubstr("data-tiles=\"" + std::to_string(expected) + "\""));
}

// What cannot be written is named, counts in the exit status and in the record; the table is
// never written where the report goes.
TEST_F(RunReport, FailuresAreNamed) {
    sample("molar-640x480.png", "m.png");
    fs::create_directories(folder / "out" / "report.html");  // a folder where the page goes
    writeBytes("out/report-thumbs", "a file where the thumbnails go");
    EXPECT_EQ(run(options({path("in")})), 1);
    EXPECT_THAT(log.str(), HasSubstr("report.html: the report cannot be written"));
    EXPECT_THAT(log.str(), HasSubstr("m.png-thumb.jpg: cannot be written"));
    const auto problems = record()["problems"];
    EXPECT_EQ(problems.size(), 2u) << problems;
    EXPECT_EQ(record()["exit_status"], 1);

    BatchOptions o = options({path("in")}, "other");
    o.csv = path("other/report.html");
    EXPECT_EQ(run(o), 1);
    EXPECT_THAT(log.str(), HasSubstr("the table would replace the report"));
    EXPECT_FALSE(fs::exists(folder / "other"));
}

// The page is German: the problems the batch names in English, the settings, the status, the
// stacks' columns and notes and the shape classes; the files' own words only in parentheses.
TEST_F(RunReport, ThePageIsGerman) {
    const nlohmann::json record = {
        {"status", "finished"},
        {"settings",
         {{"threshold", 70}, {"min-canal-mm2", nullptr}, {"masks", false}, {"slice-mm", 0.02}}},
        {"problems",
         {"in/a.png: cannot read the picture",
          "in/s.tif, slice 7: its size differs from the slices before; its canals are not "
          "followed",
          "in/v.avi: frames 3 to 9 cannot be read",
          "the run stopped: out of memory; the table keeps every finished frame, --resume "
          "continues",
          "in/b.png: Something the table does not know"}}};
    fs::create_directories(folder / "out");
    writeBytes("out/run.json", record.dump());
    writeBytes("out/results.csv",
               "file,frame,object,type,canals,area_px,circularity,shape\r\n"
               "x.png,,tooth,Frontzahn,3,900,0.9,round\r\n"
               "x.png,,canal 1,,,40,0.8,round\r\n"
               "x.png,,canal 2,,,50,0.7,flat\r\n"
               "x.png,,canal 3,,,40,0.8,long oval\r\n");
    writeBytes("out/stacks.csv",
               "stack,tooth,first_slice,last_slice,configuration,vertucci,"
               "canals_max,divisions,junctions,length_mm,note\r\n"
               "in/s.tif,1,1,40,1-3,,3,1,0,0.8,the configuration 1-3 is none "
               "of Vertucci's types\r\n");
    const fs::path out = folder / "out";
    const std::vector<BatchItem> items = {{path("in/s.tif"), MediaKind::Stack, {}, {}}};
    const std::string page =
        runReportHtml({out, out / "results.csv", out / "run.json", out / "report.html", ""}, items);
    for (const char* english :
         {"cannot read", "not followed", "the run stopped", ">threshold", "null<br>", "false<br>",
          "(finished)", "<th>tooth</th>", ">round<", "none of Vertucci", "0.8<"})
        EXPECT_THAT(page, Not(HasSubstr(english)));
    for (const char* german :
         {"das Bild kann nicht gelesen werden", "Schicht 7: ihre Größe weicht",
          "Bilder 3 bis 9 können nicht gelesen werden", "der Lauf wurde abgebrochen: kein Speicher",
          "(englische Meldung) Something the table does not know", "Schwellwert (--threshold): 70",
          "nicht gesetzt", "Labelbilder (--masks): nein", "0,02", "Wurzel (tooth)", "rund (round)",
          "lang-oval (long oval)", "flach (flat)", ">abgeschlossen<", "0,8<",
          "keiner der Typen nach Vertucci"})
        EXPECT_THAT(page, HasSubstr(german));
}

// Whatever the batch names in real runs has its German; a reason inside a reason is German too.
TEST_F(RunReport, EveryProblemOfARealRunHasItsGerman) {
    writeBytes("in/kaputt.png", "not a picture");
    writeBytes("in/leer.avi", "");
    ASSERT_EQ(::mkfifo(path("in/rohr.png").c_str(), 0600), 0);
    fs::create_directories(folder / "leer");
    const std::string video = path("in/v.avi");
    ASSERT_TRUE(writeIndexedVideo(video, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 3));
    ASSERT_TRUE(claimFrameSize(video, 11000, 11000));
    BatchOptions o = options({path("in"), path("fehlt.png"), path("leer"), path("notiz.txt")});
    writeBytes("notiz.txt", "");
    EXPECT_EQ(run(o), 1);
    const auto problems = record()["problems"];
    ASSERT_GE(problems.size(), 6u) << problems;
    for (const auto& problem : problems) {
        const std::string german = germanMessage(splitProblem(problem.get<std::string>()).reason);
        EXPECT_FALSE(german.starts_with("(englische Meldung)")) << german;
    }
    const std::pair<const char*, const char*> nested[] = {
        {"slice 7 cannot be read (7.png: 30000 x 30000 pixels, more than the limit of 120 "
         "megapixels)",
         "Schicht 7 kann nicht gelesen werden (7.png: 30000 × 30000 Bildpunkte, mehr als die "
         "Grenze von 120 Megapixeln)"},
        {"frame 3: out of memory while analysing", "Bild 3: kein Speicher mehr bei der Auswertung"},
        {"slice 2 cannot be read (the page has 32-bit samples; pages of 8 or 16 bits, grey or RGB, "
         "are read)",
         "Schicht 2 kann nicht gelesen werden (die Seite hat 32-Bit-Werte; gelesen werden Seiten "
         "aus "
         "8 oder 16 Bit, grau oder RGB)"},
    };
    for (const auto& [english, german] : nested) EXPECT_EQ(germanMessage(english), german);
    EXPECT_EQ(splitProblem("in/v.avi, frame 3: cannot be encoded").file, "in/v.avi");
}

}  // namespace
}  // namespace quendra
