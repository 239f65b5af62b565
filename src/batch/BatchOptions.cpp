#include "batch/BatchOptions.h"

#include <charconv>

namespace quendra {

const char* const kBatchUsage =
    "usage: quendra-batch --classes FILE.dat [--threshold 70] [--border 20] [--filter 8]\n"
    "                     [--class-threshold 5] [--every N] [--jobs N] [--px-per-mm X]\n"
    "                     [--out DIR] [--csv FILE] [--quiet] INPUT...\n";

const char* const kBatchHelp =
    "Analyses tooth pictures and videos without a display: for every picture or video frame\n"
    "it finds the tooth and its root canals with the given colour classes and writes\n"
    "  <name>-analyse.png   the picture with the overlay the window draws,\n"
    "  <name>-analyse.txt   the recognition data the window saves,\n"
    "(<name>-f<frame>-analyse.* for video frames) into --out, one row per tooth and canal into\n"
    "the table (--csv, default results.csv in --out) and the settings into run.json.\n"
    "\n"
    "  --classes FILE     colour-class file (*.dat) saved by the window; required\n"
    "  --threshold N      colour distance of the canal search, 0..255 (default 70)\n"
    "  --border N         ignored outer border in pixels (default 20)\n"
    "  --filter N         acceptance ellipse scale in tenths, 0..10 (default 8)\n"
    "  --class-threshold N  class threshold of the colour classification, 1..10 (default 5)\n"
    "  --every N          analyse every N-th video frame (default 1)\n"
    "  --jobs N           inputs analysed at once (default: number of cores)\n"
    "  --px-per-mm X      add millimetre columns with X pixels per millimetre\n"
    "  --out DIR          output folder (default: the current folder)\n"
    "  --csv FILE         the table's file\n"
    "  --quiet            no progress on standard error\n"
    "  --help             this text\n"
    "\n"
    "INPUT: pictures (jpg, bmp, png), videos (avi, mov, mpg, wmv, mp4) and folders (their\n"
    "pictures and videos, by name). Exit status: 0 all inputs analysed, 1 some input could not\n"
    "be read (each named on standard error), 2 bad command line.\n";

namespace {

bool toInt(const std::string& s, int& value) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

bool toDouble(const std::string& s, double& value) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

}  // namespace

std::optional<BatchOptions> parseBatchOptions(const std::vector<std::string>& args, std::string& error) {
    BatchOptions o;
    struct IntOption { const char* name; int* value; int min; int max; };
    const IntOption ints[] = {{"--threshold", &o.threshold, 0, 255},
                              {"--border", &o.border, 0, 100000},
                              {"--filter", &o.filter, 0, 10},
                              {"--class-threshold", &o.classThreshold, 1, 10},
                              {"--every", &o.every, 1, 1000000},
                              {"--jobs", &o.jobs, 1, 256}};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> const std::string* {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return nullptr;
            }
            return &args[++i];
        };
        if (a == "--help") { o.help = true; continue; }
        if (a == "--quiet") { o.quiet = true; continue; }
        if (a == "--classes" || a == "--out" || a == "--csv") {
            const std::string* v = value();
            if (!v) return std::nullopt;
            (a == "--classes" ? o.classes : a == "--out" ? o.out : o.csv) = *v;
            continue;
        }
        if (a == "--px-per-mm") {
            const std::string* v = value();
            double x = 0;
            if (!v) return std::nullopt;
            if (!toDouble(*v, x) || !(x > 0)) {
                error = "--px-per-mm needs a positive number, not \"" + *v + "\"";
                return std::nullopt;
            }
            o.pxPerMm = x;
            continue;
        }
        bool matched = false;
        for (const IntOption& opt : ints) {
            if (a != opt.name) continue;
            const std::string* v = value();
            if (!v) return std::nullopt;
            if (!toInt(*v, *opt.value) || *opt.value < opt.min || *opt.value > opt.max) {
                error = std::string(opt.name) + " needs a whole number from " + std::to_string(opt.min) +
                        " to " + std::to_string(opt.max) + ", not \"" + *v + "\"";
                return std::nullopt;
            }
            matched = true;
        }
        if (matched) continue;
        if (a.size() > 1 && a[0] == '-' && a != "-") {
            error = "unknown option " + a;
            return std::nullopt;
        }
        o.inputs.push_back(a);
    }
    if (o.help) return o;
    if (o.classes.empty()) {
        error = "--classes is required";
        return std::nullopt;
    }
    if (o.inputs.empty()) {
        error = "no INPUT given";
        return std::nullopt;
    }
    return o;
}

}  // namespace quendra
