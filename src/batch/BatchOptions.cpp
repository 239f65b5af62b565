#include "batch/BatchOptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <sstream>

namespace quendra {

namespace {

const char* const kDescription =
    "Analyses tooth pictures and videos without a display: for every picture or video frame it "
    "finds the tooth and its root canals with the given colour classes, as the window does.";

const char* const kFooter =
    "Outputs, in --out, for every picture or analysed video frame:\n"
    "  <name>-analyse.png   the picture with the overlay the window draws\n"
    "  <name>-analyse.txt   the recognition data the window saves\n"
    "where <name> is the input's file name with its extension (video frames add -f<frame>),\n"
    "under the input's folder relative to the folder all inputs share. One row per tooth and\n"
    "canal goes to the table (--csv, default results.csv in --out) as each frame is done, and\n"
    "the settings and the outcome to run.json.\n"
    "\n"
    "INPUT: pictures (jpg, jpeg, bmp, png), videos (avi, mov, mpg, mpeg, wmv, mp4) and folders\n"
    "(their pictures and videos, by name). A name starting with - follows --.\n"
    "\n"
    "Exit status: 0 every input analysed and every output written; 1 something was not done\n"
    "(each named on standard error); 2 bad command line; 130 or 143 stopped by SIGINT or\n"
    "SIGTERM, with every finished frame kept in the table.";

// Finite numbers in [min, max]; CLI11's own range check lets NaN through.
CLI::Validator finiteRange(double min, double max) {
    std::ostringstream description;
    description << "FINITE in [" << min << " - " << max << "]";
    return CLI::Validator(
        [min, max](std::string& text) -> std::string {
            double value = 0;
            if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value) || value < min ||
                value > max) {
                std::ostringstream message;
                message << "Value " << text << " not a finite number in [" << min << " - " << max
                        << "]";
                return message.str();
            }
            return {};
        },
        description.str());
}

}  // namespace

ParsedCommandLine parseBatchOptions(const std::vector<std::string>& args) {
    BatchOptions o;
    CLI::App app{kDescription, "quendra-batch"};
    app.footer(kFooter);
    app.set_version_flag("--version", "quendra-batch " QUENDRA_VERSION);
    app.get_formatter()->column_width(26);
    app.add_option("--classes", o.classes, "colour-class file (*.dat) saved by the window")
        ->required()
        ->type_name("FILE");
    app.add_option("--threshold", o.threshold, "colour distance of the canal search")
        ->check(CLI::Range(0, 255))
        ->capture_default_str();
    app.add_option("--border", o.border, "ignored outer border in pixels")
        ->check(CLI::Range(0, 100000))
        ->capture_default_str();
    app.add_option("--filter", o.filter, "acceptance ellipse scale in tenths")
        ->check(CLI::Range(0, 10))
        ->capture_default_str();
    app.add_option("--class-threshold", o.classThreshold, "class threshold of the colour classes")
        ->check(CLI::Range(1, 10))
        ->capture_default_str();
    app.add_option("--every", o.every, "analyse every N-th video frame")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    app.add_option("--jobs", o.jobs, "frames analysed at once (default: one per core)")
        ->check(CLI::Range(1, 256));
    app.add_option("--px-per-mm", o.pxPerMm, "add millimetre columns with X pixels per millimetre")
        ->check(finiteRange(kMinPxPerMm, kMaxPxPerMm))
        ->type_name("X");
    app.add_option("--out", o.out, "output folder, made when missing")
        ->capture_default_str()
        ->type_name("DIR");
    app.add_option("--csv", o.csv, "the table's file (default: results.csv in --out)")
        ->type_name("FILE");
    app.add_flag("--overwrite", o.overwrite, "replace the table of an earlier run");
    app.add_flag("--quiet", o.quiet, "no progress on standard error");
    app.add_option("INPUT", o.inputs, "pictures, videos and folders")->required();

    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them backwards
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return {std::nullopt, 0, app.help()};
    } catch (const CLI::CallForVersion& e) {
        return {std::nullopt, 0, e.what()};
    } catch (const CLI::ParseError& e) {
        return {std::nullopt, 2, std::string(e.what()) + "\nRun with --help for more information."};
    }
    return {o, 0, {}};
}

}  // namespace quendra
