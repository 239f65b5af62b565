#pragma once

// Reading CSV text as RFC 4180 writes it: fields separated by commas, records by CR LF or LF,
// fields with commas, quotes or line breaks in double quotes, quotes doubled inside them.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quendra {

struct CsvRecord {
    std::vector<std::string> fields;
    std::size_t end = 0;  // offset just past the record's line break
};

// Every record that ends in a line break; text after the last line break (a record cut off)
// is left out.
std::vector<CsvRecord> readCsvRecords(std::string_view text);

// The same records one after the other, for tables too large to hold as fields all at once.
void forEachCsvRecord(std::string_view text, const std::function<void(const CsvRecord&)>& each);

}  // namespace quendra
