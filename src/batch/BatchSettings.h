#pragma once

// The options of quendra-batch, each declared once as the analysis' own settings are
// (analysis/SettingDeclarations.h), and bound to where BatchOptions holds them. The command
// line, --help, the run record's settings, the resume check that compares them and the
// report's list of them all go through boundOptions(), in the order --help lists them.

#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "analysis/CanalTracking.h"
#include "analysis/SettingDeclarations.h"

namespace quendra {

struct BatchOptions;

inline constexpr SettingDeclaration kClassesOption{
    .name = "classes",
    .unit = "FILE",
    .help = "colour-class file (*.dat) saved by the window",
    .recorded = false,
    .required = true,
};

inline constexpr SettingDeclaration kMinCanalMm2Option{
    .name = "min-canal-mm2",
    .unit = "MM2",
    .help = "canals must be larger, in mm², for the inputs with a scale",
    .range = {0, 1e12},
    .label = "Kanal-Mindestgröße in mm²",
};

inline constexpr SettingDeclaration kEveryOption{
    .name = "every",
    .unit = "INT",
    .help = "analyse every N-th video frame",
    .fallback = 1,
    .range = {1, 1000000},
    .label = "jedes n-te Videobild",
};

// Not given (0): one job per core.
inline constexpr SettingDeclaration kJobsOption{
    .name = "jobs",
    .unit = "INT",
    .help = "frames analysed at once (default and most: one per core it may use)",
    .range = {1, 256},
    .recorded = false,
    .showsDefault = false,
};

inline constexpr SettingDeclaration kPxPerMmOption{
    .name = "px-per-mm",
    .unit = "X",
    .help = "millimetre columns with X pixels per millimetre",
    .range = {0.01, 100000},
    .label = "Maßstab in Bildpunkten je mm",
};

inline constexpr SettingDeclaration kScaleOption{
    .name = "scale",
    .unit = "FILE.csv",
    .help =
        "millimetre columns with a scale per input: CSV rows file,px_per_mm (the input as the "
        "table names it, or its file name); --px-per-mm for the others",
    .recorded = false,
};

inline constexpr SettingDeclaration kOutOption{
    .name = "out",
    .unit = "DIR",
    .help = "output folder, made when missing",
    .recorded = false,
};

inline constexpr SettingDeclaration kCsvOption{
    .name = "csv",
    .unit = "FILE",
    .help = "the table's file (default: results.csv in --out)",
    .recorded = false,
};

inline constexpr SettingDeclaration kOverlaysOption{
    .name = "overlays",
    .help =
        "video: a JPEG per picture, a movie per video; png: a PNG per picture and analysed "
        "frame; none",
    .label = "Überlagerungen",
};

inline constexpr SettingDeclaration kTextsOption{
    .name = "texts",
    .help = "recognition data also for every analysed video frame",
    .label = "Erkennungsdaten je Videobild",
};

inline constexpr SettingDeclaration kMasksOption{
    .name = "masks",
    .help = "a 16-bit label picture per picture and analysed frame",
    .label = "Labelbilder",
};

inline constexpr SettingDeclaration kOverwriteOption{
    .name = "overwrite",
    .help = "replace the table of an earlier run",
    .recorded = false,
};

inline constexpr SettingDeclaration kResumeOption{
    .name = "resume",
    .help =
        "continue an interrupted run into the same table: what it holds is kept, the rest "
        "added",
    .recorded = false,
};

// K of N; not given, the run is whole (1/1).
inline constexpr SettingDeclaration kShardOption{
    .name = "shard",
    .unit = "K/N",
    .help =
        "analyse the K-th of N contiguous parts of the inputs (K from 1), for job arrays; the "
        "tables of all parts, in order, make the table of one run",
    .range = {1, 1000000},
    .label = "Teil des Laufs",
    .showsDefault = false,
};

inline constexpr SettingDeclaration kQuietOption{
    .name = "quiet",
    .help = "no progress on standard error",
    .recorded = false,
};

inline constexpr SettingDeclaration kReportOption{
    .name = "report",
    .help =
        "html: report.html in --out (report-K-of-N.html for a shard) with thumbnails beside "
        "it; none",
    .recorded = false,
};
// The words of --report: a page, or none.
inline constexpr const char* kReportNames[] = {"html", "none"};

inline constexpr SettingDeclaration kStackOption{
    .name = "stack",
    .help =
        "every folder given is one stack of slices: its pictures in natural name order (s2 "
        "before s10), the first slice at the crown",
    .label = "Ordner als Stapel",
};

// The grey values of 16-bit slices.
inline constexpr SettingDeclaration kWindowOption{
    .name = "window",
    .unit = "LOW,HIGH",
    .help =
        "16-bit slices map LOW and below to black, HIGH and above to white (default: per "
        "stack, the 0.5th and 99.5th percentile of a sample of its slices)",
    .range = {0, 65535},
    .label = "Grauwertfenster der 16-Bit-Stapel",
};

inline constexpr SettingDeclaration kMinRunOption{
    .name = "min-run",
    .unit = "INT",
    .help =
        "slices a canal must run to count: shorter specks, spurs, divisions and junctions "
        "are noise",
    .fallback = TrackingSettings{}.minRun,
    .range = {1, 100000},
    .label = "Mindestlänge eines Kanals in Schichten",
};

inline constexpr SettingDeclaration kSliceMmOption{
    .name = "slice-mm",
    .unit = "MM",
    .help = "the slices' spacing in mm: each root's length",
    .range = {1e-6, 1000},
    .label = "Schichtabstand in mm",
};

inline constexpr SettingDeclaration kApexFirstOption{
    .name = "apex-first",
    .help = "the stacks run from the apex to the crown",
    .label = "Stapel beginnen am Apex",
};

inline constexpr SettingDeclaration kLevelsMmOption{
    .name = "levels-mm",
    .unit = "MM,...",
    .help =
        "levels.csv: each root's canals at these distances from its apex in mm (1,2,3,4,5), "
        "from the slice distance and the scale",
    .label = "Abstände vom Apex in mm",
    .recordedWhenGiven = true,
};

// The inputs, given after the options.
inline constexpr SettingDeclaration kInputsArgument{
    .name = "INPUT",
    .help = "pictures, videos, stacks and folders",
    .recorded = false,
    .required = true,
};

// How an option's value is written on the command line.
enum class OptionForm {
    Flag,          // no value
    Whole,         // a whole number in the declared range
    WholeOrAuto,   // that, or "auto"
    Number,        // a finite number in the declared range
    NumberOrAuto,  // that, or "auto"
    Choice,        // one of the option's words, in any case
    Text,          // what the option's own check, if any, lets through
};

// A setting's value as the run record holds it: none (not given), a flag, a whole number, a
// number or a text.
using SettingValue = std::variant<std::monostate, bool, int, double, std::string>;

// One option bound to where a BatchOptions holds its value.
struct BoundOption {
    const SettingDeclaration& declaration;
    OptionForm form = OptionForm::Text;
    std::function<SettingValue()> value{};
    // Sets the value from a text the option's check let through (not for a flag).
    std::function<void(const std::string&)> take{};
    bool* flag = nullptr;                // a flag's
    std::vector<std::string> choices{};  // a choice's words, in the order of its values
    // A text's own check: why it refuses a text (empty when it takes it), and its name in
    // --help.
    std::function<std::string(const std::string&)> refusal{};
    std::string_view checkName{};
};

// The options bound to `options`, in the order of --help.
std::vector<BoundOption> boundOptions(BatchOptions& options);

// The settings of `options` that run.json records, in that order.
std::vector<std::pair<std::string_view, SettingValue>> recordedSettings(BatchOptions options);

// The declaration of the recorded setting of this name; null for none.
const SettingDeclaration* recordedSetting(std::string_view name);

// A number as --help and the messages write it ("50", "1e+12", "0.01").
std::string numberText(double number);
// A value as the command line writes it; empty for none.
std::string valueText(const SettingValue& value);

}  // namespace quendra
