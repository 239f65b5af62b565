#include "batch/BatchInputs.h"

#include <algorithm>
#include <set>

#include "io/DicomSeries.h"
#include "io/SliceStack.h"
#include "io/Utf8Text.h"
#include "io/VideoFrames.h"
#include "results/RunFileNames.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

// Every output's ending, by Output; the first four may follow a frame tag.
const char* const kSuffixes[] = {"-analyse.jpg", "-analyse.png", "-analyse.txt", "-labels.png",
                                 "-analyse.mov", "-canals.svg",  "-canals.tif"};

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Absolute and normal, without a trailing separator: a folder given as "s1/" is "s1".
fs::path absoluteNormal(const fs::path& p) {
    std::error_code ec;
    const fs::path a = fs::absolute(p, ec);
    fs::path normal = (ec ? p : a).lexically_normal();
    if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
    return normal;
}

// The deepest folder that holds every one of the folders (all absolute and normal).
fs::path commonFolder(const std::vector<fs::path>& folders) {
    if (folders.empty()) return {};
    fs::path common = folders.front();
    for (const fs::path& f : folders) {
        fs::path shared;
        auto a = common.begin(), b = f.begin();
        for (; a != common.end() && b != f.end() && *a == *b; ++a, ++b) shared /= *a;
        common = shared;
    }
    return common;
}

// The frame as the table numbers it.
std::string frameTag(int frame) {
    return frame < 0 ? std::string() : "-f" + std::to_string(frame);
}

}  // namespace

bool isBatchOutputName(const std::string& fileName) {
    return std::any_of(std::begin(kSuffixes), std::end(kSuffixes),
                       [&](const char* suffix) { return endsWith(fileName, suffix); });
}

bool isRunFileName(const std::string& fileName) {
    std::string_view name = fileName;
    if (hasStemAndEnding(RunFile::Lock, name)) return true;
    if (name.size() > 1 && name.front() == '.' && name.ends_with(".tmp")) return true;
    if (name.starts_with('.')) name.remove_prefix(1);
    for (const RunFile file : {RunFile::Table, RunFile::Stacks, RunFile::Canals, RunFile::Levels,
                               RunFile::Record, RunFile::Report, RunFile::ReportThumbnails})
        if (isShardName(file, name)) return true;
    return false;
}

fs::path outputPath(const BatchItem& item, Output output, int frame) {
    return item.outputBase.string() + frameTag(frame) + kSuffixes[static_cast<int>(output)];
}

RunOutputs::RunOutputs(const std::vector<BatchItem>& items) {
    for (const BatchItem& item : items)
        byBase.emplace(absoluteNormal(item.outputBase).string(), &item);
}

// `<base><suffix>` is an output of the item with that base; `<base>-f<frame><suffix>` one of a
// video's frames.
const BatchItem* RunOutputs::writerOf(const fs::path& file) const {
    const std::string name = absoluteNormal(file).string();
    for (const std::string suffix : kSuffixes) {
        if (!endsWith(name, suffix)) continue;
        const std::string base = name.substr(0, name.size() - suffix.size());
        if (const auto it = byBase.find(base); it != byBase.end()) return it->second;
        const std::size_t tag = base.rfind("-f");
        if (tag == std::string::npos || base.size() - tag < 3 ||
            !std::all_of(base.begin() + static_cast<std::ptrdiff_t>(tag) + 2, base.end(),
                         [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const auto it = byBase.find(base.substr(0, tag));
        if (it != byBase.end() && it->second->kind != MediaKind::Picture) return it->second;
    }
    return nullptr;
}

std::vector<BatchItem> shardOf(const std::vector<BatchItem>& items, int shard, int shards) {
    const auto bound = [&](int part) {
        return static_cast<std::ptrdiff_t>(items.size() * static_cast<std::size_t>(part) /
                                           static_cast<std::size_t>(shards));
    };
    return {items.begin() + bound(shard - 1), items.begin() + bound(shard)};
}

FrameGrid frameGridOf(MediaKind kind, int frames, int every) {
    if (kind == MediaKind::Stack) return {1, 1, frames + 1};
    return {0, every, frames};
}

FrameGrid frameGridOf(const BatchItem& item, int every) {
    if (item.kind == MediaKind::Stack) {
        const SliceStack stack(item.path);
        return frameGridOf(item.kind, stack.sliceCount(), every);
    }
    const VideoFrames video(item.path, VideoFrames::Access::Sequential);
    return frameGridOf(item.kind, video.isValid() ? video.frameCount() : 0, every);
}

const char* frameWord(const BatchItem& item) {
    return item.kind == MediaKind::Stack ? "slice" : "frame";
}

namespace {

// Gathers the inputs given, one after the other, into the run's items (collectInputs).
class InputCollector {
public:
    explicit InputCollector(bool folderStacks) : stackFolders(folderStacks) {}
    void addInput(const std::string& input);
    // The items, problems and notes, with a note of the outputs left out of the folders.
    BatchInputs take();

private:
    MediaKind dicomKind(const fs::path& p);
    MediaKind tiffKind(const fs::path& p);
    void add(const fs::path& p, bool named, MediaKind kind);
    bool isNew(const fs::path& p, bool named);
    void addFolder(const std::string& folder);

    const bool stackFolders;
    BatchInputs result;
    std::set<fs::path> seen;
    std::map<std::string, std::string> byTableName;  // the table's name of each item, its path
    std::size_t ownOutputs = 0;
};

// A DICOM series or file: a stack when it holds more than one slice, its notes named; no item
// (Other) when it holds no image.
MediaKind InputCollector::dicomKind(const fs::path& p) {
    const DicomSeries series(p.string());
    for (const std::string& note : series.notes()) result.notes.push_back(p.string() + ": " + note);
    if (series.status() != PictureStatus::Ok)
        result.problems.push_back(p.string() + ": " + series.problem());
    return series.status() != PictureStatus::Ok ? MediaKind::Other
           : series.sliceCount() > 1            ? MediaKind::Stack
                                                : MediaKind::Picture;
}

// A TIFF by its content: a stack saved under another extension is still a stack.
MediaKind InputCollector::tiffKind(const fs::path& p) {
    const int pages = TiffPages(p.string()).pageCount();
    if (pages <= 1) return MediaKind::Picture;
    if (!isTiffName(p.string()))
        result.notes.push_back(p.string() + ": a TIFF of " + std::to_string(pages) +
                               " pages, though its name ends in " + p.extension().string() +
                               "; read as the stack it is");
    return MediaKind::Stack;
}

// `named` when the input was given by name, not found in a folder given.
void InputCollector::add(const fs::path& p, bool named, MediaKind kind) {
    if (kind == MediaKind::Other && isDicomFile(p.string())) {
        kind = dicomKind(p);
        if (kind == MediaKind::Other) return;
    }
    if (kind == MediaKind::Other) {
        if (named)
            result.problems.push_back(p.string() + ": neither a picture nor a video");
        else
            result.notes.push_back(p.string() + ": neither a picture nor a video, left out");
        return;
    }
    if (kind != MediaKind::Stack) {
        // A FIFO would make the run wait forever; a link loop or a dangling link in a folder is
        // named with the system's own reason, as one given by name is.
        std::error_code ec;
        if (!fs::is_regular_file(fs::status(p, ec))) {
            result.problems.push_back(p.string() + ": " +
                                      (ec ? ec.message() : std::string("not a regular file")));
            return;
        }
    }
    if (kind == MediaKind::Picture && holdsTiff(p.string())) kind = tiffKind(p);
    if (isNew(p, named)) result.items.push_back({p.string(), kind, {}, {}, {}, {}});
}

// Whether the input is neither one added before nor named in the table as one added before.
bool InputCollector::isNew(const fs::path& p, bool named) {
    if (!seen.insert(absoluteNormal(p)).second) {
        if (named) result.notes.push_back(p.string() + ": given more than once, analysed once");
        return false;
    }
    const auto [other, unique] = byTableName.emplace(utf8Text(p.string()), p.string());
    if (!unique)
        result.problems.push_back(p.string() + ": its name in the table would be that of " +
                                  other->second + "; rename one of them");
    return unique;
}

// The folder's files by name, but the outputs and files of the program's runs; its folders
// are named, not searched.
void InputCollector::addFolder(const std::string& folder) {
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        // An entry the system will not look at (a link loop) is named when it is added; its
        // error is no error of the folder.
        std::error_code entryError;
        if (entry.is_directory(entryError))
            result.notes.push_back(entry.path().string() +
                                   ": a folder within a folder given, not searched");
        else if (isBatchOutputName(name) || isRunFileName(name))
            ++ownOutputs;
        else
            files.push_back(entry.path());
    }
    if (ec) result.problems.push_back(folder + ": " + ec.message());
    std::sort(files.begin(), files.end());
    const std::size_t before = result.items.size();
    for (const fs::path& f : files) add(f, false, mediaKindOf(f.string()));
    if (result.items.size() == before)
        result.problems.push_back(folder + ": the folder holds no pictures or videos");
}

void InputCollector::addInput(const std::string& input) {
    std::error_code ec;
    const fs::file_status status = fs::status(input, ec);
    if (fs::is_directory(status) && holdsDicom(input)) {
        if (const MediaKind kind = dicomKind(input); kind != MediaKind::Other)
            add(input, true, MediaKind::Stack);
    } else if (fs::is_directory(status) && stackFolders) {
        if (slicesOfFolder(input).empty())
            result.problems.push_back(input + ": the folder holds no pictures to stack");
        else
            add(input, true, MediaKind::Stack);
    } else if (fs::is_directory(status)) {
        addFolder(input);
    } else if (fs::exists(status)) {
        add(input, true, mediaKindOf(input));
    } else {
        // The system's own reason: a link loop or a name too long is no missing file.
        const bool missing = status.type() == fs::file_type::not_found || !ec;
        result.problems.push_back(input + ": " +
                                  (missing ? std::string("no such file or folder") : ec.message()));
    }
}

BatchInputs InputCollector::take() {
    if (ownOutputs > 0)
        result.notes.push_back(std::to_string(ownOutputs) +
                               " files in the input folders are outputs of quendra-batch "
                               "(*-analyse.*, *-labels.png) or files of its runs (results*.csv, "
                               "run*.json, lock and temporary files) and were left out");
    return std::move(result);
}

// Every item's outputs under `out`, at its folder relative to the folder all items share.
void assignOutputBases(std::vector<BatchItem>& items, const fs::path& out) {
    std::vector<fs::path> folders;
    for (const BatchItem& item : items) folders.push_back(absoluteNormal(item.path).parent_path());
    const fs::path common = commonFolder(folders);
    for (std::size_t i = 0; i < items.size(); ++i) {
        BatchItem& item = items[i];
        const fs::path relative = folders[i].lexically_relative(common);
        item.outputBase =
            (out / relative / absoluteNormal(item.path).filename()).lexically_normal();
    }
}

}  // namespace

BatchInputs collectInputs(const std::vector<std::string>& inputs, const fs::path& out,
                          bool stackFolders) {
    InputCollector collector(stackFolders);
    for (const std::string& input : inputs) collector.addInput(input);
    BatchInputs result = collector.take();
    assignOutputBases(result.items, out);
    return result;
}

}  // namespace quendra
