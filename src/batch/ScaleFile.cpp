#include "batch/ScaleFile.h"

#include <charconv>
#include <utility>

#include "batch/BatchOptions.h"
#include "batch/CsvRecords.h"
#include "io/FileReading.h"

namespace quendra {

std::optional<std::map<std::string, double>> readScaleFile(const std::string& path,
                                                           std::string& problem) {
    FileRead file = readRegularFile(path, kMaxScaleFileBytes);
    if (file.status != FileReadStatus::Ok) {
        problem =
            path + ": the scale file cannot be read: " + describeFileRead(file, kMaxScaleFileBytes);
        return std::nullopt;
    }
    std::string text = std::move(file.bytes);
    if (!text.empty() && text.back() != '\n') text += '\n';
    std::map<std::string, double> scales;
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
        scales[record.fields[0]] = scale;
    }
    return scales;
}

}  // namespace quendra
