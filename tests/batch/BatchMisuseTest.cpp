// What a user may do by mistake, and what the batch analyser must then do: never destroy a
// file it was not asked to write, never stay silent or exit 0 when something was not done.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <functional>
#include <opencv2/imgcodecs.hpp>

#include "BatchFixture.h"
#include "TestVideo.h"
#include "batch/BatchTable.h"

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

bool validUtf8(const std::string& text) {
    return utf8Text(text) == text;
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
    {"MistypedClassFileKeepsTheEarlierRun",
     [](BatchFixture& f, BatchOptions& o) {
         writeEarlierRun(f);
         o.classes = (f.folder / "Farbklassen.dta").string();
     },
     1, "Farbklassen.dta: the colour-class file cannot be read", expectEarlierRunKept},
    {"EmptyClassFile",
     [](BatchFixture& f, BatchOptions& o) {
         writeEarlierRun(f);
         f.writeBytes("leer.dat", "");
         o.classes = (f.folder / "leer.dat").string();
     },
     1, "holds no colour classes", expectEarlierRunKept},
    // Any file used to load as colours: a text's letters became classes 108 and 10.
    {"TextAsClassFile",
     [](BatchFixture& f, BatchOptions& o) {
         writeEarlierRun(f);
         f.writeBytes("text.dat", "hello world\n");
         o.classes = (f.folder / "text.dat").string();
     },
     1, "text.dat: not a colour-class file: record 1 has the class 108", expectEarlierRunKept},
    {"ClassFileCutShort",
     [](BatchFixture& f, BatchOptions& o) {
         writeEarlierRun(f);
         f.writeBytes("kurz.dat", std::string("\x10\x20\x30\x01\x10\x20", 6));
         o.classes = (f.folder / "kurz.dat").string();
     },
     1, "kurz.dat: not a colour-class file: record 2 has 2 of its 4 bytes", expectEarlierRunKept},
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
         f.sample("molar-640x480.png", "film.avi-f000003-analyse.png");
         o.out = (f.folder / "in").string();
         o.inputs = {video.string(), o.out + "/film.avi-f000003-analyse.png"};
     },
     1, "film.avi-f000003-analyse.png: this input would be replaced by an output of",
     [](BatchFixture& f) { EXPECT_FALSE(fs::exists(f.folder / "in" / "results.csv")); }},
    {"LatinOneFileName",
     [](BatchFixture& f, BatchOptions& o) {
         o.inputs = {f.sample("front-640x480.png", "Z\xE4hne.png").string()};
     },
     0, "",
     [](BatchFixture& f) {
         EXPECT_TRUE(validUtf8(f.table()));
         EXPECT_NE(f.table().find("Zähne.png,,tooth,"), std::string::npos);
         const std::string input = f.record()["inputs"][0];  // parsing checks the UTF-8 too
         EXPECT_EQ(input.substr(input.size() - 10), "Zähne.png");
     }},
    {"PictureTooLargeToDecode",
     [](BatchFixture& f, BatchOptions& o) {
         std::vector<uchar> png;
         cv::imencode(".png", cv::Mat(1, 30000, CV_8UC3, cv::Scalar::all(0)), png);
         png[22] = 0x75, png[23] = 0x30;  // 30000 rows
         f.writeBytes("in/riesig.png", std::string(png.begin(), png.end()));
         o.inputs.insert(o.inputs.begin(), (f.folder / "in" / "riesig.png").string());
     },
     1, "riesig.png: the picture has 30000 x 30000 pixels, more than the limit of 120 megapixels",
     [](BatchFixture& f) { EXPECT_NE(f.table().find("x.png,,tooth,"), std::string::npos); }},
    {"BrokenFrameInTheMiddleOfAVideo",
     [](BatchFixture& f, BatchOptions& o) {
         const std::string video = (f.folder / "in" / "film.avi").string();
         ASSERT_TRUE(writeIndexedVideo(video, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 20));
         ASSERT_TRUE(breakVideoFrame(video, 9));
         o.inputs = {video};
     },
     1, "film.avi: frame 9 cannot be read",
     [](BatchFixture& f) {
         EXPECT_NE(f.table().find("film.avi,8,none"), std::string::npos);
         EXPECT_EQ(f.table().find("film.avi,9,"), std::string::npos);
         EXPECT_NE(f.table().find("film.avi,10,none"), std::string::npos);
         EXPECT_NE(f.table().find("film.avi,19,"), std::string::npos);
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

TEST(BatchOptions, ScalesMustBeFiniteAndSensible) {
    for (const char* scale : {"inf", "-inf", "nan", "1e-300", "0", "-3", "1e300"}) {
        const ParsedCommandLine parsed =
            parseBatchOptions({"--classes", "c.dat", "--px-per-mm", scale, "a.png"});
        EXPECT_FALSE(parsed.options) << scale;
        EXPECT_EQ(parsed.exitStatus, 2);
    }
    EXPECT_TRUE(parseBatchOptions({"--classes", "c.dat", "--px-per-mm", "0.05", "a.png"}).options);
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

// Stopped after ten frames by SIGINT or SIGTERM: every frame written so far stays in the table
// as whole rows, in order, the record says the run was interrupted, and no temporary file is
// left.
TEST_F(BatchProgram, InterruptedRunsKeepEveryFinishedFrame) {
    const std::string video = longVideo();
    for (const int signo : {SIGINT, SIGTERM}) {
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

// Even a run killed outright keeps the rows of every frame it reported done.
TEST_F(BatchProgram, RowsReachTheTableAsEachFrameIsDone) {
    const std::string video = longVideo();
    Program batch(program({"--classes", kClasses, "--out", path("out"), video}));
    for (int line = 0; line < 10; ++line) ASSERT_TRUE(batch.readLine());
    batch.signal(SIGKILL);
    batch.wait();
    EXPECT_GE(tableFrames().size(), 10u);
    EXPECT_EQ(record()["status"], "running");
}

TEST_F(BatchProgram, SecondRunIntoTheSameFolderIsRefused) {
    const std::string video = longVideo();
    Program first(program({"--classes", kClasses, "--out", path("out"), video}));
    ASSERT_TRUE(first.readLine());  // running, and held by its full pipe
    const std::string rowsBefore = table();
    Program second(program({"--classes", kClasses, "--out", path("out"), "--overwrite", video}));
    EXPECT_EQ(second.wait(), 1);
    EXPECT_NE(second.errorText().find("another quendra-batch run is writing into this folder"),
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
    EXPECT_NE(batch.errorText().find("a.png: "), std::string::npos) << batch.errorText();
    EXPECT_NE(table().find("b.png,,tooth,Frontzahn"), std::string::npos);
}

// A full disk, made by a file-size limit: the run stops, names the table, and the table ends
// with a whole row.
TEST_F(BatchProgram, FullDiskStopsTheRunWithAWholeTable) {
    const std::string video = longVideo();
    Program batch(program({"--classes", kClasses, "--out", path("out"), "--quiet", video}), [] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(batch.wait(), 1);
    EXPECT_NE(batch.errorText().find("results.csv: the table cannot be written"), std::string::npos)
        << batch.errorText();
    const std::vector<int> frames = tableFrames();
    EXPECT_GT(frames.size(), 10u);
    EXPECT_LT(frames.size(), 1500u);
    EXPECT_EQ(record()["status"], "stopped");
    EXPECT_EQ(record()["exit_status"], 1);
}

}  // namespace
}  // namespace quendra
