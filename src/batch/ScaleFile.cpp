#include "batch/ScaleFile.h"

#include <charconv>
#include <map>
#include <utility>

#include "batch/BatchOptions.h"
#include "batch/BatchTable.h"
#include "batch/CsvRecords.h"
#include "io/FileReading.h"

namespace quendra {

namespace fs = std::filesystem;

std::optional<std::vector<ScaleRow>> readScaleFile(const std::string& path, std::string& problem) {
    FileRead file = readRegularFile(path, kMaxScaleFileBytes);
    if (file.status != FileReadStatus::Ok) {
        problem =
            path + ": the scale file cannot be read: " + describeFileRead(file, kMaxScaleFileBytes);
        return std::nullopt;
    }
    std::string text = std::move(file.bytes);
    if (!text.empty() && text.back() != '\n') text += '\n';
    std::vector<ScaleRow> rows;
    std::map<std::string, int> rowOf;
    int row = 0;
    for (const CsvRecord& record : readCsvRecords(text)) {
        ++row;
        if (record.fields.size() == 1 && record.fields[0].empty()) continue;  // an empty line
        if (row == 1 && record.fields.size() == 2 && record.fields[1] == "px_per_mm") continue;
        double scale = 0;
        const std::string* value = record.fields.size() == 2 ? &record.fields[1] : nullptr;
        const bool number =
            value && std::from_chars(value->data(), value->data() + value->size(), scale).ptr ==
                         value->data() + value->size();
        if (!number || !sensibleScale(scale)) {
            problem = path + ": row " + std::to_string(row) +
                      " is not \"file,px_per_mm\" with a scale from 0.01 to 100000";
            return std::nullopt;
        }
        const std::string name = fs::path(record.fields[0]).lexically_normal().string();
        if (const auto [it, added] = rowOf.emplace(name, row); !added) {
            problem = path + ": row " + std::to_string(row) + " names " + record.fields[0] +
                      " again (row " + std::to_string(it->second) + ")";
            return std::nullopt;
        }
        rows.push_back({row, name, scale});
    }
    return rows;
}

std::optional<std::vector<const ScaleRow*>> matchScales(const std::vector<ScaleRow>& rows,
                                                        const std::vector<BatchItem>& items,
                                                        const std::string& scaleFile,
                                                        std::string& problem) {
    std::map<std::string, const ScaleRow*> byName;
    for (const ScaleRow& r : rows) byName.emplace(r.name, &r);
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
