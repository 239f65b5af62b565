#include "batch/BatchRun.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "analysis/ToothAnalysis.h"
#include "analysis/VideoFrames.h"
#include "colour/ColorClasses.h"
#include "report/PictureFile.h"
#include "report/RecognitionData.h"
#include "report/ResultOverlay.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

const char* const kPictureExtensions[] = {".jpg", ".jpeg", ".bmp", ".png"};
const char* const kVideoExtensions[] = {".avi", ".mov", ".mpg", ".mpeg", ".wmv", ".mp4"};

std::string lowerExtension(const fs::path& p) {
    std::string e = p.extension().string();
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return std::tolower(c); });
    return e;
}

template <std::size_t N>
bool oneOf(const std::string& e, const char* const (&list)[N]) {
    return std::find(std::begin(list), std::end(list), e) != std::end(list);
}

// The shortest text that reads back as the same value, with a decimal point in any locale.
template <typename Real>
std::string number(Real v) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    return {buffer, end};
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (const unsigned char c : s) {
        if (c == '"' || c == '\\') out += {'\\', static_cast<char>(c)};
        else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else out += static_cast<char>(c);
    }
    return out + "\"";
}

struct ItemResult {
    std::string rows;
    std::vector<std::string> problems;
};

class Analyser {
public:
    // The classes file was checked before the workers started.
    explicit Analyser(const BatchOptions& o) : options(o) {
        classes.load(o.classes);
        classes.setLutThreshold(o.classThreshold);
        analysis.setThreshold(o.threshold);
        analysis.setBorder(o.border);
        analysis.setEllipseRadius(o.filter);
    }

    ItemResult run(const BatchInput& input) {
        ItemResult result;
        if (!input.video) {
            cv::Mat picture;
            try {
                picture = cv::imread(input.path, cv::IMREAD_COLOR);
            } catch (const cv::Exception&) {
            }
            if (picture.empty()) result.problems.push_back(input.path + ": cannot read the picture");
            else analyse(input, picture, -1, result);
            return result;
        }
        VideoFrames frames(input.path);
        if (!frames.isValid()) {
            result.problems.push_back(input.path + ": cannot read the video");
            return result;
        }
        for (int f = 0; f < frames.frameCount(); f += options.every) {
            const cv::Mat& frame = frames.frameAt(f);
            if (frame.empty()) {
                result.problems.push_back(input.path + ": frame " + std::to_string(f) +
                                          " and later cannot be read");
                break;
            }
            analyse(input, frame, f, result);
        }
        return result;
    }

private:
    void analyse(const BatchInput& input, const cv::Mat& picture, int frame, ItemResult& result) {
        analysis.calculate(picture, classes);
        std::string stem = fs::path(input.path).stem().string();
        if (frame >= 0) {
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, "-f%06d", frame);
            stem += suffix;
        }
        const fs::path base = fs::path(options.out) / (stem + "-analyse");
        cv::Mat overlay = picture.clone();
        drawResultOverlay(overlay, analysis);
        if (!savePicture(base.string() + ".png", overlay))
            result.problems.push_back(base.string() + ".png: cannot be written");
        if (!saveRecognitionData(base.string() + ".txt", analysis))
            result.problems.push_back(base.string() + ".txt: cannot be written");
        appendRows(input.path, frame, result.rows);
    }

    void appendRow(std::string& rows, const std::string& file, int frame, const std::string& object,
                   const std::string& type, float area, int x, int y, float angle, float major, float minor) {
        rows += csvField(file) + "," + (frame >= 0 ? std::to_string(frame) : "") + "," + object + "," +
                csvField(type) + "," + number(area) + "," + std::to_string(x) + "," + std::to_string(y) +
                "," + number(angle) + "," + number(major) + "," + number(minor);
        if (options.pxPerMm) {
            const double s = *options.pxPerMm;
            rows += "," + number(area / (s * s)) + "," + number(x / s) + "," + number(y / s) + "," +
                    number(major / s) + "," + number(minor / s);
        }
        rows += "\r\n";
    }

    void appendRows(const std::string& file, int frame, std::string& rows) {
        if (!analysis.hasResults()) {
            rows += csvField(file) + "," + (frame >= 0 ? std::to_string(frame) : "") + ",none,,,,,,,";
            if (options.pxPerMm) rows += ",,,,,";
            rows += "\r\n";
            return;
        }
        const ToothResult t = analysis.getToothResult();
        appendRow(rows, file, frame, "tooth", toothTypeText(t.toothType), t.area, t.centerX, t.centerY,
                  t.angle, t.majorAxis, t.minorAxis);
        int n = 1;
        for (const CanalResult& c : analysis.getCanals())
            appendRow(rows, file, frame, "canal " + std::to_string(n++), "", c.area, c.centerX,
                      c.centerY, c.angle, c.majorAxis, c.minorAxis);
    }

    const BatchOptions& options;
    ColorClasses classes;
    ToothAnalysis analysis;
};

void writeRunRecord(const BatchOptions& o, const std::vector<BatchInput>& inputs, const fs::path& file) {
    std::error_code ec;
    const auto size = fs::file_size(o.classes, ec);
    std::ostringstream json;
    json << "{\n  \"program\": \"quendra-batch\",\n  \"version\": \"" << QUENDRA_VERSION << "\",\n"
         << "  \"classes\": " << jsonString(o.classes) << ",\n  \"classes_bytes\": " << (ec ? 0 : size)
         << ",\n  \"settings\": {\"threshold\": " << o.threshold << ", \"border\": " << o.border
         << ", \"filter\": " << o.filter << ", \"class_threshold\": " << o.classThreshold
         << ", \"every\": " << o.every << ", \"px_per_mm\": "
         << (o.pxPerMm ? number(*o.pxPerMm) : std::string("null")) << "},\n  \"inputs\": [";
    for (std::size_t i = 0; i < inputs.size(); ++i)
        json << (i ? ",\n    " : "\n    ") << jsonString(inputs[i].path);
    json << "\n  ]\n}\n";
    std::ofstream(file, std::ios::binary) << json.str();
}

}  // namespace

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::vector<BatchInput> collectInputs(const std::vector<std::string>& inputs,
                                      std::vector<std::string>& problems) {
    std::vector<BatchInput> items;
    const auto add = [&](const fs::path& p, bool named) {
        const std::string e = lowerExtension(p);
        if (oneOf(e, kPictureExtensions)) items.push_back({p.string(), false});
        else if (oneOf(e, kVideoExtensions)) items.push_back({p.string(), true});
        else if (named) problems.push_back(p.string() + ": neither a picture nor a video");
    };
    for (const std::string& input : inputs) {
        std::error_code ec;
        if (fs::is_directory(input, ec)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(input, ec))
                if (entry.is_regular_file(ec)) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            const std::size_t before = items.size();
            for (const fs::path& f : files) add(f, false);
            if (items.size() == before) problems.push_back(input + ": the folder holds no pictures or videos");
        } else if (fs::exists(input, ec)) {
            add(input, true);
        } else {
            problems.push_back(input + ": no such file or folder");
        }
    }
    return items;
}

int runBatch(const BatchOptions& options, std::ostream& log) {
    std::vector<std::string> problems;
    const std::vector<BatchInput> items = collectInputs(options.inputs, problems);
    for (const std::string& p : problems) log << "quendra-batch: " << p << "\n";

    std::error_code ec;
    fs::create_directories(options.out, ec);
    if (!fs::is_directory(options.out, ec)) {
        log << "quendra-batch: " << options.out << ": the output folder cannot be made\n";
        return 1;
    }
    const fs::path csvPath = options.csv.empty() ? fs::path(options.out) / "results.csv" : fs::path(options.csv);
    std::ofstream csv(csvPath, std::ios::binary | std::ios::trunc);
    if (!csv) {
        log << "quendra-batch: " << csvPath.string() << ": the table cannot be written\n";
        return 1;
    }
    csv << "file,frame,object,type,area_px,x_px,y_px,angle_deg,major_semi_px,minor_semi_px";
    if (options.pxPerMm) csv << ",area_mm2,x_mm,y_mm,major_semi_mm,minor_semi_mm";
    csv << "\r\n" << std::flush;
    writeRunRecord(options, items, fs::path(options.out) / "run.json");

    ClassFileStatus status = ClassFileStatus::Ok;
    {
        std::vector<PackedSample> probe;
        status = readColorClassFile(options.classes, probe);
    }
    if (status != ClassFileStatus::Ok) {
        log << "quendra-batch: " << options.classes << ": " << describeClassFileStatus(status, options.classes) << "\n";
        return 1;
    }

    const int jobs = std::max(1, std::min<int>(options.jobs > 0 ? options.jobs
                                                                : static_cast<int>(std::thread::hardware_concurrency()),
                                               static_cast<int>(items.size())));
    std::vector<ItemResult> results(items.size());
    std::vector<char> done(items.size(), 0);
    std::size_t written = 0;
    std::mutex mutex;
    std::atomic<std::size_t> next{0};
    bool failed = !problems.empty();

    const auto worker = [&] {
        Analyser analyser(options);
        for (std::size_t i; (i = next++) < items.size();) {
            ItemResult r = analyser.run(items[i]);
            std::lock_guard lock(mutex);
            results[i] = std::move(r);
            done[i] = 1;
            // Rows go out in input order, each as soon as every earlier item is done.
            while (written < items.size() && done[written]) {
                ItemResult& w = results[written];
                csv << w.rows << std::flush;
                for (const std::string& p : w.problems) log << "quendra-batch: " << p << "\n";
                failed = failed || !w.problems.empty() || !csv;
                ++written;
                if (!options.quiet)
                    log << "[" << written << "/" << items.size() << "] " << items[written - 1].path << "\n";
                w = {};
            }
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < jobs; ++j) threads.emplace_back(worker);
    worker();
    for (std::thread& t : threads) t.join();
    return failed ? 1 : 0;
}

}  // namespace quendra
