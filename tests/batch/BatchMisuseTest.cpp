// What a user may do by mistake, and what the batch analyser must then do: never destroy a
// file it was not asked to write, never stay silent or exit 0 when something was not done.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
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
    // What else must hold afterwards; every file there was before the run is checked by all.
    std::function<void(BatchFixture&)> check = {};
};

void PrintTo(const Misuse& misuse, std::ostream* out) {
    *out << misuse.name;
}

class BatchMisuse : public BatchFixture, public ::testing::WithParamInterface<Misuse> {};

const std::string kEarlier = "file,frame,object\r\nearlier.png,,none\r\n";

void writeEarlierRun(BatchFixture& f) {
    fs::create_directories(f.folder / "out");
    f.writeBytes("out/results.csv", kEarlier);
    f.writeBytes("out/run.json", "{\"status\": \"finished\"}\n");
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
            1, message};
}

// A run with scale.csv of these bytes as its scale file.
Misuse withScale(const char* name, const std::string& bytes, int status, const char* message,
                 std::function<void(BatchFixture&)> check = {}) {
    return {name,
            [=](BatchFixture& f, BatchOptions& o) {
                f.writeBytes("scale.csv", bytes);
                o.scale = f.path("scale.csv");
            },
            status, message, check};
}

std::function<void(BatchFixture&)> tableHolds(const std::string& part) {
    return [=](BatchFixture& f) { EXPECT_THAT(f.table(), HasSubstr(part)); };
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
     [](auto& f, auto& o) {
         fs::copy_file(BatchFixture::kClasses, f.folder / "classes.dat");
         o.classes = o.csv = f.path("classes.dat");
     },
     1, "would replace the colour-class file",
     [](BatchFixture& f) { EXPECT_FALSE(fs::exists(f.folder / "out" / "run.json")); }},
    {"TableNamedLikeAnInput", [](auto& f, auto& o) { o.csv = f.path("in/x.png"); }, 1,
     "would replace the input"},
    // A class file that cannot be used stops the run before it touches the earlier one, named
    // with the reason. Any file used to load as colours: a text's letters became classes.
    unusableClassFile(
        "MistypedClassFile", "Farbklassen.dta", std::nullopt,
        "Farbklassen.dta: the colour-class file cannot be read: No such file or directory"),
    unusableClassFile("EmptyClassFile", "leer.dat", "", "holds no colour classes"),
    unusableClassFile("TextAsClassFile", "text.dat", "hello world\n",
                      "text.dat: not a colour-class file: record 1 has the class 108"),
    unusableClassFile("ClassFileCutShort", "kurz.dat", std::string("\x10\x20\x30\x01\x10\x20", 6),
                      "kurz.dat: not a colour-class file: record 2 has 2 of its 4 bytes"),
    {"EarlierTableIsNotTruncated", [](auto& f, auto&) { writeEarlierRun(f); }, 1, "--overwrite"},
    {"InputsSharingTheirName",
     [](auto& f, auto& o) {
         for (const char* name : {"a/x.png", "b/x.png", "x.jpg"})
             o.inputs.push_back(
                 f.sample(name[0] == 'b' ? "molar-640x480.png" : "front-640x480.png", name));
     },
     0, "",
     [](BatchFixture& f) {
         for (const char* name : {"a/x.png", "b/x.png", "x.jpg", "x.png"})
             EXPECT_TRUE(fs::exists(f.folder / "out" / (std::string(name) + "-analyse.jpg")))
                 << name;
         EXPECT_THAT(f.table(), HasSubstr("/b/x.png,,tooth,UK-Molar"));
         EXPECT_THAT(f.table(), HasSubstr("/a/x.png,,tooth,Frontzahn"));
     }},
    {"OutputFolderIsTheInputFolder",
     [](auto& f, auto& o) {
         f.sample("molar-640x480.png", "x-analyse.png");  // the operator's own file
         o.out = f.path("in");
         o.inputs = {o.out};
     },
     0, "1 files in the input folders are outputs",
     [](BatchFixture& f) {
         EXPECT_TRUE(fs::exists(f.folder / "in" / "x.png-analyse.jpg"));
         EXPECT_THAT(f.table("in"), Not(HasSubstr("x-analyse.png")));
     }},
    {"InputThatAnOutputWouldReplace",
     [](auto& f, auto& o) {
         o.out = f.path("in");
         o.inputs.push_back(f.sample("molar-640x480.png", "x.png-analyse.png"));
     },
     1, "would be replaced by an output of"},
    {"InputThatAFrameOutputWouldReplace",
     [](auto& f, auto& o) {
         o.out = f.path("in");
         o.inputs = {f.video("film.avi", 5),
                     f.sample("molar-640x480.png", "film.avi-f3-analyse.png")};
     },
     1, "film.avi-f3-analyse.png: this input would be replaced by an output of",
     [](BatchFixture& f) { EXPECT_FALSE(fs::exists(f.folder / "in" / "results.csv")); }},
    {"LatinOneNameBesideItsUtf8Twin",
     [](auto& f, auto& o) {
         o.inputs = {f.sample("front-640x480.png", "Z\xE4hne.png"),
                     f.sample("molar-640x480.png", "Zähne.png")};
     },
     0, "",
     [](BatchFixture& f) {
         EXPECT_TRUE(validUtf8(f.table()));
         EXPECT_THAT(f.table(), HasSubstr("Z\\xE4hne.png,,tooth,Frontzahn"));
         EXPECT_THAT(f.table(), HasSubstr("Zähne.png,,tooth,UK-Molar"));
         const nlohmann::json record = f.record();  // parsing checks the UTF-8 too
         EXPECT_NE(record["inputs"][0], record["inputs"][1]);
     }},
    {"ControlCharactersInNamesAreShownEscaped",
     [](auto& f, auto& o) {
         o.inputs = {f.path("in/\x1B[2J\x1B]0;owned\x07.png"), f.path("in/\x9B"
                                                                      "31m.txt")};
         f.writeBytes(o.inputs[0], "no picture");
         f.writeBytes(o.inputs[1], "");
     },
     1, "\\x1B[2J\\x1B]0;owned\\x07.png: cannot read the picture",
     [](BatchFixture& f) {
         EXPECT_THAT(f.log.str(), HasSubstr("\\x9B31m.txt: neither a picture nor a video"));
         for (const char c : f.log.str())
             EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
         EXPECT_TRUE(validUtf8(f.log.str()));
     }},
    // Paths the system will not open are named with the system's own reason.
    {"PathsTheSystemRefusesGiveItsReason",
     [](auto& f, auto& o) {
         fs::create_directories(f.folder / "ring");
         for (const char* loop : {"in/schleife.png", "ring/kreis.png"})
             fs::create_symlink(fs::path(loop).filename(), f.folder / loop);
         o.inputs = {f.path("in/schleife.png"), f.path("ring"),
                     f.path(std::string(300, 'z') + ".png")};
     },
     1, "schleife.png: Too many levels of symbolic links",
     [](BatchFixture& f) {
         EXPECT_THAT(f.log.str(), HasSubstr(".png: File name too long"));
         // A loop found in a folder, named as one given by name is, the folder not blamed.
         EXPECT_THAT(f.log.str(), HasSubstr("ring/kreis.png: Too many levels of symbolic links"));
         EXPECT_THAT(f.log.str(), Not(HasSubstr("ring: Too many")));
     }},
    {"SinglePageTiffIsAnalysed",
     [](auto& f, auto& o) {
         ASSERT_TRUE(cv::imwrite(f.path("in/scan.tif"),
                                 cv::imread(QUENDRA_SAMPLE_DIR "/front-640x480.png")));
         o.inputs = {f.path("in")};
     },
     0, "", tableHolds("scan.tif,,tooth,Frontzahn")},
    {"PercentInAVideoNameReadsNoOtherFile",
     [](auto& f, auto& o) {
         for (const char* other : {"t00.mp4", "t01.mp4", "t02.mp4"})
             f.sample("front-640x480.png", other);
         f.writeBytes("in/t%02d.mp4", "no video");
         o.inputs = {f.path("in/t%02d.mp4")};
     },
     1, "t%02d.mp4: cannot read the video",
     [](BatchFixture& f) { EXPECT_THAT(f.table(), Not(HasSubstr("t%02d.mp4,"))); }},
    {"VideoFramesAboveThePixelLimit",
     [](auto& f, auto& o) {
         o.inputs.insert(o.inputs.begin(), f.video("riesig.avi", 3));
         ASSERT_TRUE(claimFrameSize(o.inputs[0], 11000, 11000));
     },
     1, "riesig.avi: the video's frames have 11000 x 11000 pixels, more than the limit of 120",
     tableHolds("x.png,,tooth,")},
    {"JobsBeyondTheCoresAreCutDown", [](auto&, auto& o) { o.jobs = 256; }, 0,
     "--jobs 256: ", tableHolds("x.png,,tooth,")},
    {"MoreCanalsThanSixteenBitLabelsHold",
     [](auto& f, auto& o) {
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
         EXPECT_THAT(f.table(), HasSubstr("raster.png,,canal 65535,"));
     }},
    {"TableNamedLikeTheScaleFile",
     [](auto& f, auto& o) {
         f.writeBytes("scale.csv", "x.png,20\r\n");
         o.scale = o.csv = f.path("scale.csv");
     },
     1, "scale.csv: the table would replace the scale file"},
    {"RunRecordNamedLikeTheScaleFile",
     [](auto& f, auto& o) {
         fs::create_directories(f.folder / "out");
         f.writeBytes("out/run.json", "x.png,20\r\n");
         o.scale = f.path("out/run.json");
     },
     1, "run.json: the run record would replace the scale file"},
    {"TableOntoAnUnrelatedFile",
     [](auto& f, auto& o) {
         f.writeBytes("notizen.txt", "Termine\n");
         o.csv = f.path("notizen.txt");
         o.overwrite = true;
     },
     1, "notizen.txt: holds something else than a table of quendra-batch"},
    {"TableOntoTheLockFile", [](auto& f, auto& o) { o.csv = f.path("out/.quendra-batch.lock"); }, 1,
     "the table would replace the lock file",
     [](BatchFixture& f) { EXPECT_FALSE(fs::exists(f.folder / "out")); }},
    {"RefusedRunMakesNoFolder",
     [](auto& f, auto& o) {
         o.out = f.path("neu/tief");
         o.csv = "/proc/x.csv";
     },
     1, "/proc/x.csv: the table",
     [](BatchFixture& f) { EXPECT_FALSE(fs::exists(f.folder / "neu")); }},
    {"RefusedResumeMakesNothing",
     [](auto& f, auto& o) {
         f.writeBytes("alt.csv", kEarlier);
         o.out = f.path("neu/tief");
         o.csv = f.path("alt.csv");
         o.resume = true;
     },
     1, "cannot be resumed", [](BatchFixture& f) { EXPECT_FALSE(fs::exists(f.folder / "neu")); }},
    {"EmptyShardWritesItsHeaderAndRecord",
     [](auto&, auto& o) {
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
    withScale("ScaleRowsByFileNameForInputsGivenOneByOne",
              "file,px_per_mm\r\nx.png,20\r\ny.png,30\r\n", 0,
              "scale.csv: row 3 (y.png) matches no input", tableHolds(",oval,20,")),
    {"ScaleRowNamingTwoInputsByTheirFileName",
     [](auto& f, auto& o) {
         f.writeBytes("scale.csv", "x.png,20\r\n");
         o.scale = f.path("scale.csv");
         o.inputs.push_back(f.sample("molar-640x480.png", "b/x.png"));
     },
     1, "row 1 names x.png, the file name of",
     [](BatchFixture& f) { EXPECT_FALSE(fs::exists(f.folder / "out")); }},
    withScale("ScaleRowGivenTwice", "x.png,20\r\n./x.png,40\r\n", 1,
              "row 2 names ./x.png again (row 1)"),
    // A spreadsheet's "CSV UTF-8" starts with a byte order mark, here before a first data row.
    withScale("ScaleFileWithAByteOrderMarkAndNoHeader", "\xEF\xBB\xBFx.png,20\r\n", 0, "",
              [](BatchFixture& f) {
                  EXPECT_THAT(f.table(), HasSubstr(",oval,20,"));
                  EXPECT_THAT(f.log.str(), Not(HasSubstr("matches no input")));
              }),
    {"ScaleRowWithTheAbsolutePathOfARelativeInput",
     [](auto& f, auto& o) {
         f.writeBytes("scale.csv", "file,px_per_mm\n" + f.path("in/x.png") + ",20\n");
         o.scale = f.path("scale.csv");
         o.inputs = {fs::relative(f.path("in/x.png")).string()};
     },
     0, "", tableHolds(",oval,20,")},
    // A quote left open used to take every row after it into one file name, without a word.
    withScale("BadlyQuotedScaleRowsAreNamedAndTheOthersKept",
              "\"y.png,20\r\nx.png,20\r\nz\"\".png,30\r\n\"w.png\"x,4\r\n", 0,
              "scale.csv: line 1 is badly quoted",
              [](BatchFixture& f) {
                  EXPECT_THAT(f.table(), HasSubstr(",oval,20,"));
                  for (const char* line : {"line 3 is badly quoted", "line 4 is badly quoted"})
                      EXPECT_THAT(f.log.str(), HasSubstr(line));
              }),
    // A lock folder a killed run left: taken over when its owner has ended or it is empty,
    // else named with how to remove it, never called another run.
    {"LeftoverLockFolderOfAStoppedRunIsTakenOver",
     [](auto& f, auto&) {
         fs::create_directories(f.folder / "out" / ".quendra-batch.lock");
         char host[256] = {};
         ::gethostname(host, sizeof host - 1);
         f.writeBytes("out/.quendra-batch.lock/owner",
                      "pid 2147483646 host " + std::string(host) + "\n");
     },
     0, ".quendra-batch.lock: a leftover of a stopped run (pid 2147483646), taken over",
     [](BatchFixture& f) {
         EXPECT_TRUE(fs::is_regular_file(f.folder / "out" / ".quendra-batch.lock"));
         EXPECT_THAT(f.table(), HasSubstr("x.png,,tooth,"));
     }},
    {"LockFolderOfUnknownOwnerIsNamedNotCalledARun",
     [](auto& f, auto&) {
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
     [](auto&, auto& o) {
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
     [](auto& f, auto& o) {
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
         EXPECT_THAT(warnings[0].get<std::string>(), HasSubstr("the class enamel has only 3"));
     }},
    // A stack saved under a picture's extension is read as the stack it is, its name named.
    {"StackNamedLikeAPictureIsAStack",
     [](auto& f, auto&) {
         const cv::Mat page = cv::imread(QUENDRA_SAMPLE_DIR "/front-640x480.png");
         TiffStackWriter writer(f.path("in/x.png"));
         for (int i = 0; i < 3; ++i) writer.append(page);
         ASSERT_TRUE(writer.close());
     },
     0, "x.png: a TIFF of 3 pages, though its name ends in .png; read as the stack it is",
     tableHolds("x.png,3,")},
    {"RunRecordCannotBeWritten",
     [](auto& f, auto&) { fs::create_directories(f.folder / "out" / "run.json"); }, 1,
     "run.json: the run record cannot be written", tableHolds("x.png,,tooth,")},
};

// Every file under the test's folder with its bytes, but the lock folder's, which is the run's.
std::map<fs::path, std::string> filesIn(const fs::path& folder) {
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_symlink() && entry.is_regular_file() &&
            entry.path().string().find(".quendra-batch.lock") == std::string::npos)
            files[entry.path()] = BatchFixture::readBytes(entry.path());
    return files;
}

TEST_P(BatchMisuse, NothingLostNothingReportedWrongly) {
    BatchOptions o = options({sample("front-640x480.png", "x.png")});
    GetParam().prepare(*this, o);
    const auto before = filesIn(folder);
    EXPECT_EQ(run(o), GetParam().status) << log.str();
    EXPECT_THAT(log.str(), HasSubstr(GetParam().message));
    const auto after = filesIn(folder);
    for (const auto& [file, bytes] : before)
        EXPECT_TRUE(after.contains(file) && after.at(file) == bytes) << file << " changed";
    if (GetParam().check) GetParam().check(*this);
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

// A resume of a table whose lines (each with its CR LF, the header first) were edited so.
ResumeCheck tableEdit(const char* name, std::function<void(std::vector<std::string>&)> edit,
                      const char* message) {
    return {name,
            [=](BatchFixture& f, BatchOptions&) {
                std::vector<std::string> lines;
                const std::string t = f.table();
                for (std::size_t at = 0; at < t.size(); at = t.find("\r\n", at) + 2)
                    lines.push_back(t.substr(at, t.find("\r\n", at) + 2 - at));
                edit(lines);
                std::string edited;
                for (const std::string& l : lines) edited += l;
                f.writeBytes("out/results.csv", edited);
            },
            message};
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
     [](auto& f, auto& o) {
         fs::remove(f.folder / "out" / "run.json");
         o.analysis.threshold = 60;
     },
     "there is no record of the earlier run"},
    {"OtherThreshold", [](auto&, auto& o) { o.analysis.threshold = 60; },
     "--threshold was 70, now 60"},
    {"ColourClassesChangedInPlace",
     [](auto& f, auto&) {
         std::string classes = f.readBytes(f.folder / "classes.dat");
         classes[0] = static_cast<char>(classes[0] ^ 1);  // another colour, the same size
         f.writeBytes("classes.dat", classes);
     },
     "the colour-class file's content is not that of the run resumed"},
    {"ScaleFileChanged", [](auto& f, auto&) { f.writeBytes("scale.csv", "x.png,40\r\n"); },
     "the scale file's content is not that of the run resumed"},
    {"InputChanged",
     [](auto& f, auto&) {
         const fs::path x = f.folder / "in" / "x.png";
         fs::last_write_time(x, fs::last_write_time(x) + std::chrono::seconds(1));
     },
     "x.png has changed since (its size or modification time)"},
    tableEdit(
        "ByteOrderMark", [](auto& lines) { lines[0] = "\xEF\xBB\xBF" + lines[0]; },
        "it starts with a byte order mark"),
    tableEdit(
        "LineFeeds",
        [](auto& lines) {
            for (std::string& l : lines) l.erase(l.size() - 2, 1);
        },
        "line 1 ends in LF, not CR LF"),
    tableEdit(
        "LineFeedsInTheRows", [](auto& lines) { lines[5].erase(lines[5].size() - 2, 1); },
        "line 6 ends in LF, not CR LF"),
    tableEdit(
        "DoubledRow", [](auto& lines) { lines.insert(lines.begin() + 3, lines[3]); },
        "line 5 repeats the line before it"),
    tableEdit(
        "ToothRowDropped",
        [](auto& lines) { lines.erase(lines.begin() + lineOf(lines, "m.png", ",tooth")); },
        "holds canal 1 of"),
    tableEdit(
        "CanalRowDropped",
        [](auto& lines) { lines.erase(lines.begin() + lineOf(lines, "m.png", ",canal 2")); },
        "holds canal 3 of"),
    tableEdit(
        "PictureDropped",
        [](auto& lines) {
            const std::size_t first = lineOf(lines, "m.png", ",tooth");
            lines.erase(lines.begin() + first, lines.begin() + first + 4);
        },
        "m.png\" come before it, and the run resumed did not name it"),
    tableEdit(
        "RowClaimingALaterFrame",
        [](auto& lines) {
            const std::size_t five = lineOf(lines, "film.avi", "5,");
            std::string later = lines[five];
            later.replace(later.find(",5,"), 3, ",19,");
            lines.erase(lines.begin() + five, lines.end());
            lines.push_back(later);
        },
        "are missing (frames 5 to 18)"),
    tableEdit(
        "VideoCutShort",
        [](auto& lines) {
            lines.erase(lines.begin() + lineOf(lines, "film.avi", "10,"),
                        lines.begin() + lineOf(lines, "m.png", ",tooth"));
        },
        "are missing (frames 10 to 19)"),
    tableEdit(
        "RowsOfAnotherInput",
        [](auto& lines) {
            // A none row: as many fields as the header has.
            const auto commas = std::count(lines[0].begin(), lines[0].end(), ',');
            lines.push_back("anderes.png,,none" +
                            std::string(static_cast<std::size_t>(commas - 2), ',') + "\r\n");
        },
        "rows of \"anderes.png\", which is none of these inputs"),
};

TEST_P(BatchResume, OnlyTheRunItWasGivenIsContinued) {
    sample("front-640x480.png", "x.png");
    sample("molar-640x480.png", "m.png");
    video("film.avi", 20, {96, 64});
    fs::copy_file(kClasses, folder / "classes.dat");
    writeBytes("scale.csv", "x.png,20\r\n");
    BatchOptions o = options({path("in")});
    o.classes = path("classes.dat");
    o.scale = path("scale.csv");
    ASSERT_EQ(run(o), 0) << log.str();
    GetParam().change(*this, o);
    const std::string before = table();
    o.resume = true;
    EXPECT_EQ(run(o), 1);
    EXPECT_THAT(log.str(), HasSubstr(GetParam().message));
    EXPECT_EQ(table(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchResume, ::testing::ValuesIn(kResumeChecks),
                         [](const auto& check) { return std::string(check.param.name); });

// Frames and pictures the earlier run named as problems have no rows (the frames after a broken
// one keep their numbers), and a resume takes that for what it is, with every frame analysed or
// only every third, and names them once more.
TEST_F(BatchResume, FramesNamedAsProblemsAreNoGaps) {
    ASSERT_TRUE(breakVideoFrame(video("film.avi", 20, {96, 64}), 9));
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
        EXPECT_THAT(whole, Not(HasSubstr("film.avi,9,")));
        for (const std::string cut : {",12,", "/x.png,"}) {
            SCOPED_TRACE(std::to_string(every) + cut);
            writeBytes("out/results.csv",
                       whole.substr(0, whole.rfind("\r\n", whole.find(cut)) + 2));
            o.resume = true;
            EXPECT_EQ(run(o), 1) << log.str();
            EXPECT_EQ(table(), whole);
            EXPECT_THAT(log.str(), HasSubstr("film.avi: frame 9 cannot be read"));
            EXPECT_THAT(log.str(), HasSubstr("kaputt.png: cannot read the picture"));
            EXPECT_EQ(record()["problems"].size(), 2u) << record()["problems"];
            EXPECT_EQ(record()["exit_status"], 1);
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

// In the child: a file-size limit, with SIGXFSZ at its default (as a shell's ulimit leaves it),
// makes a full disk.
std::function<void()> fileSizeLimit(rlim_t bytes) {
    return [bytes] {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    };
}

// Stopped after ten frames by SIGINT, SIGTERM or SIGHUP (a closed terminal), or by a full disk
// (which the run names): every frame written so far stays in the table as whole rows, in order,
// the record says why, and the movie in hand leaves no hidden part behind.
TEST_F(BatchProgram, StoppedRunsKeepEveryFinishedFrame) {
    const std::string video = longVideo();
    for (const int stop : {SIGINT, SIGTERM, SIGHUP, -64 * 1024, -4000}) {
        SCOPED_TRACE(stop);
        const bool full = stop < 0;  // a disk of -stop bytes
        Program batch(command({"--overwrite", video}),
                      full ? fileSizeLimit(static_cast<rlim_t>(-stop)) : nullptr);
        for (int line = 0; line < 10 && !full; ++line) ASSERT_TRUE(batch.readLine());
        if (!full) batch.signal(stop);
        const int status = full ? 1 : 128 + stop;
        EXPECT_EQ(batch.wait(), status) << batch.errorText().substr(0, 2000);
        EXPECT_EQ(
            batch.errorText().find("results.csv: the table cannot be written") != std::string::npos,
            full);
        const std::vector<int> frames = tableFrames();
        ASSERT_GE(frames.size(), full ? 4u : 10u);
        ASSERT_LT(frames.size(), 1500u);
        for (std::size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(frames[i], static_cast<int>(i));
        EXPECT_EQ(record()["status"], full ? "stopped" : "interrupted");
        EXPECT_TRUE(full || record()["frames_done"] == frames.size()) << record();
        EXPECT_EQ(record()["exit_status"], status);
        EXPECT_FALSE(temporaryFilesLeft());
    }
}

TEST_F(BatchProgram, SecondRunIntoTheSameFolderIsRefused) {
    const std::string video = longVideo();
    Program first(command({video}));
    ASSERT_TRUE(first.readLine());  // running, and held by its full pipe
    const std::string rowsBefore = table();
    Program second(command({"--overwrite", video}));
    EXPECT_EQ(second.wait(), 1);
    EXPECT_THAT(second.errorText(),
                HasSubstr("another quendra-batch run is writing into this folder (pid " +
                          std::to_string(first.processId()) + " on "));
    EXPECT_EQ(table().compare(0, rowsBefore.size(), rowsBefore), 0);
    first.signal(SIGKILL);
}

// FIFOs where an input is named, or where an output goes.
TEST_F(BatchProgram, FifosAreRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo(path("in/rohr.png").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(path("leitung.jpg").c_str(), 0600), 0);
    sample("front-640x480.png", "x.png");
    video("film.avi", 3);
    fs::create_directories(folder / "out");
    ASSERT_EQ(::mkfifo(path("out/film.avi-analyse.mov").c_str(), 0600), 0);
    Program batch(command({path("leitung.jpg"), path("in")}));
    EXPECT_EQ(batch.wait(), 1);
    EXPECT_THAT(batch.errorText(), HasSubstr("rohr.png: not a regular file"));
    EXPECT_THAT(batch.errorText(), HasSubstr("leitung.jpg: not a regular file"));
    EXPECT_THAT(batch.errorText(), HasSubstr("film.avi-analyse.mov: cannot be written"));
    EXPECT_THAT(table(), HasSubstr("x.png,,tooth,"));
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
    Program batch(command({"--jobs", "1", path("in")}), [] {
        const rlimit limit{700 << 20, 700 << 20};
        ::setrlimit(RLIMIT_AS, &limit);
    });
    EXPECT_EQ(batch.wait(), 1);
    EXPECT_THAT(batch.errorText(), HasSubstr("a.png: out of memory"));
    EXPECT_THAT(table(), HasSubstr("b.png,,tooth,Frontzahn"));
}

// Workers the system will not start (each thread's stack, as large as the stack limit,
// would pass the address-space limit): the run goes on with those it has, and says so.
TEST_F(BatchProgram, WorkersThatCannotStartLeaveTheWorkToTheOthers) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "no address-space limit under AddressSanitizer";
#endif
    video("film.avi", 30, {64, 48});
    cpu_set_t cores;
    if (::sched_getaffinity(0, sizeof cores, &cores) != 0 || CPU_COUNT(&cores) < 2)
        GTEST_SKIP() << "one core: the run starts no further worker";
    Program batch(command({"--quiet", "--jobs", "2", path("in/film.avi")}), [] {
        const rlimit stack{3l << 30, 3l << 30};
        ::setrlimit(RLIMIT_STACK, &stack);
        const rlimit memory{3l << 30, 3l << 30};
        ::setrlimit(RLIMIT_AS, &memory);
    });
    EXPECT_EQ(batch.wait(), 0) << batch.errorText();
    EXPECT_THAT(batch.errorText(), HasSubstr("only 1 of 2 workers could be started"));
    EXPECT_EQ(tableFrames().size(), 30u);
    EXPECT_EQ(record()["status"], "finished");
}

// A file whose name a spreadsheet would run as a formula is text in the table, and a resume
// reads it back as the same name (else it would refuse a row of a file not among its inputs).
// The table is named relative to the working folder, as a user in a shell names it.
TEST_F(BatchProgram, NamesLikeFormulasAreTextAndReadBack) {
    sample("front-640x480.png", "=cmd()|calc.png");
    const std::string here = path("in");
    const auto runIn = [&](const char* more) {
        Program batch(program({"--classes", kClasses, "--out", "../out", "--csv", "t.csv",
                               "=cmd()|calc.png", more}),
                      [&] { (void)!::chdir(here.c_str()); });
        EXPECT_EQ(batch.wait(), 0) << batch.errorText();
        return readBytes(folder / "in" / "t.csv");
    };
    const std::string rows = runIn("--quiet");
    EXPECT_THAT(rows, HasSubstr("\r\n\"'=cmd()|calc.png\",,tooth,Frontzahn,"));
    EXPECT_EQ(runIn("--resume"), rows);
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
        Program batch(command({"--quiet", path("in/x.png")}, out), fileSizeLimit(bytes));
        EXPECT_EQ(batch.wait(), 1);
        EXPECT_THAT(batch.errorText(), HasSubstr(message));
        const bool recorded = fs::exists(folder / out / "run.json");
        EXPECT_EQ(recorded, bytes > 1024);
        if (!recorded) continue;
        EXPECT_EQ(record(out)["status"], "stopped");
        EXPECT_THAT(record(out)["problems"].dump(), HasSubstr(message));
    }
}

// The output folder deleted while the run writes into it: the rows go nowhere, which the run
// must notice and say.
TEST_F(BatchProgram, AnOutputFolderDeletedDuringTheRunIsNamed) {
    const std::string video = longVideo();
    Program batch(command({video}));
    ASSERT_TRUE(batch.readLine());  // running, and held by its full pipe
    std::error_code busy;           // the run may still be making a file in it
    while (fs::remove_all(folder / "out", busy) == static_cast<std::uintmax_t>(-1)) {
    }
    EXPECT_EQ(batch.wait(), 1);
    EXPECT_THAT(batch.errorText(), HasSubstr("results.csv: removed while the run wrote it"));
}

// SIGTERM at any moment of the start: the run makes nothing, or leaves a table with its
// record that a resume continues.
TEST_F(BatchProgram, SignalsAtTheStartLeaveAResumableRun) {
    sample("front-640x480.png", "x.png");
    std::vector<std::string> args = command({"--quiet", "--jobs", "1", path("in/x.png")});
    for (int ms = 0; ms <= 400; ms += 20) {
        SCOPED_TRACE(ms);
        fs::remove_all(folder / "out");
        Program batch(args);
        ::usleep(static_cast<useconds_t>(ms) * 1000);
        batch.signal(SIGTERM);
        const int status = batch.wait();
        ASSERT_TRUE(status == 143 || status == 0) << batch.errorText();
        EXPECT_FALSE(temporaryFilesLeft());
        if (!fs::exists(folder / "out" / "results.csv")) continue;
        ASSERT_TRUE(fs::exists(folder / "out" / "run.json")) << batch.errorText();
        args.push_back("--resume");
        Program again(args);
        args.pop_back();
        EXPECT_EQ(again.wait(), 0) << again.errorText();
        EXPECT_THAT(table(), HasSubstr("x.png,,tooth,"));
    }
}

// An input deleted while the run is busy with an earlier one is named with the system's
// reason, not as something that is no regular file.
TEST_F(BatchProgram, AnInputDeletedDuringTheRunIsCalledMissing) {
    longVideo();
    sample("front-640x480.png", "zuletzt.png");
    Program batch(command({path("in")}));
    ASSERT_TRUE(batch.readLine());  // the video's frames hold the run at its full pipe
    fs::remove(folder / "in" / "zuletzt.png");
    EXPECT_EQ(batch.wait(), 1);
    EXPECT_THAT(batch.errorText(), HasSubstr("zuletzt.png: No such file or directory"));
}

// A file named like an option, given without "--", is told as such, in lines of their own.
TEST_F(BatchProgram, AFileNamedLikeAnOptionIsExplained) {
    Program batch(program({"--classes", kClasses, "-x.png"}));
    EXPECT_EQ(batch.wait(), 2);
    EXPECT_THAT(batch.errorText(),
                HasSubstr("quendra-batch: -x.png is no option; a file whose name "
                          "starts with - is named after -- (quendra-batch ... -- "
                          "-x.png) or as ./-x.png\nRun with --help"));
}

// Started with standard output and error closed (`>&- 2>&-`, as by some daemons and cron):
// the files the run opens must not take their numbers, or the progress would be written
// into the table.
TEST_F(BatchProgram, ClosedStandardStreamsLeaveTheTableAlone) {
    sample("front-640x480.png", "x.png");
    Program batch(command({path("in/x.png")}), [] {
        ::close(STDOUT_FILENO);
        ::close(STDERR_FILENO);
    });
    EXPECT_EQ(batch.wait(), 0);
    EXPECT_EQ(table().rfind(tableHeader(false), 0), 0u) << table();
    EXPECT_THAT(table(), HasSubstr("x.png,,tooth,Frontzahn"));
    EXPECT_EQ(record()["status"], "finished");
}

// `quendra-batch ... 2>&1 | head -1`: the reader goes after the first line, and the run
// goes on to its end without anyone reading its progress.
TEST_F(BatchProgram, ProgressIntoAClosedPipeDoesNotEndTheRun) {
    Program batch(command({video("film.avi", 40)}));
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
    Program batch(command({"--quiet", path("in")}));
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
    const Case cases[] = {
        {"scale file is a FIFO",
         [](BatchProgram& f, std::vector<std::string>& args) {
             ASSERT_EQ(::mkfifo(f.path("scale.csv").c_str(), 0600), 0);
             args.insert(args.end(), {"--scale", f.path("scale.csv")});
         },
         "scale.csv: the scale file cannot be read: not a regular file"},
        {"run record is a FIFO",
         [](BatchProgram& f, std::vector<std::string>& args) {
             ASSERT_EQ(f.run(f.options({f.path("in")})), 0);
             fs::remove(f.folder / "out" / "run.json");
             ASSERT_EQ(::mkfifo(f.path("out/run.json").c_str(), 0600), 0);
             args.push_back("--resume");
         },
         "run.json: not a regular file"},
        {"class file is /dev/zero",
         [](BatchProgram&, std::vector<std::string>& args) { args[2] = "/dev/zero"; },
         "/dev/zero: the colour-class file cannot be read: not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder / "out");
        std::vector<std::string> args = command({path("in")});
        c.prepare(*this, args);
        // An address-space limit turns reading /dev/zero into memory into a quick failure.
        Program batch(args, [] {
#if !defined(__SANITIZE_ADDRESS__)
            const rlimit limit{2048ul << 20, 2048ul << 20};
            ::setrlimit(RLIMIT_AS, &limit);
#endif
        });
        EXPECT_EQ(batch.wait(), 1);
        EXPECT_THAT(batch.errorText(), HasSubstr(c.message));
    }
}

}  // namespace
}  // namespace quendra
