#include "batch/Resume.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

#include "batch/BatchTable.h"
#include "batch/CsvRecords.h"

namespace quendra {

namespace {

// The rows of one analysed picture or frame, and whether all of them are there: a tooth row
// says how many teeth the frame has and how many canal rows follow it. The columns are found
// by their names in the header (records[0]).
struct FrameRows {
    std::string file, frame;
    std::size_t end = 0;
    bool whole = false;
};

std::vector<FrameRows> frameRowsOf(const std::vector<CsvRecord>& records) {
    const std::vector<std::string>& header = records.at(0).fields;
    const auto column = [&](const char* name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) -
                                        header.begin());
    };
    const std::size_t file = column("file"), frame = column("frame"), object = column("object"),
                      canals = column("canals"), teeth = column("teeth");
    const std::size_t fields = std::max({file, frame, object, canals, teeth}) + 1;
    const auto count = [](const std::string& field) { return std::stoul("0" + field); };
    std::vector<FrameRows> frames;
    std::size_t teethLeft = 0, canalsLeft = 0;  // of the frame being read
    for (std::size_t i = 1; i < records.size(); ++i) {
        const std::vector<std::string>& f = records[i].fields;
        if (f.size() < fields) return frames;
        const bool tooth = f[object] == "tooth";
        const bool sameFrame =
            !frames.empty() && f[file] == frames.back().file && f[frame] == frames.back().frame;
        const bool continues = sameFrame && !frames.back().whole &&
                               (canalsLeft > 0 ? f[object].rfind("canal ", 0) == 0 : tooth);
        if (continues) {
            if (tooth) {
                --teethLeft;
                canalsLeft = count(f[canals]);
            } else {
                --canalsLeft;
            }
            frames.back().end = records[i].end;
            frames.back().whole = teethLeft == 0 && canalsLeft == 0;
            continue;
        }
        if (!frames.empty() && !frames.back().whole) return frames;
        teethLeft = tooth ? std::max<std::size_t>(count(f[teeth]), 1) - 1 : 0;
        canalsLeft = tooth ? count(f[canals]) : 0;
        frames.push_back({f[file], f[frame], records[i].end, teethLeft == 0 && canalsLeft == 0});
    }
    return frames;
}

}  // namespace

std::optional<ResumePoint> findResumePoint(const std::string& table, const std::string& header,
                                           const std::vector<BatchItem>& items, int every,
                                           std::string& problem) {
    ResumePoint point;
    if (table.empty()) return point;
    if (table.compare(0, header.size(), header) != 0) {
        problem = "its header is not that of these settings";
        return std::nullopt;
    }
    point.keepBytes = header.size();
    std::vector<FrameRows> frames;
    try {
        frames = frameRowsOf(readCsvRecords(table));
    } catch (const std::exception&) {  // a number column that holds no number
        problem = "it is not a table of quendra-batch";
        return std::nullopt;
    }
    if (!frames.empty() && !frames.back().whole) frames.pop_back();

    // Rows come in input order; items without rows (unreadable ones) are passed over.
    std::size_t item = 0;
    int lastFrame = -1;  // of the video `item`, the last frame in the table
    for (const FrameRows& f : frames) {
        const std::size_t before = item;
        while (item < items.size() && utf8Text(items[item].path) != f.file) ++item;
        if (item != before) lastFrame = -1;
        int frame = -1;
        if (!f.frame.empty() &&
            std::from_chars(f.frame.data(), f.frame.data() + f.frame.size(), frame).ec !=
                std::errc()) {
            problem = "it is not a table of quendra-batch";
            return std::nullopt;
        }
        const bool picture = item < items.size() && items[item].kind == MediaKind::Picture;
        if (item == items.size() || picture != (frame < 0) || (!picture && frame <= lastFrame)) {
            problem = "its rows of \"" + f.file + "\" do not belong to these inputs";
            return std::nullopt;
        }
        point.keepBytes = f.end;
        ++point.framesDone;
        if (picture)
            ++item;
        else
            lastFrame = frame;
    }
    point.item = item;
    point.itemsDone = item;
    point.frame = lastFrame >= 0 ? lastFrame + every : -1;
    return point;
}

std::vector<std::string> carriedProblems(const std::vector<std::string>& earlier,
                                         const std::vector<BatchItem>& items,
                                         std::size_t resumeItem, const std::string& tableName) {
    std::unordered_set<std::string> redone;
    for (std::size_t i = resumeItem + 1; i < items.size(); ++i)
        redone.insert(utf8Text(items[i].path));
    const std::string table = utf8Text(tableName);
    std::vector<std::string> carried;
    for (const std::string& p : earlier) {
        // A problem starts with what it is about: "<input>: ...", "<input>, frame N: ...".
        const std::string subject = p.substr(0, std::min(p.find(": "), p.find(", frame ")));
        if (subject != table && !redone.contains(subject)) carried.push_back(p);
    }
    return carried;
}

}  // namespace quendra
