#include "io/CsvRecords.h"

namespace quendra {

namespace {

// The first character that is not a quote starts a formula.
bool startsFormula(std::string_view text) {
    const std::size_t first = text.find_first_not_of('\'');
    return first != std::string_view::npos &&
           std::string_view("=+-@\t\r").find(text[first]) != std::string_view::npos;
}

}  // namespace

std::string formulaGuarded(std::string_view text) {
    return (startsFormula(text) ? "'" : "") + std::string(text);
}

std::string formulaUnguarded(std::string_view cell) {
    return std::string(startsFormula(cell) && cell.starts_with('\'') ? cell.substr(1) : cell);
}

std::string csvField(const std::string& text) {
    const std::string guarded = formulaGuarded(text);
    if (guarded == text && text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : guarded) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::vector<CsvRecord> readCsvRecords(std::string_view text) {
    std::vector<CsvRecord> records;
    forEachCsvRecord(text, [&](const CsvRecord& r) { records.push_back(r); });
    return records;
}

void forEachCsvRecord(std::string_view text, const std::function<void(const CsvRecord&)>& each) {
    CsvRecord record;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            record.fields.push_back(formulaUnguarded(field));
            field.clear();
        } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            if (c == '\r') ++i;
            record.fields.push_back(formulaUnguarded(field));
            field.clear();
            record.end = i + 1;
            each(record);
            record.fields.clear();
        } else {
            field += c;
        }
    }
}

}  // namespace quendra
