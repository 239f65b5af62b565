#include "batch/BatchOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <sstream>
#include <utility>

#include "analysis/CanalLevels.h"

namespace quendra {

namespace {

const char* const kDescription =
    "Analyses tooth pictures and videos without a display: for every picture or video frame it "
    "finds the tooth and its root canals with the given colour classes, as the window does.";

const char* const kFooter =
    "Outputs, in --out, under each input's folder relative to the folder all inputs share,\n"
    "named after the input's whole file name (<name>):\n"
    "  <name>-analyse.jpg      a picture with the overlay the window draws (PNG with\n"
    "                          --overlays png, which also draws every analysed video frame)\n"
    "  <name>-analyse.mov      a video's analysed frames with the overlay (Motion JPEG)\n"
    "  <name>-analyse.txt      a picture's recognition data (with --texts also for every\n"
    "                          analysed video frame, <name>-f<frame>-analyse.txt)\n"
    "  <name>-labels.png       with --masks: 16-bit labels, 0 background, 1 tooth, 2... the\n"
    "                          canals in the table's order\n"
    "  <name>-canals.svg       a stack's canal count of every root along its slices\n"
    "  <name>-canals.tif       with --masks: a stack's canals as a 16-bit label volume, each\n"
    "                          canal by its number in canals.csv, with the voxel size\n"
    "One row per tooth and canal goes to the table (--csv, default results.csv in --out) as\n"
    "each frame is done (a stack's slices numbered from 1 in the frame column), a row per\n"
    "root of every stack with its canal configuration to stacks.csv in --out, a row per canal\n"
    "to canals.csv, with --levels-mm each root's canals at those levels to levels.csv, the\n"
    "settings and the outcome to run.json, and a page that shows the run at a glance to\n"
    "report.html.\n"
    "\n"
    "INPUT: pictures (jpg, jpeg, bmp, png, tif, tiff), videos (avi, mov, mpg, mpeg, wmv, mp4),\n"
    "stacks of slices (a TIFF of several pages; with --stack a folder of pictures in natural\n"
    "name order) and folders (their pictures, videos and multi-page TIFFs, by name; every\n"
    "other file there is named). A name starting with - follows -- or is written ./-name.\n"
    "\n"
    "Exit status: 0 every input analysed and every output written; 1 something was not done\n"
    "(each named on standard error); 2 bad command line; 130, 143 or 129 stopped by SIGINT,\n"
    "SIGTERM or SIGHUP, with every finished frame kept in the table.";

// A finite number in [lo, hi]; CLI11's own range check lets NaN through.
CLI::Validator finiteRange(double lo, double hi) {
    std::ostringstream description;
    description << "FINITE in [" << lo << " - " << hi << "]";
    return CLI::Validator(
        [lo, hi](std::string& text) -> std::string {
            double value = 0;
            if (CLI::detail::lexical_cast(text, value) && std::isfinite(value) && value >= lo &&
                value <= hi)
                return {};
            std::ostringstream message;
            message << "Value " << text << " not a finite number in [" << lo << " - " << hi << "]";
            return message.str();
        },
        description.str());
}

// K/N with 1 <= K <= N <= kMaxShards.
bool parseShard(const std::string& text, int& shard, int& shards) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    return CLI::detail::lexical_cast(text.substr(0, slash), shard) &&
           CLI::detail::lexical_cast(text.substr(slash + 1), shards) && shards >= 1 && shard >= 1 &&
           shard <= shards && shards <= kMaxShards;
}

// The first argument before "--" that looks like an option but is none (a file named "-x.png"
// given without "--"), or nothing. Values of options that take one are passed over.
std::string unknownOption(CLI::App& app, const std::vector<std::string>& args) {
    bool value = false;
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (std::exchange(value, false) || arg.size() < 2 || arg[0] != '-') continue;
        const std::string name = arg.substr(0, arg.find('='));
        const CLI::Option* option = app.get_option_no_throw(name);
        if (!option) return arg;
        value = name.size() == arg.size() && option->get_type_size() != 0;
    }
    return {};
}

// A whole number in [lo, hi] or "auto".
CLI::Validator numberOrAuto(int lo, int hi) {
    return CLI::Validator(
        [lo, hi](std::string& text) -> std::string {
            int value = 0;
            if (text == "auto" ||
                (CLI::detail::lexical_cast(text, value) && value >= lo && value <= hi))
                return {};
            return "Value " + text + " is neither auto nor a whole number in [" +
                   std::to_string(lo) + " - " + std::to_string(hi) + "]";
        },
        "");
}

// "auto", or what `number` takes.
CLI::Validator orAuto(CLI::Validator number) {
    return CLI::Validator(
        [number](std::string& text) -> std::string {
            return text == "auto" ? std::string() : number(text);
        },
        "");
}

}  // namespace

std::string shapeLimitsText(const ShapeLimits& limits) {
    std::ostringstream text;
    text << limits.round << "," << limits.oval << "," << limits.longOval;
    return text.str();
}

bool parseShapeLimits(const std::string& text, ShapeLimits& limits) {
    std::istringstream in(text);
    ShapeLimits read;
    char comma1 = 0, comma2 = 0;
    if (!(in >> read.round >> comma1 >> read.oval >> comma2 >> read.longOval) || comma1 != ',' ||
        comma2 != ',' || !in.eof())
        return false;
    if (!(read.round >= 1 && read.round <= read.oval && read.oval <= read.longOval &&
          std::isfinite(read.longOval)))
        return false;
    limits = read;
    return true;
}

std::string windowText(const GreyWindow& window) {
    std::ostringstream text;
    text << window.low << "," << window.high;
    return text.str();
}

bool parseWindow(const std::string& text, GreyWindow& window) {
    std::istringstream in(text);
    GreyWindow read;
    char comma = 0;
    if (!(in >> read.low >> comma >> read.high) || comma != ',' || !in.eof()) return false;
    if (!(read.low >= 0 && read.low < read.high && read.high <= 65535)) return false;
    window = read;
    return true;
}

bool sensibleScale(double pxPerMm) {
    return std::isfinite(pxPerMm) && pxPerMm >= kMinPxPerMm && pxPerMm <= kMaxPxPerMm;
}

ParsedCommandLine parseBatchOptions(const std::vector<std::string>& args) {
    BatchOptions o;
    CLI::App app{kDescription, "quendra-batch"};
    app.footer(kFooter);
    app.set_version_flag("--version", "quendra-batch " QUENDRA_VERSION);
    app.get_formatter()->column_width(26);
    app.add_option("--classes", o.classes, "colour-class file (*.dat) saved by the window")
        ->required()
        ->type_name("FILE");
    AnalysisSettings& a = o.analysis;
    std::string threshold = std::to_string(a.threshold);
    app.add_option("--threshold", threshold,
                   "colour distance of the canal search, or auto: per tooth, the distance that "
                   "best separates canal and tooth colours")
        ->check(numberOrAuto(0, 255))
        ->type_name("N|auto")
        ->capture_default_str();
    std::string border = "auto";
    app.add_option("--border", border,
                   "ignored outer border in pixels, or auto: none for stacks, else 20 but at most "
                   "a twentieth of the shorter side")
        ->check(numberOrAuto(0, 100000))
        ->type_name("N|auto")
        ->capture_default_str();
    app.add_option("--filter", a.filter, "acceptance ellipse scale in tenths")
        ->check(CLI::Range(0, 10))
        ->capture_default_str();
    std::string classThreshold = std::to_string(a.classThreshold);
    app.add_option("--class-threshold", classThreshold,
                   "class threshold of the colour classes, or auto: from the spacing of the "
                   "trained colours (grey pictures)")
        ->check(numberOrAuto(1, 10))
        ->type_name("N|auto")
        ->capture_default_str();
    app.add_option("--min-canal-area", a.minCanalArea, "canals must have more pixels")
        ->check(finiteRange(0.0, 1e12))
        ->type_name("PX")
        ->capture_default_str();
    app.add_option("--min-canal-mm2", o.minCanalMm2,
                   "canals must be larger, in mm², for the inputs with a scale")
        ->check(finiteRange(0.0, 1e12))
        ->type_name("MM2");
    const std::vector<std::string> teethNames(std::begin(kTeethNames), std::end(kTeethNames));
    std::string teeth = kTeethNames[static_cast<int>(a.teeth)];
    app.add_option("--teeth", teeth,
                   "largest: the largest tooth region is the tooth; all: every tooth region of "
                   "--min-tooth-area pixels is a tooth (the roots of a section)")
        ->transform(CLI::IsMember(teethNames, CLI::ignore_case).description(""))
        ->type_name("largest|all")
        ->capture_default_str();
    std::string minToothArea = "auto";
    app.add_option("--min-tooth-area", minToothArea,
                   "with --teeth all, smaller tooth regions are no teeth; auto: 1000, and for "
                   "stacks the roots' own sizes")
        ->check(orAuto(finiteRange(0.0, 1e12)))
        ->type_name("PX|auto")
        ->capture_default_str();
    std::string shapeLimits = shapeLimitsText(a.shapeLimits);
    app.add_option("--shape-limits", shapeLimits,
                   "caliper ratios up to which a canal is round, oval, long oval (above: flat)")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                ShapeLimits limits;
                return parseShapeLimits(text, limits)
                           ? ""
                           : "Value " + text + " is not R,O,L with 1 <= R <= O <= L";
            },
            "R,O,L"))
        ->type_name("R,O,L")
        ->capture_default_str();
    app.add_option("--every", o.every, "analyse every N-th video frame")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    app.add_option("--jobs", o.jobs,
                   "frames analysed at once (default and most: one per core it may use)")
        ->check(CLI::Range(1, 256));
    app.add_option("--px-per-mm", o.pxPerMm, "millimetre columns with X pixels per millimetre")
        ->check(finiteRange(kMinPxPerMm, kMaxPxPerMm))
        ->type_name("X");
    app.add_option("--scale", o.scale,
                   "millimetre columns with a scale per input: CSV rows file,px_per_mm (the "
                   "input as the table names it, or its file name); --px-per-mm for the others")
        ->type_name("FILE.csv");
    app.add_option("--out", o.out, "output folder, made when missing")
        ->capture_default_str()
        ->type_name("DIR");
    app.add_option("--csv", o.csv, "the table's file (default: results.csv in --out)")
        ->type_name("FILE");
    const std::vector<std::string> overlaysNames(std::begin(kOverlaysNames),
                                                 std::end(kOverlaysNames));
    std::string overlays = kOverlaysNames[static_cast<int>(o.overlays)];
    app.add_option("--overlays", overlays,
                   "video: a JPEG per picture, a movie per video; png: a PNG per picture and "
                   "analysed frame; none")
        ->transform(CLI::IsMember(overlaysNames, CLI::ignore_case).description(""))
        ->type_name("video|png|none")
        ->capture_default_str();
    app.add_flag("--texts", o.texts, "recognition data also for every analysed video frame");
    app.add_flag("--masks", o.masks, "a 16-bit label picture per picture and analysed frame");
    auto* overwrite =
        app.add_flag("--overwrite", o.overwrite, "replace the table of an earlier run");
    app.add_flag("--resume", o.resume,
                 "continue an interrupted run into the same table: what it holds is kept, the "
                 "rest added")
        ->excludes(overwrite);
    std::string shard;
    app.add_option("--shard", shard,
                   "analyse the K-th of N contiguous parts of the inputs (K from 1), for job "
                   "arrays; the tables of all parts, in order, make the table of one run")
        ->type_name("K/N")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                int k = 0, n = 0;
                return parseShard(text, k, n)
                           ? ""
                           : "Value " + text +
                                 " is not K/N with 1 <= K <= N <= " + std::to_string(kMaxShards);
            },
            "K/N"));
    app.add_flag("--quiet", o.quiet, "no progress on standard error");
    std::string report = "html";
    app.add_option("--report", report,
                   "html: report.html in --out (report-K-of-N.html for a shard) with thumbnails "
                   "beside it; none")
        ->transform(CLI::IsMember({"html", "none"}, CLI::ignore_case).description(""))
        ->type_name("html|none")
        ->capture_default_str();
    app.add_flag("--stack", o.stackFolders,
                 "every folder given is one stack of slices: its pictures in natural name "
                 "order (s2 before s10), the first slice at the crown");
    std::string window;
    app.add_option("--window", window,
                   "16-bit slices map LOW and below to black, HIGH and above to white (default: "
                   "per stack, the 0.5th and 99.5th percentile of a sample of its slices)")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                GreyWindow w;
                return parseWindow(text, w)
                           ? ""
                           : "Value " + text + " is not LOW,HIGH with 0 <= LOW < HIGH <= 65535";
            },
            ""))
        ->type_name("LOW,HIGH");
    app.add_option("--min-run", o.minRun,
                   "slices a canal must run to count: shorter specks, spurs, divisions and "
                   "junctions are noise")
        ->check(CLI::Range(1, 100000))
        ->capture_default_str();
    app.add_option("--slice-mm", o.sliceMm, "the slices' spacing in mm: each root's length")
        ->check(finiteRange(kMinSliceMm, kMaxSliceMm))
        ->type_name("MM");
    app.add_flag("--apex-first", o.apexFirst, "the stacks run from the apex to the crown");
    std::string levels;
    app.add_option("--levels-mm", levels,
                   "levels.csv: each root's canals at these distances from its apex in mm "
                   "(1,2,3,4,5), from the slice distance and the scale")
        ->check(CLI::Validator(
            [](std::string& text) {
                const std::string error = parseLevels(text).error;
                return error.empty() ? error : "Value " + text + ": " + error;
            },
            ""))
        ->type_name("MM,...");
    app.add_option("INPUT", o.inputs, "pictures, videos, stacks and folders")->required();

    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them backwards
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return {std::nullopt, 0, app.help()};
    } catch (const CLI::CallForVersion& e) {
        return {std::nullopt, 0, e.what()};
    } catch (const CLI::ParseError& e) {
        const std::string unknown = unknownOption(app, args);
        const std::string text =
            unknown.empty() ? std::string(e.what())
                            : unknown +
                                  " is no option; a file whose name starts with - is named "
                                  "after -- (quendra-batch ... -- " +
                                  unknown + ") or as ./" + unknown;
        return {std::nullopt, 2, text + "\nRun with --help for more information."};
    }
    o.overlays = static_cast<Overlays>(
        std::find(overlaysNames.begin(), overlaysNames.end(), overlays) - overlaysNames.begin());
    if (!shard.empty()) parseShard(shard, o.shard, o.shards);
    o.report = report == "html";
    o.commandLine = args;
    o.analysis.autoThreshold = threshold == "auto";
    if (!o.analysis.autoThreshold) o.analysis.threshold = std::stoi(threshold);
    o.autoBorder = border == "auto";
    if (!o.autoBorder) o.analysis.border = std::stoi(border);
    o.autoMinToothArea = minToothArea == "auto";
    if (!o.autoMinToothArea) o.analysis.minToothArea = std::stod(minToothArea);
    o.analysis.autoClassThreshold = classThreshold == "auto";
    if (!o.analysis.autoClassThreshold) o.analysis.classThreshold = std::stoi(classThreshold);
    o.analysis.teeth = static_cast<TeethChoice>(
        std::find(teethNames.begin(), teethNames.end(), teeth) - teethNames.begin());
    parseShapeLimits(shapeLimits, o.analysis.shapeLimits);
    if (!window.empty()) parseWindow(window, o.window.emplace());
    if (!levels.empty()) o.levelsMm = parseLevels(levels).mm;
    return {o, 0, {}};
}

}  // namespace quendra
