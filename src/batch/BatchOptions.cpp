#include "batch/BatchOptions.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <optional>
#include <sstream>
#include <utility>

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

// A finite number in the range; CLI11's own range check lets NaN through.
CLI::Validator finiteRange(SettingRange range) {
    const std::string bounds =
        "[" + numberText(range.lowest) + " - " + numberText(range.highest) + "]";
    return CLI::Validator(
        [range, bounds](std::string& text) -> std::string {
            double value = 0;
            if (CLI::detail::lexical_cast(text, value) && std::isfinite(value) &&
                range.contains(value))
                return {};
            return "Value " + text + " not a finite number in " + bounds;
        },
        "FINITE in " + bounds);
}

// A whole number in the range, or "auto".
CLI::Validator wholeOrAuto(SettingRange range) {
    const int lo = static_cast<int>(range.lowest), hi = static_cast<int>(range.highest);
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

// The check of a value written in the option's form, in its declared range; none for a text
// without a check of its own.
std::optional<CLI::Validator> checkOf(const BoundOption& bound) {
    const SettingRange range = bound.declaration.range;
    switch (bound.form) {
        case OptionForm::Whole:
            return CLI::Range(static_cast<int>(range.lowest), static_cast<int>(range.highest));
        case OptionForm::WholeOrAuto:
            return wholeOrAuto(range);
        case OptionForm::Number:
            return finiteRange(range);
        case OptionForm::NumberOrAuto:
            return orAuto(finiteRange(range));
        case OptionForm::Choice:
            return CLI::IsMember(bound.choices, CLI::ignore_case).description("");
        default:
            if (!bound.refusal) return std::nullopt;
            return CLI::Validator(
                [refusal = bound.refusal](std::string& text) { return refusal(text); },
                std::string(bound.checkName));
    }
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

// The declared help, "%1" replaced by the default.
std::string helpOf(const SettingDeclaration& d) {
    std::string help(d.help);
    if (const std::size_t at = help.find("%1"); at != std::string::npos)
        help.replace(at, 2, numberText(d.fallback));
    return help;
}

// `bound` as its declaration has it: its form and range checked, its default shown.
void addOption(CLI::App& app, const BoundOption& bound) {
    const SettingDeclaration& d = bound.declaration;
    const std::string name = "--" + std::string(d.name);
    if (bound.form == OptionForm::Flag) {
        app.add_flag(name, *bound.flag, helpOf(d));
        return;
    }
    const auto take = [take = bound.take](const CLI::results_t& values) {
        take(values.front());
        return true;
    };
    CLI::Option* option = app.add_option(name, take, helpOf(d));
    std::string unit(d.unit);
    for (const std::string& word : bound.choices) unit += (unit.empty() ? "" : "|") + word;
    option->type_name(unit);
    // A choice's check puts the word given into the case of its own.
    if (const auto check = checkOf(bound); check && bound.form == OptionForm::Choice)
        option->transform(*check);
    else if (check)
        option->check(*check);
    if (d.showsDefault) option->default_str(valueText(bound.value()));
    if (d.required) option->required();
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
    if (!(kWindowOption.range.contains(read.low) && kWindowOption.range.contains(read.high) &&
          read.low < read.high))
        return false;
    window = read;
    return true;
}

bool sensibleScale(double pxPerMm) {
    return std::isfinite(pxPerMm) && kPxPerMmOption.range.contains(pxPerMm);
}

ParsedCommandLine parseBatchOptions(const std::vector<std::string>& args) {
    BatchOptions o;
    CLI::App app{kDescription, "quendra-batch"};
    app.footer(kFooter);
    app.set_version_flag("--version", "quendra-batch " QUENDRA_VERSION);
    app.get_formatter()->column_width(26);
    for (const BoundOption& bound : boundOptions(o)) addOption(app, bound);
    app.get_option("--resume")->excludes(app.get_option("--overwrite"));
    app.add_option(std::string(kInputsArgument.name), o.inputs, std::string(kInputsArgument.help))
        ->required();

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
    o.commandLine = args;
    return {o, 0, {}};
}

}  // namespace quendra
