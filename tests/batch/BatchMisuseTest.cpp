// What a user may do by mistake, and what the batch analyser must then do: never destroy a
// file it was not asked to write, never stay silent or exit 0 when something was not done.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <opencv2/imgcodecs.hpp>
#include <optional>
#include <sstream>

#include "BatchFixture.h"
#include "TestVideo.h"
#include "TiffStackWriter.h"
#include "colour/ColorKey.h"
#include "io/MjpegMovie.h"
#include "results/ResultsTable.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

struct Misuse {
    const char* name;
    // Makes the files of the case and adapts the options of a run over in/x.png into out.
    std::function<void(BatchFixture&, BatchOptions&)> prepare;
    int status;
    const char* message;  // part of what the log must say
    // What must hold afterwards, files that must be unchanged above all.
    std::function<void(BatchFixture&)> check;
};

void PrintTo(const Misuse& misuse, std::ostream* out) {
    *out << misuse.name;
}

class BatchMisuse : public BatchFixture, public ::testing::WithParamInterface<Misuse> {};

const std::string kEarlier = "file,frame,object\r\nearlier.png,,none\r\n";

void writeEarlierRun(BatchFixture& f) {
    fs::create_directories(f.folder / "out");
    std::ofstream(f.folder / "out" / "results.csv", std::ios::binary) << kEarlier;
    std::ofstream(f.folder / "out" / "run.json") << "{\"status\": \"finished\"}\n";
}

void expectEarlierRunKept(BatchFixture& f) {
    EXPECT_EQ(f.readBytes(f.folder / "out" / "results.csv"), kEarlier);
    EXPECT_EQ(f.readBytes(f.folder / "out" / "run.json"), "{\"status\": \"finished\"}\n");
}

std::string classesCopy(BatchFixture& f) {
    fs::copy_file(QUENDRA_SAMPLE_DIR "/classes.dat", f.folder / "classes.dat");
    return (f.folder / "classes.dat").string();
}

void expectClassesUnchanged(BatchFixture& f) {
    EXPECT_EQ(f.readBytes(f.folder / "classes.dat"),
              f.readBytes(QUENDRA_SAMPLE_DIR "/classes.dat"));
}

// A run over the earlier one with the class file `file`, of these bytes or missing.
Misuse unusableClassFile(const char* name, const char* file, std::optional<std::string> bytes,
                         const char* message) {
    return {name,
            [=](BatchFixture& f, BatchOptions& o) {
                writeEarlierRun(f);
                if (bytes) f.writeBytes(file, *bytes);
                o.classes = f.path(file);
            },
            1, message, expectEarlierRunKept};
}

bool validUtf8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();  // refuses text that is not UTF-8
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

const Misuse kMisuses[] = {
    {"TableNamedLikeTheClassFile",
     [](BatchFixture& f, BatchOptions& o) { o.classes = o.csv = classesCopy(f); }, 1,
     "would replace the colour-class file",
     [](BatchFixture& f) {
         expectClassesUnchanged(f);
         EXPECT_FALSE(fs::exists(f.folder / "out" / "run.json"));
     }},
    {"TableNamedLikeAnInput",
     [](BatchFixture& f, BatchOptions& o) { o.csv = (f.folder / "in" / "x.png").string(); }, 1,
     "would replace the input",
     [](BatchFixture& f) {
         EXPECT_EQ(f.readBytes(f.folder / "in" / "x.png"),
                   f.readBytes(QUENDRA_SAMPLE_DIR "/front-640x480.png"));
     }},
    // A class file that cannot be used stops the run before it touches the earlier one, named
    // with the reason. Any file used to load as colours: a text's letters became classes.
    unusableClassFile("MistypedClassFile", "Farbklassen.dta", std::nullopt,
                      "Farbklassen.dta: the colour-class file cannot be read"),
    unusableClassFile("EmptyClassFile", "leer.dat", "", "holds no colour classes"),
    unusableClassFile("TextAsClassFile", "text.dat", "hello world\n",
                      "text.dat: not a colour-class file: record 1 has the class 108"),
    unusableClassFile("ClassFileCutShort", "kurz.dat", std::string("\x10\x20\x30\x01\x10\x20", 6),
                      "kurz.dat: not a colour-class file: record 2 has 2 of its 4 bytes"),
    {"EarlierTableIsNotTruncated", [](BatchFixture& f, BatchOptions&) { writeEarlierRun(f); }, 1,
     "--overwrite", expectEarlierRunKept},
    {"InputsSharingTheirName",
     [](BatchFixture& f, BatchOptions& o) {
         for (const char* name : {"a/x.png", "b/x.png", "x.jpg"}) {
             f.sample(name[0] == 'b' ? "molar-640x480.png" : "front-640x480.png", name);
             o.inputs.push_back((f.folder / "in" / name).string());
         }
     },
     0, "",
     [](BatchFixture& f) {
         for (const char* name : {"a/x.png", "b/x.png", "x.jpg", "x.png"})
             EXPECT_TRUE(fs::exists(f.folder / "out" / (std::string(name) + "-analyse.jpg")))
                 << name;
         EXPECT_NE(f.table().find("/b/x.png,,tooth,UK-Molar"), std::string::npos) << f.table();
         EXPECT_NE(f.table().find("/a/x.png,,tooth,Frontzahn"), std::string::npos);
     }},
    {"OutputFolderIsTheInputFolder",
     [](BatchFixture& f, BatchOptions& o) {
         f.sample("molar-640x480.png", "x-analyse.png");  // the operator's own file
         o.out = (f.folder / "in").string();
         o.inputs = {o.out};
     },
     0, "1 files in the input folders are outputs",
     [](BatchFixture& f) {
         EXPECT_EQ(f.readBytes(f.folder / "in" / "x-analyse.png"),
                   f.readBytes(QUENDRA_SAMPLE_DIR "/molar-640x480.png"));
         EXPECT_TRUE(fs::exists(f.folder / "in" / "x.png-analyse.jpg"));
         const std::string rows = f.readBytes(f.folder / "in" / "results.csv");
         EXPECT_EQ(rows.find("x-analyse.png"), std::string::npos) << rows;
     }},
    {"InputThatAnOutputWouldReplace",
     [](BatchFixture& f, BatchOptions& o) {
         f.sample("molar-640x480.png", "x.png-analyse.png");
         o.out = (f.folder / "in").string();
         o.inputs.push_back((f.folder / "in" / "x.png-analyse.png").string());
     },
     1, "would be replaced by an output of",
     [](BatchFixture& f) {
         EXPECT_EQ(f.readBytes(f.folder / "in" / "x.png-analyse.png"),
                   f.readBytes(QUENDRA_SAMPLE_DIR "/molar-640x480.png"));
     }},
    {"InputThatAFrameOutputWouldReplace",
     [](BatchFixture& f, BatchOptions& o) {
         const fs::path video = f.folder / "in" / "film.avi";
         ASSERT_TRUE(
             writeIndexedVideo(video.string(), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 5));
         f.sample("molar-640x480.png", "film.avi-f3-analyse.png");
         o.out = (f.folder / "in").string();
         o.inputs = {video.string(), o.out + "/film.avi-f3-analyse.png"};
     },
     1, "film.avi-f3-analyse.png: this input would be replaced by an output of",
     [](BatchFixture& f) { EXPECT_FALSE(fs::exists(f.folder / "in" / "results.csv")); }},
    {"LatinOneNameBesideItsUtf8Twin",
     [](BatchFixture& f, BatchOptions& o) {
         o.inputs = {f.sample("front-640x480.png", "Z\xE4hne.png").string(),
                     f.sample("molar-640x480.png", "Zähne.png").string()};
     },
     0, "",
     [](BatchFixture& f) {
         EXPECT_TRUE(validUtf8(f.table()));
         EXPECT_NE(f.table().find("Z\\xE4hne.png,,tooth,Frontzahn"), std::string::npos)
             << f.table();
         EXPECT_NE(f.table().find("Zähne.png,,tooth,UK-Molar"), std::string::npos);
         const nlohmann::json record = f.record();  // parsing checks the UTF-8 too
         EXPECT_NE(record["inputs"][0], record["inputs"][1]);
     }},
    {"ControlCharactersInNamesAreShownEscaped",
     [](BatchFixture& f, BatchOptions& o) {
         f.writeBytes("in/\x1B[2J\x1B]0;owned\x07.png", "no picture");
         f.writeBytes(
             "in/\x9B"
             "31m.txt",
             "");
         o.inputs = {f.path("in/\x1B[2J\x1B]0;owned\x07.png"), f.path("in/\x9B"
                                                                      "31m.txt")};
     },
     1, "\\x1B[2J\\x1B]0;owned\\x07.png: cannot read the picture",
     [](BatchFixture& f) {
         EXPECT_NE(f.log.str().find("\\x9B31m.txt: neither a picture nor a video"),
                   std::string::npos)
             << f.log.str();
         for (const char c : f.log.str())
             EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
         EXPECT_TRUE(validUtf8(f.log.str()));
     }},
    // Paths the system will not open are named with the system's own reason.
    {"PathsTheSystemRefusesGiveItsReason",
     [](BatchFixture& f, BatchOptions& o) {
         fs::create_symlink("schleife.png", f.folder / "in" / "schleife.png");
         o.inputs = {f.path("in/schleife.png"), f.path(std::string(300, 'z') + ".png")};
     },
     1, "schleife.png: Too many levels of symbolic links",
     [](BatchFixture& f) {
         EXPECT_NE(f.log.str().find(".png: File name too long"), std::string::npos) << f.log.str();
     }},
    {"SinglePageTiffIsAnalysed",
     [](BatchFixture& f, BatchOptions& o) {
         ASSERT_TRUE(cv::imwrite(f.path("in/scan.tif"),
                                 cv::imread(QUENDRA_SAMPLE_DIR "/front-640x480.png")));
         o.inputs = {f.path("in")};
     },
     0, "",
     [](BatchFixture& f) {
         EXPECT_NE(f.table().find("scan.tif,,tooth,Frontzahn"), std::string::npos) << f.table();
     }},
    {"PercentInAVideoNameReadsNoOtherFile",
     [](BatchFixture& f, BatchOptions& o) {
         for (const char* other : {"t00.mp4", "t01.mp4", "t02.mp4"})
             f.sample("front-640x480.png", other);
         f.writeBytes("in/t%02d.mp4", "no video");
         o.inputs = {f.path("in/t%02d.mp4")};
     },
     1, "t%02d.mp4: cannot read the video",
     [](BatchFixture& f) { EXPECT_EQ(f.table().find("t%02d.mp4,"), std::string::npos); }},
    {"VideoFramesAboveThePixelLimit",
     [](BatchFixture& f, BatchOptions& o) {
         const std::string video = f.path("in/riesig.avi");
         ASSERT_TRUE(writeIndexedVideo(video, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 3));
         ASSERT_TRUE(claimFrameSize(video, 11000, 11000));
         o.inputs.insert(o.inputs.begin(), video);
     },
     1, "riesig.avi: the video's frames have 11000 x 11000 pixels, more than the limit of 120",
     [](BatchFixture& f) { EXPECT_NE(f.table().find("x.png,,tooth,"), std::string::npos); }},
    {"JobsBeyondTheCoresAreCutDown", [](BatchFixture&, BatchOptions& o) { o.jobs = 256; }, 0,
     "--jobs 256: ",
     [](BatchFixture& f) { EXPECT_NE(f.table().find("x.png,,tooth,"), std::string::npos); }},
    {"MoreCanalsThanSixteenBitLabelsHold",
     [](BatchFixture& f, BatchOptions& o) {
         // Enamel around (200, 200, 200) as the only colour class, and a grid of 8 x 8 dark
         // canals in it: some 72,000 of them lie in the tooth's ellipse.
         std::string enamel;
         for (int b = 196; b <= 204; ++b)
             for (int g = 196; g <= 204; ++g)
                 for (int r = 196; r <= 204; ++r)
                     enamel += {char(b), char(g), char(r), char(ClassEnamel)};
         f.writeBytes("schmelz.dat", enamel);
         o.classes = f.path("schmelz.dat");
         cv::Mat grid(2800, 2800, CV_8UC3, cv::Scalar::all(200));
         for (int y = 1; y < grid.rows; y += 10)
             for (int x = 1; x < grid.cols; x += 10) grid(cv::Rect(x, y, 8, 8)).setTo(10);
         ASSERT_TRUE(cv::imwrite(f.path("in/raster.png"), grid));
         o.inputs = {f.path("in/raster.png")};
         o.analysis.border = 0;
         o.analysis.filter = 10;
         o.masks = true;
         o.overlays = Overlays::None;
     },
     1, "teeth and canals do not fit a 16-bit label picture",
     [](BatchFixture& f) {
         EXPECT_FALSE(fs::exists(f.folder / "out" / "raster.png-labels.png"));
         EXPECT_NE(f.table().find("raster.png,,canal 65535,"), std::string::npos);
     }},
    {"TableNamedLikeTheScaleFile",
     [](BatchFixture& f, BatchOptions& o) {
         f.writeBytes("scale.csv", "x.png,20\r\n");
         o.scale = o.csv = f.path("scale.csv");
     },
     1, "scale.csv: the table would replace the scale file",
     [](BatchFixture& f) { EXPECT_EQ(f.readBytes(f.folder / "scale.csv"), "x.png,20\r\n"); }},
    {"RunRecordNamedLikeTheScaleFile",
     [](BatchFixture& f, BatchOptions& o) {
         fs::create_directories(f.folder / "out");
         f.writeBytes("out/run.json", "x.png,20\r\n");
         o.scale = f.path("out/run.json");
     },
     1, "run.json: the run record would replace the scale file",
     [](BatchFixture& f) {
         EXPECT_EQ(f.readBytes(f.folder / "out" / "run.json"), "x.png,20\r\n");
     }},
    {"TableOntoAnUnrelatedFile",
     [](BatchFixture& f, BatchOptions& o) {
         f.writeBytes("notizen.txt", "Termine\n");
         o.csv = f.path("notizen.txt");
         o.overwrite = true;
     },
     1, "notizen.txt: holds something else than a table of quendra-batch",
     [](BatchFixture& f) { EXPECT_EQ(f.readBytes(f.folder / "notizen.txt"), "Termine\n"); }},
    {"TableOntoTheLockFile",
     [](BatchFixture& f, BatchOptions& o) { o.csv = f.path("out/.quendra-batch.lock"); }, 1,
     "the table would replace the lock file",
     [](BatchFixture& f) { EXPECT_FALSE(fs::exists(f.folder / "out")); }},
    {"RefusedRunMakesNoFolder",
     [](BatchFixture& f, BatchOptions& o) {
         o.out = f.path("neu/tief");
         o.csv = "/proc/x.csv";
     },
     1, "/proc/x.csv: the table",
     [](BatchFixture& f) { EXPECT_FALSE(fs::exists(f.folder / "neu")); }},
    {"RefusedResumeMakesNothing",
     [](BatchFixture& f, BatchOptions& o) {
         f.writeBytes("alt.csv", kEarlier);
         o.out = f.path("neu/tief");
         o.csv = f.path("alt.csv");
         o.resume = true;
     },
     1, "cannot be resumed",
     [](BatchFixture& f) {
         EXPECT_FALSE(fs::exists(f.folder / "neu"));
         EXPECT_EQ(f.readBytes(f.folder / "alt.csv"), kEarlier);
     }},
    {"EmptyShardWritesItsHeaderAndRecord",
     [](BatchFixture&, BatchOptions& o) {
         o.shard = 1;
         o.shards = 2;
     },
     0, "shard 1/2 has nothing to do",
     [](BatchFixture& f) {
         EXPECT_EQ(f.readBytes(f.folder / "out" / "results-1-of-2.csv"), tableHeader(false));
         EXPECT_EQ(
             nlohmann::json::parse(f.readBytes(f.folder / "out" / "run-1-of-2.json"))["status"],
             "finished");
     }},
    {"ScaleRowsByFileNameForInputsGivenOneByOne",
     [](BatchFixture& f, BatchOptions& o) {
         f.writeBytes("scale.csv", "file,px_per_mm\r\nx.png,20\r\ny.png,30\r\n");
         o.scale = f.path("scale.csv");
     },
     0, "scale.csv: row 3 (y.png) matches no input",
     [](BatchFixture& f) {
         EXPECT_NE(f.table().find(",oval,20,"), std::string::npos) << f.table();
     }},
    {"ScaleRowNamingTwoInputsByTheirFileName",
     [](BatchFixture& f, BatchOptions& o) {
         f.writeBytes("scale.csv", "x.png,20\r\n");
         o.scale = f.path("scale.csv");
         o.inputs.push_back(f.sample("molar-640x480.png", "b/x.png").string());
     },
     1, "row 1 names x.png, the file name of",
     [](BatchFixture& f) { EXPECT_FALSE(fs::exists(f.folder / "out")); }},
    {"ScaleRowGivenTwice",
     [](BatchFixture& f, BatchOptions& o) {
         f.writeBytes("scale.csv", "x.png,20\r\n./x.png,40\r\n");
         o.scale = f.path("scale.csv");
     },
     1, "row 2 names ./x.png again (row 1)", [](BatchFixture&) {}},
    // A spreadsheet's "CSV UTF-8" starts with a byte order mark, here before a first data row.
    {"ScaleFileWithAByteOrderMarkAndNoHeader",
     [](BatchFixture& f, BatchOptions& o) {
         f.writeBytes("scale.csv", "\xEF\xBB\xBFx.png,20\r\n");
         o.scale = f.path("scale.csv");
     },
     0, "",
     [](BatchFixture& f) {
         EXPECT_NE(f.table().find(",oval,20,"), std::string::npos) << f.table();
         EXPECT_EQ(f.log.str().find("matches no input"), std::string::npos) << f.log.str();
     }},
    {"ScaleRowWithTheAbsolutePathOfARelativeInput",
     [](BatchFixture& f, BatchOptions& o) {
         f.writeBytes("scale.csv", "file,px_per_mm\n" + f.path("in/x.png") + ",20\n");
         o.scale = f.path("scale.csv");
         o.inputs = {fs::relative(f.path("in/x.png")).string()};
     },
     0, "",
     [](BatchFixture& f) {
         EXPECT_NE(f.table().find(",oval,20,"), std::string::npos) << f.table();
     }},
    // A quote left open used to take every row after it into one file name, without a word.
    {"BadlyQuotedScaleRowsAreNamedAndTheOthersKept",
     [](BatchFixture& f, BatchOptions& o) {
         f.writeBytes("scale.csv", "\"y.png,20\r\nx.png,20\r\nz\"\".png,30\r\n\"w.png\"x,4\r\n");
         o.scale = f.path("scale.csv");
     },
     0, "scale.csv: line 1 is badly quoted",
     [](BatchFixture& f) {
         EXPECT_NE(f.table().find(",oval,20,"), std::string::npos) << f.table();
         for (const char* line : {"line 3 is badly quoted", "line 4 is badly quoted"})
             EXPECT_NE(f.log.str().find(line), std::string::npos) << line << f.log.str();
     }},
    // A lock folder a killed run left: taken over when its owner has ended or it is empty,
    // else named with how to remove it, never called another run.
    {"LeftoverLockFolderOfAStoppedRunIsTakenOver",
     [](BatchFixture& f, BatchOptions&) {
         fs::create_directories(f.folder / "out" / ".quendra-batch.lock");
         char host[256] = {};
         ::gethostname(host, sizeof host - 1);
         f.writeBytes("out/.quendra-batch.lock/owner",
                      "pid 2147483646 host " + std::string(host) + "\n");
     },
     0, ".quendra-batch.lock: a leftover of a stopped run (pid 2147483646), taken over",
     [](BatchFixture& f) {
         EXPECT_TRUE(fs::is_regular_file(f.folder / "out" / ".quendra-batch.lock"));
         EXPECT_NE(f.table().find("x.png,,tooth,"), std::string::npos);
     }},
    {"LockFolderOfUnknownOwnerIsNamedNotCalledARun",
     [](BatchFixture& f, BatchOptions&) {
         fs::create_directories(f.folder / "out" / ".quendra-batch.lock");
         f.writeBytes("out/.quendra-batch.lock/notes.txt", "");
     },
     1,
     "is a folder, no lock of a running quendra-batch; if no run writes into this folder, "
     "remove it (rm -r '",
     [](BatchFixture& f) {
         EXPECT_TRUE(fs::exists(f.folder / "out" / ".quendra-batch.lock" / "notes.txt"));
     }},
    // Options the inputs give nothing to do are named, on standard error and in the record.
    {"OptionsWithoutEffectAreNamed",
     [](BatchFixture&, BatchOptions& o) {
         o.window = GreyWindow{100, 2000};
         o.minCanalMm2 = 0.01;
         o.apexFirst = true;
     },
     0, "warning: --window has no effect: no input is a stack of 16-bit slices",
     [](BatchFixture& f) {
         const auto warnings = f.record()["warnings"];
         ASSERT_EQ(warnings.size(), 3u) << warnings;
         EXPECT_EQ(warnings[1].get<std::string>().rfind("--min-canal-mm2 has no effect", 0), 0u);
         EXPECT_EQ(warnings[2], "--apex-first has no effect: no input is a stack of slices");
     }},
    // A class with fewer colours than the vote's quorum is never found: named, with what to do.
    {"ClassesTooSparseToBeFoundAreNamed",
     [](BatchFixture& f, BatchOptions& o) {
         std::string records;
         for (int i = 0; i < 12; ++i)
             records += std::string{char(40 + i), char(50 + i), char(60 + i), char(i < 3 ? 1 : 2)};
         f.writeBytes("few.dat", records);
         o.classes = f.path("few.dat");
         o.analysis.autoClassThreshold = true;
     },
     0,
     "few.dat: the class enamel has only 3 trained colours, fewer than the 6 the vote needs, so "
     "nothing of it is found; train more colours of it (a larger rectangle)",
     [](BatchFixture& f) {
         const auto warnings = f.record()["warnings"];
         ASSERT_EQ(warnings.size(), 1u) << warnings;
         EXPECT_NE(warnings[0].get<std::string>().find("the class enamel has only 3"),
                   std::string::npos);
     }},
    // A stack saved under a picture's extension is read as the stack it is, its name named.
    {"StackNamedLikeAPictureIsAStack",
     [](BatchFixture& f, BatchOptions&) {
         const cv::Mat page = cv::imread(QUENDRA_SAMPLE_DIR "/front-640x480.png");
         TiffStackWriter writer(f.path("in/x.png"));
         for (int i = 0; i < 3; ++i) writer.append(page);
         ASSERT_TRUE(writer.close());
     },
     0, "x.png: a TIFF of 3 pages, though its name ends in .png; read as the stack it is",
     [](BatchFixture& f) {
         EXPECT_NE(f.table().find("x.png,3,"), std::string::npos) << f.table();
     }},
    {"RunRecordCannotBeWritten",
     [](BatchFixture& f, BatchOptions&) { fs::create_directories(f.folder / "out" / "run.json"); },
     1, "run.json: the run record cannot be written",
     [](BatchFixture& f) { EXPECT_NE(f.table().find("x.png,,tooth,"), std::string::npos); }},
};

TEST_P(BatchMisuse, NothingLostNothingReportedWrongly) {
    sample("front-640x480.png", "x.png");
    BatchOptions o = options({(folder / "in" / "x.png").string()});
    GetParam().prepare(*this, o);
    EXPECT_EQ(run(o), GetParam().status) << log.str();
    EXPECT_NE(log.str().find(GetParam().message), std::string::npos) << log.str();
    GetParam().check(*this);
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchMisuse, ::testing::ValuesIn(kMisuses),
                         [](const auto& misuse) { return std::string(misuse.param.name); });

// A resume continues only the run it was given: the same settings, colour classes, scale and
// inputs, and a table exactly as that run wrote it. Anything else is refused, naming what was
// found, and leaves every file as it was.
struct ResumeCheck {
    const char* name;
    // Changes the files of a finished run over in/ (a 20-frame video film.avi, the molar m.png,
    // the front tooth x.png) or the options of the run that resumes it.
    std::function<void(BatchFixture&, BatchOptions&)> change;
    const char* message;
};

void PrintTo(const ResumeCheck& check, std::ostream* out) {
    *out << check.name;
}

class BatchResume : public BatchFixture, public ::testing::WithParamInterface<ResumeCheck> {};

// The table's lines with CR LF, the header first.
std::vector<std::string> tableLines(BatchFixture& f) {
    std::vector<std::string> lines;
    const std::string t = f.table();
    for (std::size_t at = 0; at < t.size();) {
        const std::size_t end = t.find("\r\n", at) + 2;
        lines.push_back(t.substr(at, end - at));
        at = end;
    }
    return lines;
}

void editTable(BatchFixture& f, const std::function<void(std::vector<std::string>&)>& edit) {
    std::vector<std::string> lines = tableLines(f);
    edit(lines);
    std::string t;
    for (const std::string& l : lines) t += l;
    f.writeBytes("out/results.csv", t);
}

// The first line whose file and object are these.
std::size_t lineOf(const std::vector<std::string>& lines, const std::string& file,
                   const std::string& frameAndObject) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find("/" + file + "," + frameAndObject) != std::string::npos) return i;
    ADD_FAILURE() << file << "," << frameAndObject;
    return 0;
}

const ResumeCheck kResumeChecks[] = {
    {"NoRecordOfTheEarlierRun",
     [](BatchFixture& f, BatchOptions& o) {
         fs::remove(f.folder / "out" / "run.json");
         o.analysis.threshold = 60;
     },
     "there is no record of the earlier run"},
    {"OtherThreshold", [](BatchFixture&, BatchOptions& o) { o.analysis.threshold = 60; },
     "--threshold was 70, now 60"},
    {"ColourClassesChangedInPlace",
     [](BatchFixture& f, BatchOptions&) {
         std::string classes = f.readBytes(f.folder / "classes.dat");
         classes[0] = static_cast<char>(classes[0] ^ 1);  // another colour, the same size
         f.writeBytes("classes.dat", classes);
     },
     "the colour-class file's content is not that of the run resumed"},
    {"ScaleFileChanged",
     [](BatchFixture& f, BatchOptions&) { f.writeBytes("scale.csv", "x.png,40\r\n"); },
     "the scale file's content is not that of the run resumed"},
    {"InputChanged",
     [](BatchFixture& f, BatchOptions&) {
         const fs::path x = f.folder / "in" / "x.png";
         fs::last_write_time(x, fs::last_write_time(x) + std::chrono::seconds(1));
     },
     "x.png has changed since (its size or modification time)"},
    {"ByteOrderMark",
     [](BatchFixture& f, BatchOptions&) {
         editTable(f, [](auto& lines) { lines[0] = "\xEF\xBB\xBF" + lines[0]; });
     },
     "it starts with a byte order mark"},
    {"LineFeeds",
     [](BatchFixture& f, BatchOptions&) {
         editTable(f, [](auto& lines) {
             for (std::string& l : lines) l.erase(l.size() - 2, 1);
         });
     },
     "line 1 ends in LF, not CR LF"},
    {"LineFeedsInTheRows",
     [](BatchFixture& f, BatchOptions&) {
         editTable(f, [](auto& lines) { lines[5].erase(lines[5].size() - 2, 1); });
     },
     "line 6 ends in LF, not CR LF"},
    {"DoubledRow",
     [](BatchFixture& f, BatchOptions&) {
         editTable(f, [](auto& lines) { lines.insert(lines.begin() + 3, lines[3]); });
     },
     "line 5 repeats the line before it"},
    {"ToothRowDropped",
     [](BatchFixture& f, BatchOptions&) {
         editTable(
             f, [](auto& lines) { lines.erase(lines.begin() + lineOf(lines, "m.png", ",tooth")); });
     },
     "holds canal 1 of"},
    {"CanalRowDropped",
     [](BatchFixture& f, BatchOptions&) {
         editTable(f, [](auto& lines) {
             lines.erase(lines.begin() + lineOf(lines, "m.png", ",canal 2"));
         });
     },
     "holds canal 3 of"},
    {"PictureDropped",
     [](BatchFixture& f, BatchOptions&) {
         editTable(f, [](auto& lines) {
             const std::size_t first = lineOf(lines, "m.png", ",tooth");
             lines.erase(lines.begin() + first, lines.begin() + first + 4);
         });
     },
     "m.png\" come before it, and the run resumed did not name it"},
    {"RowClaimingALaterFrame",
     [](BatchFixture& f, BatchOptions&) {
         editTable(f, [](auto& lines) {
             const std::size_t five = lineOf(lines, "film.avi", "5,");
             std::string later = lines[five];
             later.replace(later.find(",5,"), 3, ",19,");
             lines.erase(lines.begin() + five, lines.end());
             lines.push_back(later);
         });
     },
     "are missing (frames 5 to 18)"},
    {"VideoCutShort",
     [](BatchFixture& f, BatchOptions&) {
         editTable(f, [](auto& lines) {
             const std::size_t ten = lineOf(lines, "film.avi", "10,");
             lines.erase(lines.begin() + ten, lines.begin() + lineOf(lines, "m.png", ",tooth"));
         });
     },
     "are missing (frames 10 to 19)"},
    {"RowsOfAnotherInput",
     [](BatchFixture& f, BatchOptions&) {
         editTable(f, [](auto& lines) {
             // A none row: as many fields as the header has.
             const auto commas = std::count(lines.front().begin(), lines.front().end(), ',');
             lines.push_back("anderes.png,,none" +
                             std::string(static_cast<std::size_t>(commas - 2), ',') + "\r\n");
         });
     },
     "rows of \"anderes.png\", which is none of these inputs"},
};

TEST_P(BatchResume, OnlyTheRunItWasGivenIsContinued) {
    sample("front-640x480.png", "x.png");
    sample("molar-640x480.png", "m.png");
    ASSERT_TRUE(writeIndexedVideo(path("in/film.avi"), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                                  20, {96, 64}));
    fs::copy_file(kClasses, folder / "classes.dat");
    writeBytes("scale.csv", "x.png,20\r\n");
    BatchOptions o = options({path("in")});
    o.classes = path("classes.dat");
    o.scale = path("scale.csv");
    ASSERT_EQ(run(o), 0) << log.str();
    GetParam().change(*this, o);
    const std::string table = readBytes(folder / "out" / "results.csv");
    o.resume = true;
    EXPECT_EQ(run(o), 1);
    EXPECT_NE(log.str().find(GetParam().message), std::string::npos) << log.str();
    EXPECT_EQ(readBytes(folder / "out" / "results.csv"), table);
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchResume, ::testing::ValuesIn(kResumeChecks),
                         [](const auto& check) { return std::string(check.param.name); });

// Frames and pictures the earlier run named as problems have no rows (the frames after a broken
// one keep their numbers), and a resume takes that for what it is, with every frame analysed or
// only every third.
TEST_F(BatchResume, FramesNamedAsProblemsAreNoGaps) {
    const std::string video = path("in/film.avi");
    ASSERT_TRUE(
        writeIndexedVideo(video, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 20, {96, 64}));
    ASSERT_TRUE(breakVideoFrame(video, 9));
    writeBytes("in/kaputt.png", "kein Bild");
    sample("front-640x480.png", "x.png");
    for (const int every : {1, 3}) {
        fs::remove_all(folder / "out");
        BatchOptions o = options({path("in")});
        o.every = every;
        ASSERT_EQ(run(o), 1) << log.str();
        const std::string whole = table();
        for (const char* frame : {"8,none", "10,none", "19,"})
            EXPECT_EQ(whole.find(std::string("film.avi,") + frame) != std::string::npos, every == 1)
                << frame;
        EXPECT_EQ(whole.find("film.avi,9,"), std::string::npos);
        for (const std::string cut : {",12,", "/x.png,"}) {
            SCOPED_TRACE(std::to_string(every) + cut);
            writeBytes("out/results.csv",
                       whole.substr(0, whole.rfind("\r\n", whole.find(cut)) + 2));
            o.resume = true;
            EXPECT_EQ(run(o), 1) << log.str();
            EXPECT_EQ(table(), whole);
            EXPECT_NE(log.str().find("film.avi: frame 9 cannot be read"), std::string::npos);
        }
    }
}

using BatchRates = BatchFixture;

// A video's rate is kept in its movie, however slow; a rate no camera films at is put in
// range and named.
TEST_F(BatchRates, MoviesKeepTheVideosRateOrNameTheChange) {
    struct Case {
        double claimed, kept;
        bool named;
    };
    for (const Case c : {Case{0.5, 0.5, false}, Case{30000.0 / 1001, 30000.0 / 1001, false},
                         Case{1e7, 1000, true}, Case{1e9, 1000, true}}) {
        SCOPED_TRACE(c.claimed);
        const std::string video = path("in/takt.mov");
        MjpegMovieWriter writer;
        ASSERT_TRUE(writer.open(video, {64, 48}, c.claimed));
        std::vector<uchar> jpeg;
        ASSERT_TRUE(cv::imencode(".jpg", cv::Mat(48, 64, CV_8UC3, cv::Scalar::all(90)), jpeg));
        for (int i = 0; i < 4; ++i) ASSERT_TRUE(writer.addFrame(jpeg));
        ASSERT_TRUE(writer.close());
        BatchOptions o = options({video});
        o.overwrite = true;
        ASSERT_EQ(run(o), 0) << log.str();
        EXPECT_EQ(log.str().find("takt.mov: the video claims") != std::string::npos, c.named)
            << log.str();
        cv::VideoCapture movie(path("out/takt.mov-analyse.mov"), cv::CAP_FFMPEG);
        EXPECT_EQ(movie.get(cv::CAP_PROP_FRAME_COUNT), 4);
        EXPECT_DOUBLE_EQ(movie.get(cv::CAP_PROP_FPS), c.kept);
    }
}

// The runs below start the real program, as a user does.
class BatchProgram : public BatchFixture {
protected:
    bool temporaryFilesLeft() const {
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.path().filename().string().find(".tmp") != std::string::npos) return true;
        return false;
    }
};

// Stopped after ten frames by SIGINT, SIGTERM or SIGHUP (a closed terminal): every frame
// written so far stays in the table as whole rows, in order, the record says the run was
// interrupted, and no temporary file is left.
TEST_F(BatchProgram, InterruptedRunsKeepEveryFinishedFrame) {
    const std::string video = longVideo();
    for (const int signo : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signo);
        Program batch(program({"--classes", kClasses, "--out", path("out"), "--overwrite", video}));
        for (int line = 0; line < 10; ++line) ASSERT_TRUE(batch.readLine());
        batch.signal(signo);
        EXPECT_EQ(batch.wait(), 128 + signo) << batch.errorText();
        const std::vector<int> frames = tableFrames();
        ASSERT_GE(frames.size(), 10u);
        ASSERT_LT(frames.size(), 1500u);
        for (std::size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(frames[i], static_cast<int>(i));
        EXPECT_EQ(record()["status"], "interrupted");
        EXPECT_EQ(record()["frames_done"], frames.size());
        EXPECT_EQ(record()["exit_status"], 128 + signo);
        EXPECT_FALSE(temporaryFilesLeft());
    }
}

TEST_F(BatchProgram, SecondRunIntoTheSameFolderIsRefused) {
    const std::string video = longVideo();
    Program first(program({"--classes", kClasses, "--out", path("out"), video}));
    ASSERT_TRUE(first.readLine());  // running, and held by its full pipe
    const std::string rowsBefore = table();
    Program second(program({"--classes", kClasses, "--out", path("out"), "--overwrite", video}));
    EXPECT_EQ(second.wait(), 1);
    EXPECT_NE(
        second.errorText().find("another quendra-batch run is writing into this folder (pid " +
                                std::to_string(first.processId()) + " on "),
        std::string::npos)
        << second.errorText();
    EXPECT_EQ(table().compare(0, rowsBefore.size(), rowsBefore), 0);
    first.signal(SIGKILL);
}

// FIFOs where an input is named, or where an output goes.
TEST_F(BatchProgram, FifosAreRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo(path("in/rohr.png").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(path("leitung.jpg").c_str(), 0600), 0);
    sample("front-640x480.png", "x.png");
    ASSERT_TRUE(
        writeIndexedVideo(path("in/film.avi"), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 3));
    fs::create_directories(folder / "out");
    ASSERT_EQ(::mkfifo(path("out/film.avi-analyse.mov").c_str(), 0600), 0);
    Program batch(
        program({"--classes", kClasses, "--out", path("out"), path("leitung.jpg"), path("in")}));
    EXPECT_EQ(batch.wait(), 1);
    EXPECT_NE(batch.errorText().find("rohr.png: not a regular file"), std::string::npos)
        << batch.errorText();
    EXPECT_NE(batch.errorText().find("leitung.jpg: not a regular file"), std::string::npos);
    EXPECT_NE(batch.errorText().find("film.avi-analyse.mov: cannot be written"), std::string::npos);
    EXPECT_NE(table().find("x.png,,tooth,"), std::string::npos);
}

// Out of memory in the middle of one picture (a 100-megapixel one under an address-space
// limit): that picture is named and the next one is still analysed. The sanitizer's shadow
// memory does not fit under such a limit.
TEST_F(BatchProgram, OutOfMemoryInOnePictureIsNamedAndTheRunGoesOn) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "no address-space limit under AddressSanitizer";
#endif
    ASSERT_TRUE(
        cv::imwrite(path("in/a.png"), cv::Mat(10000, 10000, CV_8UC3, cv::Scalar(40, 200, 220))));
    sample("front-640x480.png", "b.png");
    Program batch(program({"--classes", kClasses, "--out", path("out"), "--jobs", "1", path("in")}),
                  [] {
                      const rlimit limit{700 << 20, 700 << 20};
                      ::setrlimit(RLIMIT_AS, &limit);
                  });
    EXPECT_EQ(batch.wait(), 1);
    EXPECT_NE(batch.errorText().find("a.png: out of memory"), std::string::npos)
        << batch.errorText();
    EXPECT_NE(table().find("b.png,,tooth,Frontzahn"), std::string::npos);
}

// Workers the system will not start (each thread's stack, as large as the stack limit,
// would pass the address-space limit): the run goes on with those it has, and says so.
TEST_F(BatchProgram, WorkersThatCannotStartLeaveTheWorkToTheOthers) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "no address-space limit under AddressSanitizer";
#endif
    ASSERT_TRUE(writeIndexedVideo(path("in/film.avi"), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                                  30, {64, 48}));
    cpu_set_t cores;
    if (::sched_getaffinity(0, sizeof cores, &cores) != 0 || CPU_COUNT(&cores) < 2)
        GTEST_SKIP() << "one core: the run starts no further worker";
    Program batch(program({"--classes", kClasses, "--out", path("out"), "--quiet", "--jobs", "2",
                           path("in/film.avi")}),
                  [] {
                      const rlimit stack{3l << 30, 3l << 30};
                      ::setrlimit(RLIMIT_STACK, &stack);
                      const rlimit memory{3l << 30, 3l << 30};
                      ::setrlimit(RLIMIT_AS, &memory);
                  });
    EXPECT_EQ(batch.wait(), 0) << batch.errorText();
    EXPECT_NE(batch.errorText().find("only 1 of 2 workers could be started"), std::string::npos)
        << batch.errorText();
    EXPECT_EQ(tableFrames().size(), 30u);
    EXPECT_EQ(record()["status"], "finished");
}

// A table named relative to the working folder, as a user in a shell names it.
TEST_F(BatchProgram, ATableInTheWorkingFolder) {
    sample("front-640x480.png", "x.png");
    const std::string here = folder.string();
    Program batch(
        program({"--classes", kClasses, "--csv", "t.csv", "--quiet", "--out", "out", "in/x.png"}),
        [&] { (void)!::chdir(here.c_str()); });
    EXPECT_EQ(batch.wait(), 0) << batch.errorText();
    EXPECT_NE(readBytes(folder / "t.csv").find("x.png,,tooth,"), std::string::npos);
}

// A file whose name a spreadsheet would run as a formula is text in the table, and a resume
// reads it back as the same name (else it would refuse a row of a file not among its inputs).
TEST_F(BatchProgram, NamesLikeFormulasAreTextAndReadBack) {
    sample("front-640x480.png", "=cmd()|calc.png");
    const std::string here = path("in");
    const auto runIn = [&](std::vector<std::string> more) {
        std::vector<std::string> args = {"--classes", kClasses, "--quiet", "--out", "../out"};
        args.insert(args.end(), more.begin(), more.end());
        Program batch(program(args), [&] { (void)!::chdir(here.c_str()); });
        EXPECT_EQ(batch.wait(), 0) << batch.errorText();
    };
    runIn({"=cmd()|calc.png"});
    const std::string rows = table();
    EXPECT_NE(rows.find("\r\n\"'=cmd()|calc.png\",,tooth,Frontzahn,"), std::string::npos) << rows;
    runIn({"--resume", "=cmd()|calc.png"});
    EXPECT_EQ(table(), rows);
}

// A full disk, made by a file-size limit (with SIGXFSZ at its default, as a shell's ulimit
// leaves it): the run stops, names the table, the table ends with a whole row, the record
// says so and the movie in hand leaves no hidden part behind.
TEST_F(BatchProgram, FullDiskStopsTheRunWithAWholeTable) {
    const std::string video = longVideo();
    for (const rlim_t bytes : {rlim_t{64 * 1024}, rlim_t{4000}}) {
        SCOPED_TRACE(bytes);
        Program batch(
            program({"--classes", kClasses, "--out", path("out"), "--quiet", "--overwrite", video}),
            [bytes] {
                std::signal(SIGXFSZ, SIG_DFL);
                const rlimit limit{bytes, bytes};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        EXPECT_EQ(batch.wait(), 1);
        EXPECT_NE(batch.errorText().find("results.csv: the table cannot be written"),
                  std::string::npos)
            << batch.errorText();
        const std::vector<int> frames = tableFrames();
        EXPECT_GT(frames.size(), 3u);
        EXPECT_LT(frames.size(), 1500u);
        EXPECT_EQ(record()["status"], "stopped");
        EXPECT_EQ(record()["exit_status"], 1);
        EXPECT_FALSE(temporaryFilesLeft());
    }
}

// A full disk met by a picture stops the run as one met by the table does: the record ends
// "stopped" and names the picture and why (it said "finished"). A record that cannot be
// written itself is said on standard error.
TEST_F(BatchProgram, FullDiskAtAPictureOrTheRecordIsNamed) {
    sample("front-640x480.png", "x.png");
    const std::pair<rlim_t, const char*> cases[] = {
        {16 * 1024, "x.png-analyse.jpg: cannot be written (File too large)"},
        {1024, "run.json: the run record cannot be written"}};
    for (const auto& [bytes, message] : cases) {
        SCOPED_TRACE(bytes);
        const std::string out = "out" + std::to_string(bytes);
        Program batch(
            program({"--classes", kClasses, "--out", path(out), "--quiet", path("in/x.png")}),
            [bytes] {
                std::signal(SIGXFSZ, SIG_DFL);
                const rlimit limit{bytes, bytes};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        EXPECT_EQ(batch.wait(), 1);
        EXPECT_NE(batch.errorText().find(message), std::string::npos) << batch.errorText();
        const bool recorded = fs::exists(folder / out / "run.json");
        EXPECT_EQ(recorded, bytes > 1024);
        if (!recorded) continue;
        EXPECT_EQ(record(out)["status"], "stopped");
        EXPECT_NE(record(out)["problems"].dump().find(message), std::string::npos)
            << record(out)["problems"];
    }
}

// The output folder deleted while the run writes into it: the rows go nowhere, which the run
// must notice and say.
TEST_F(BatchProgram, AnOutputFolderDeletedDuringTheRunIsNamed) {
    const std::string video = longVideo();
    Program batch(program({"--classes", kClasses, "--out", path("out"), video}));
    ASSERT_TRUE(batch.readLine());  // running, and held by its full pipe
    std::error_code busy;           // the run may still be making a file in it
    while (fs::remove_all(folder / "out", busy) == static_cast<std::uintmax_t>(-1)) {
    }
    EXPECT_EQ(batch.wait(), 1);
    EXPECT_NE(batch.errorText().find("results.csv: removed while the run wrote it"),
              std::string::npos)
        << batch.errorText().substr(0, 2000);
}

// SIGTERM at any moment of the start: the run makes nothing, or leaves a table with its
// record that a resume continues.
TEST_F(BatchProgram, SignalsAtTheStartLeaveAResumableRun) {
    sample("front-640x480.png", "x.png");
    const std::vector<std::string> args = {"--classes", kClasses, "--out", path("out"),
                                           "--quiet",   "--jobs", "1",     path("in/x.png")};
    for (int ms = 0; ms <= 400; ms += 20) {
        SCOPED_TRACE(ms);
        fs::remove_all(folder / "out");
        Program batch(program(args));
        ::usleep(static_cast<useconds_t>(ms) * 1000);
        batch.signal(SIGTERM);
        const int status = batch.wait();
        ASSERT_TRUE(status == 143 || status == 0) << batch.errorText();
        EXPECT_FALSE(temporaryFilesLeft());
        if (!fs::exists(folder / "out" / "results.csv")) continue;
        ASSERT_TRUE(fs::exists(folder / "out" / "run.json")) << batch.errorText();
        std::vector<std::string> resume = args;
        resume.push_back("--resume");
        Program again(program(resume));
        EXPECT_EQ(again.wait(), 0) << again.errorText();
        EXPECT_NE(table().find("x.png,,tooth,"), std::string::npos);
    }
}

// An input deleted while the run is busy with an earlier one is named with the system's
// reason, not as something that is no regular file.
TEST_F(BatchProgram, AnInputDeletedDuringTheRunIsCalledMissing) {
    longVideo();
    sample("front-640x480.png", "zuletzt.png");
    Program batch(program({"--classes", kClasses, "--out", path("out"), path("in")}));
    ASSERT_TRUE(batch.readLine());  // the video's frames hold the run at its full pipe
    fs::remove(folder / "in" / "zuletzt.png");
    EXPECT_EQ(batch.wait(), 1);
    EXPECT_NE(batch.errorText().find("zuletzt.png: No such file or directory"), std::string::npos)
        << batch.errorText().substr(batch.errorText().size() - 300);
}

// A file named like an option, given without "--", is told as such, in lines of their own.
TEST_F(BatchProgram, AFileNamedLikeAnOptionIsExplained) {
    Program batch(program({"--classes", kClasses, "-x.png"}));
    EXPECT_EQ(batch.wait(), 2);
    EXPECT_NE(batch.errorText().find("quendra-batch: -x.png is no option; a file whose name "
                                     "starts with - is named after -- (quendra-batch ... -- "
                                     "-x.png) or as ./-x.png\nRun with --help"),
              std::string::npos)
        << batch.errorText();
}

// Started with standard output and error closed (`>&- 2>&-`, as by some daemons and cron):
// the files the run opens must not take their numbers, or the progress would be written
// into the table.
TEST_F(BatchProgram, ClosedStandardStreamsLeaveTheTableAlone) {
    sample("front-640x480.png", "x.png");
    Program batch(program({"--classes", kClasses, "--out", path("out"), path("in/x.png")}), [] {
        ::close(STDOUT_FILENO);
        ::close(STDERR_FILENO);
    });
    EXPECT_EQ(batch.wait(), 0);
    EXPECT_EQ(table().rfind(tableHeader(false), 0), 0u) << table();
    EXPECT_NE(table().find("x.png,,tooth,Frontzahn"), std::string::npos);
    EXPECT_EQ(record()["status"], "finished");
}

// `quendra-batch ... 2>&1 | head -1`: the reader goes after the first line, and the run
// goes on to its end without anyone reading its progress.
TEST_F(BatchProgram, ProgressIntoAClosedPipeDoesNotEndTheRun) {
    ASSERT_TRUE(
        writeIndexedVideo(path("in/film.avi"), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 40));
    Program batch(program({"--classes", kClasses, "--out", path("out"), path("in/film.avi")}));
    ASSERT_TRUE(batch.readLine());
    batch.closeErrors();
    EXPECT_EQ(batch.wait(), 0);
    EXPECT_EQ(tableFrames().size(), 40u);
    EXPECT_EQ(record()["status"], "finished");
}

// Empty, garbage and broken files make the decoders and video back ends talk; the operator
// sees the run's own line for each and nothing else.
TEST_F(BatchProgram, OnlyTheRunsOwnMessagesReachStandardError) {
    writeBytes("in/leer.mp4", "");
    std::string garbage(3000, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 7919 % 251);
    writeBytes("in/muell.avi", garbage);
    writeBytes("in/muell.mov", garbage);
    const std::string png = readBytes(QUENDRA_SAMPLE_DIR "/front-640x480.png");
    writeBytes("in/halb.png", png.substr(0, png.size() / 2));
    Program batch(program({"--classes", kClasses, "--out", path("out"), "--quiet", path("in")}));
    EXPECT_EQ(batch.wait(), 1);
    std::istringstream lines(batch.errorText());
    std::vector<std::string> named;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.rfind("quendra-batch: ", 0), 0u) << line;
        named.push_back(line);
    }
    EXPECT_EQ(named.size(), 4u) << batch.errorText();
}

// What the run reads besides its inputs must be a regular file of a sensible size: a FIFO
// would wait forever, /dev/zero never end.
TEST_F(BatchProgram, FilesItReadsAreRegularFilesOfASensibleSize) {
    sample("front-640x480.png", "x.png");
    struct Case {
        const char* name;
        std::function<void(BatchProgram&, std::vector<std::string>&)> prepare;
        const char* message;
    };
    const auto earlierRun = [](BatchProgram& f) {
        Program first(program({"--classes", kClasses, "--out", f.path("out"), f.path("in")}));
        EXPECT_EQ(first.wait(), 0);
        fs::remove(f.folder / "out" / "run.json");
    };
    const Case cases[] = {
        {"scale file is a FIFO",
         [](BatchProgram& f, std::vector<std::string>& args) {
             ASSERT_EQ(::mkfifo(f.path("scale.csv").c_str(), 0600), 0);
             args.insert(args.begin(), {"--scale", f.path("scale.csv")});
         },
         "scale.csv: the scale file cannot be read: not a regular file"},
        {"run record is a FIFO",
         [&](BatchProgram& f, std::vector<std::string>& args) {
             earlierRun(f);
             ASSERT_EQ(::mkfifo(f.path("out/run.json").c_str(), 0600), 0);
             args.insert(args.begin(), "--resume");
         },
         "run.json: not a regular file"},
        {"class file is /dev/zero",
         [](BatchProgram&, std::vector<std::string>& args) { args[1] = "/dev/zero"; },
         "/dev/zero: the colour-class file cannot be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder / "out");
        std::vector<std::string> args = {"--classes", kClasses, "--out", path("out"), path("in")};
        c.prepare(*this, args);
        // An address-space limit turns reading /dev/zero into memory into a quick failure.
        Program batch(program(args), [] {
#if !defined(__SANITIZE_ADDRESS__)
            const rlimit limit{2048ul << 20, 2048ul << 20};
            ::setrlimit(RLIMIT_AS, &limit);
#endif
        });
        EXPECT_EQ(batch.wait(), 1);
        EXPECT_NE(batch.errorText().find(c.message), std::string::npos) << batch.errorText();
    }
}

}  // namespace
}  // namespace quendra
