#include "batch/Resume.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <unordered_set>

#include "io/CsvRecords.h"
#include "io/Utf8Text.h"
#include "results/ResultsTable.h"

namespace quendra {

namespace {

// The rows of one analysed picture or frame: a tooth row says how many teeth its frame has and
// how many canal rows follow it. The columns are found through the table's column list.
struct FrameRows {
    std::string file, frame;
    std::size_t line = 0;          // of its first row, the header being line 1
    std::size_t end = 0;           // offset just past its last row
    int canals = 0, seen = 0;      // canal rows its last tooth has, and has so far
    int teeth = 1, teethSeen = 1;  // tooth rows it has, and has so far

    bool whole() const { return seen == canals && teethSeen == teeth; }
};

bool toInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    return !text.empty() && std::from_chars(text.data(), end, value).ptr == end && value >= 0;
}

std::string inQuotes(const std::string& text) {
    return "\"" + text + "\"";
}

// The frames of the table's rows; a frame still waiting for canal rows can only be the last,
// cut off where the run was killed, and is left out.
std::optional<std::vector<FrameRows>> frameRowsOf(const std::string& table, std::string& problem) {
    using C = ResultsColumn;
    std::vector<FrameRows> frames;
    const std::vector<CsvRecord> records = readCsvRecords(table);
    if (records.empty()) return frames;
    const std::size_t columns = records[0].fields.size();
    const ColumnPlaces<C> places = resultsColumnsIn(records[0].fields);
    for (std::size_t i = 1; i < records.size(); ++i) {
        const std::vector<std::string>& f = records[i].fields;
        const auto cell = [&](C column) { return std::string(places.cell(f, column)); };
        const std::string line = "line " + std::to_string(i + 1);
        if (table.compare(records[i].end - 2, 2, "\r\n") != 0) {
            problem = line + " ends in LF, not CR LF: an editor or another program has changed it";
            return std::nullopt;
        }
        if (f.size() != columns) {
            problem = line + " has " + std::to_string(f.size()) + " fields, not " +
                      std::to_string(columns) + ": it is not a whole row";
            return std::nullopt;
        }
        if (f == records[i - 1].fields) {
            problem = line + " repeats the line before it";
            return std::nullopt;
        }
        FrameRows* last = frames.empty() ? nullptr : &frames.back();
        const bool waiting = last && last->seen < last->canals;
        const std::string file = cell(C::File), frame = cell(C::Frame);
        const ObjectCell object = readObject(cell(C::Object));
        if (object.object == RowObject::Canal) {
            if (!waiting || file != last->file || frame != last->frame ||
                object.canal != last->seen + 1) {
                problem = line + " holds " + cell(C::Object) + " of " + inQuotes(file) +
                          " without the rows before it: a row is missing";
                return std::nullopt;
            }
            last->end = records[i].end;
            ++last->seen;
            continue;
        }
        if (waiting) {
            problem =
                line + " starts another frame while " + std::to_string(last->canals - last->seen) +
                " canal rows of the tooth in line " + std::to_string(last->line) + " are missing";
            return std::nullopt;
        }
        const bool tooth = object.object == RowObject::Tooth;
        int canals = 0, teeth = 1;
        if (tooth ? !toInt(cell(C::Canals), canals) || !toInt(cell(C::Teeth), teeth)
                  : object.object != RowObject::None) {
            problem = line + " is not a row of quendra-batch";
            return std::nullopt;
        }
        // The next tooth of a frame whose teeth are not all there yet.
        if (last && last->teethSeen < last->teeth && tooth && file == last->file &&
            frame == last->frame) {
            last->end = records[i].end;
            last->canals = canals;
            last->seen = 0;
            ++last->teethSeen;
            continue;
        }
        if (last && last->teethSeen < last->teeth) {
            problem = line + " starts another frame while " +
                      std::to_string(last->teeth - last->teethSeen) +
                      " teeth of the frame in line " + std::to_string(last->line) + " are missing";
            return std::nullopt;
        }
        frames.push_back({file, frame, i + 1, records[i].end, canals, 0, teeth, 1});
    }
    if (!frames.empty() && !frames.back().whole()) frames.pop_back();
    return frames;
}

// What the earlier run named about one input: the whole of it, or frames of a video or stack.
struct Named {
    bool whole = false;
    std::vector<std::pair<int, int>> frames;  // first to last, inclusive

    // Whether every `every`-th frame from `first` to `last` is named.
    bool covers(int first, int last, int every) const {
        if (whole) return true;
        for (int f = first; f <= last;) {
            const auto it = std::find_if(frames.begin(), frames.end(), [&](const auto& r) {
                return r.first <= f && f <= r.second;
            });
            if (it == frames.end()) return false;
            f += (it->second - f) / every * every + every;  // the first beyond the named ones
        }
        return true;
    }
};

// What a problem is about, as the run names problems: "<subject>: ...", "<subject>, frame N:
// ...", "<subject>, slice N: ...". The subject is the longest of `names` the problem starts
// with; empty for none.
std::string subjectOf(const std::string& problem, const std::unordered_set<std::string>& names) {
    std::string subject;
    for (const char* separator : {": ", ", frame ", ", slice "})
        for (std::size_t at = problem.find(separator); at != std::string::npos;
             at = problem.find(separator, at + 1))
            if (at > subject.size() && names.contains(problem.substr(0, at)))
                subject = problem.substr(0, at);
    return subject;
}

// The problems by the input they are about: a video's frames or a stack's slices when the
// problem names them ("<input>: frame N cannot be read", "<input>: frames A to B cannot be
// read", "<input>, frame N: ...", alike with slice), else the whole input.
std::unordered_map<std::string, Named> namedInputs(const std::vector<std::string>& problems,
                                                   const std::unordered_set<std::string>& names) {
    std::unordered_map<std::string, Named> named;
    for (const std::string& p : problems) {
        const std::string subject = subjectOf(p, names);
        if (subject.empty()) continue;
        const std::string rest = p.substr(subject.size());
        int first = 0, last = 0;
        const auto number = [&](std::size_t from, int& value) {
            const char* end = rest.data() + rest.size();
            return std::from_chars(rest.data() + from, end, value).ec == std::errc();
        };
        // ", frame N", ": frame N", ": frames A to B", alike with "slice" (of the same length).
        const std::string word = rest.size() >= 9 ? rest.substr(2, 5) : "";
        const bool framed = (word == "frame" || word == "slice") &&
                            (rest.starts_with(", ") || rest.starts_with(": "));
        const std::size_t to = rest.find(" to ");
        if (framed && rest[7] == ' ' && number(8, first))
            named[subject].frames.push_back({first, first});
        else if (framed && rest.starts_with(": ") && rest.compare(7, 2, "s ") == 0 &&
                 number(9, first) && to != std::string::npos && number(to + 4, last))
            named[subject].frames.push_back({first, last});
        else
            named[subject].whole = true;
    }
    return named;
}

// What is wrong with the start of the table, when it is not `header` as the run writes it.
std::optional<std::string> headerProblem(const std::string& table, const std::string& header) {
    if (table.starts_with("\xEF\xBB\xBF"))
        return "it starts with a byte order mark, which quendra-batch never writes: an editor or "
               "another program has changed it";
    if (table.starts_with(header.substr(0, header.size() - 2) + "\n"))
        return "line 1 ends in LF, not CR LF: an editor or another program has changed it";
    if (!table.starts_with(header)) return "its header is not that of these settings";
    return std::nullopt;
}

// Follows the table's frames through the items in the order the run takes them: every item,
// and every frame of a video or stack, without rows must have been named by the run resumed.
class ResumeWalk {
public:
    ResumeWalk(const std::vector<BatchItem>& items, int every,
               const std::vector<std::string>& earlierProblems, std::string& problem);

    // The table's next frame; false, with the problem set, when it does not follow.
    bool take(const FrameRows& f);
    // Where the run goes on: after the last picture, or within the last video or stack.
    void resumeAt(ResumePoint& point);

private:
    const FrameGrid& gridOf(std::size_t i);
    bool missingFrames(std::size_t i, int first, int last);
    bool enterItemOf(const FrameRows& f, const std::string& at);
    bool takeFrame(const FrameRows& f, int frame, const std::string& at);

    const std::vector<BatchItem>& items;
    const int every;
    std::string& problem;
    std::vector<std::string> names;  // as the table names the items
    std::unordered_map<std::string, Named> named;
    std::size_t item = 0;
    std::optional<FrameGrid> grid;  // of the item in hand, a video or stack
    int lastFrame = -1;             // of the item in hand, the last frame in the table
    bool itemHasRows = false;
};

ResumeWalk::ResumeWalk(const std::vector<BatchItem>& i, int e,
                       const std::vector<std::string>& earlierProblems, std::string& p)
    : items(i), every(e), problem(p) {
    for (const BatchItem& it : items) names.push_back(utf8Text(it.path));
    named = namedInputs(earlierProblems, {names.begin(), names.end()});
}

const FrameGrid& ResumeWalk::gridOf(std::size_t i) {
    if (!grid) grid = frameGridOf(items[i], every);
    return *grid;
}

// Frames from `first` to `last` (on the grid) of item `i` have no rows: true, with the problem
// set, unless the run resumed named them.
bool ResumeWalk::missingFrames(std::size_t i, int first, int last) {
    if (first > last) return false;
    const auto it = named.find(names[i]);
    if (it != named.end() && it->second.covers(first, last, gridOf(i).step)) return false;
    problem = "rows of " + inQuotes(names[i]) + " are missing (" + frameWord(items[i]) + "s " +
              std::to_string(first) + " to " + std::to_string(last) +
              "), and the run resumed did not name them as a problem";
    return true;
}

// Moves on to the item of `f`: the item in hand ends, so everything of it must be in the table
// or named, as must every item skipped.
bool ResumeWalk::enterItemOf(const FrameRows& f, const std::string& at) {
    const auto next =
        std::find(names.begin() + static_cast<std::ptrdiff_t>(item) + (item < items.size()),
                  names.end(), f.file);
    if (next == names.end()) {
        problem = at + "rows of " + inQuotes(f.file) +
                  (std::find(names.begin(), names.end(), f.file) == names.end()
                       ? ", which is none of these inputs"
                       : " again, or out of the inputs' order");
        return false;
    }
    if (item < items.size() && itemHasRows && items[item].kind != MediaKind::Picture &&
        lastFrame >= 0) {
        const FrameGrid& g = gridOf(item);
        if (missingFrames(item, lastFrame + g.step, g.count() > 0 ? g.last() : lastFrame))
            return false;
    }
    const std::size_t found = static_cast<std::size_t>(next - names.begin());
    for (std::size_t skipped = item + (itemHasRows ? 1 : 0); skipped < found; ++skipped)
        if (!named.contains(names[skipped])) {
            problem = at + "no rows of " + inQuotes(names[skipped]) +
                      " come before it, and the run resumed did not name it as a problem: a "
                      "row is missing";
            return false;
        }
    item = found;
    lastFrame = -1;
    itemHasRows = false;
    grid.reset();
    return true;
}

// Frame `frame` of the video or stack in hand: one the run analyses, after the last one, with
// every frame between them in the table or named.
bool ResumeWalk::takeFrame(const FrameRows& f, int frame, const std::string& at) {
    const FrameGrid& g = gridOf(item);
    if (frame < g.first || (frame - g.first) % g.step != 0 || frame <= lastFrame ||
        frame >= g.end) {
        problem = at + frameWord(items[item]) + " " + f.frame + " of " + inQuotes(f.file) +
                  (frame <= lastFrame ? " again, or out of order" : " is not one the run analyses");
        return false;
    }
    if (missingFrames(item, lastFrame < 0 ? g.first : lastFrame + g.step, frame - g.step))
        return false;
    lastFrame = frame;
    return true;
}

bool ResumeWalk::take(const FrameRows& f) {
    const std::string at = "line " + std::to_string(f.line) + ": ";
    if ((item == items.size() || f.file != names[item]) && !enterItemOf(f, at)) return false;
    const bool picture = items[item].kind == MediaKind::Picture;
    int frame = -1;
    if (picture ? !f.frame.empty() || itemHasRows : !toInt(f.frame, frame)) {
        problem =
            at + (picture && itemHasRows
                      ? "rows of " + inQuotes(f.file) + " again: a doubled row"
                      : "the frame " + inQuotes(f.frame) + " is not one of " + inQuotes(f.file));
        return false;
    }
    if (!picture && !takeFrame(f, frame, at)) return false;
    itemHasRows = true;
    return true;
}

void ResumeWalk::resumeAt(ResumePoint& point) {
    point.item = item + (itemHasRows && lastFrame < 0 ? 1 : 0);
    point.itemsDone = point.item;
    point.frame = lastFrame >= 0 ? lastFrame + gridOf(item).step : -1;
}

}  // namespace

std::optional<ResumePoint> findResumePoint(const std::string& table, const std::string& header,
                                           const std::vector<BatchItem>& items, int every,
                                           const std::vector<std::string>& earlierProblems,
                                           std::string& problem) {
    ResumePoint point;
    if (header.rfind(table, 0) == 0) return point;  // empty, or cut in its header: start afresh
    if (const auto p = headerProblem(table, header)) {
        problem = *p;
        return std::nullopt;
    }
    point.keepBytes = header.size();
    const auto frames = frameRowsOf(table, problem);
    if (!frames) return std::nullopt;
    ResumeWalk walk(items, every, earlierProblems, problem);
    for (const FrameRows& f : *frames) {
        if (!walk.take(f)) return std::nullopt;
        point.keepBytes = f.end;
        ++point.framesDone;
    }
    walk.resumeAt(point);
    return point;
}

std::vector<std::string> carriedProblems(const std::vector<std::string>& earlier,
                                         const std::vector<BatchItem>& items,
                                         std::size_t resumeItem, const std::string& tableName) {
    std::unordered_set<std::string> redone{utf8Text(tableName)};
    for (std::size_t i = resumeItem + 1; i < items.size(); ++i)
        redone.insert(utf8Text(items[i].path));
    std::vector<std::string> carried;
    for (const std::string& p : earlier)
        if (subjectOf(p, redone).empty()) carried.push_back(p);
    return carried;
}

}  // namespace quendra
