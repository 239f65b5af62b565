#include "batch/ScaleFile.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <string_view>
#include <utility>

#include "batch/BatchOptions.h"
#include "io/CsvRecords.h"
#include "io/FileReading.h"
#include "io/Utf8Text.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

// Whether every quote of `line` is where RFC 4180 lets it be: opening a field, doubled inside a
// quoted field, or closing one right before a comma or the line's end.
bool wellQuoted(std::string_view line) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    bool quoted = false, fieldStart = true, closed = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') continue;
            if (i + 1 < line.size() && line[i + 1] == '"') {
                ++i;
            } else {
                quoted = false;
                closed = true;
            }
        } else if (c == ',') {
            fieldStart = true;
            closed = false;
        } else if (closed || (c == '"' && !fieldStart)) {
            return false;
        } else {
            quoted = c == '"';
            fieldStart = false;
        }
    }
    return !quoted;
}

}  // namespace

std::optional<std::vector<ScaleRow>> readScaleFile(const std::string& path, std::string& problem,
                                                   std::vector<std::string>& warnings) {
    FileRead file = readRegularFile(path, kMaxScaleFileBytes);
    if (file.status != FileReadStatus::Ok) {
        problem =
            path + ": the scale file cannot be read: " + describeFileRead(file, kMaxScaleFileBytes);
        return std::nullopt;
    }
    std::string_view text = file.bytes;
    // A spreadsheet saving "CSV UTF-8" puts a byte order mark before the first row.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<ScaleRow> rows;
    std::map<std::string, int> rowOf;
    int row = 0;
    // Line by line: a row is one line, so that a quote left open spoils its own row only,
    // instead of taking every row after it into one file name.
    for (std::size_t begin = 0; begin < text.size(); ++row) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        const std::string_view line = text.substr(begin, end - begin);
        begin = end + 1;
        if (line.empty() || line == "\r") continue;  // an empty line
        if (!wellQuoted(line)) {
            warnings.push_back(path + ": line " + std::to_string(row + 1) +
                               " is badly quoted (a quote left open, or one inside a name that "
                               "does not start with one), left out: " +
                               std::string(line.substr(0, 80)));
            continue;
        }
        const std::vector<std::string> fields =
            readCsvRecords(std::string(line) + "\n").front().fields;
        if (row == 0 && fields.size() == 2 && fields[1] == "px_per_mm") continue;
        double scale = 0;
        const std::string* value = fields.size() == 2 ? &fields[1] : nullptr;
        const bool number =
            value && std::from_chars(value->data(), value->data() + value->size(), scale).ptr ==
                         value->data() + value->size();
        if (!number || !sensibleScale(scale)) {
            problem = path + ": row " + std::to_string(row + 1) +
                      " is not \"file,px_per_mm\" with a scale from " +
                      numberText(kPxPerMmOption.range.lowest) + " to " +
                      numberText(kPxPerMmOption.range.highest);
            return std::nullopt;
        }
        const std::string name = fs::path(fields[0]).lexically_normal().string();
        if (const auto [it, added] = rowOf.emplace(name, row + 1); !added) {
            problem = path + ": row " + std::to_string(row + 1) + " names " + fields[0] +
                      " again (row " + std::to_string(it->second) + ")";
            return std::nullopt;
        }
        rows.push_back({row + 1, name, scale});
    }
    return rows;
}

std::optional<std::vector<const ScaleRow*>> matchScales(const std::vector<ScaleRow>& rows,
                                                        const std::vector<BatchItem>& items,
                                                        const std::string& scaleFile,
                                                        std::string& problem) {
    std::map<std::string, const ScaleRow*> byName, byCanonical;
    for (const ScaleRow& r : rows) {
        byName.emplace(r.name, &r);
        // A row may name its input by another path to the same file (absolute for one given
        // relative); rows naming a file name alone are matched by it below.
        std::error_code ec;
        if (r.name.find('/') != std::string::npos)
            byCanonical.emplace(fs::weakly_canonical(r.name, ec).string(), &r);
    }
    const auto find = [&](const std::string& name) {
        const auto it = byName.find(name);
        return it == byName.end() ? nullptr : it->second;
    };
    std::vector<const ScaleRow*> matched(items.size(), nullptr);
    std::map<const ScaleRow*, std::size_t> byFileName;  // the first item a file name served
    for (std::size_t i = 0; i < items.size(); ++i) {
        const fs::path path = fs::path(items[i].path).lexically_normal();
        matched[i] = find(path.string());
        if (!matched[i]) matched[i] = find(utf8Text(path.string()));
        if (!matched[i]) {
            std::error_code ec;
            const auto it = byCanonical.find(fs::weakly_canonical(path, ec).string());
            if (it != byCanonical.end()) matched[i] = it->second;
        }
        if (matched[i]) continue;
        matched[i] = find(path.filename().string());
        if (!matched[i]) matched[i] = find(utf8Text(path.filename().string()));
        if (!matched[i]) continue;
        const auto [first, added] = byFileName.emplace(matched[i], i);
        if (!added) {
            problem = scaleFile + ": row " + std::to_string(matched[i]->row) + " names " +
                      matched[i]->name + ", the file name of " + items[first->second].path +
                      " and of " + items[i].path + "; name each as the table does";
            return std::nullopt;
        }
    }
    return matched;
}

}  // namespace quendra
