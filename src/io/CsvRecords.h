#pragma once

// CSV text as RFC 4180 writes it, the way the run's tables write and read it: fields separated
// by commas, records by CR LF (LF too when reading), fields with commas, quotes or line breaks
// in double quotes, quotes doubled inside them.
//
// A spreadsheet runs a cell that starts with = + - @, a tab or a CR as a formula, so a file
// named "=cmd()|calc.png" would run a command when the table is opened. The tables' text cells
// (never their numbers: an angle of -12.5 stays a number) get a single quote in front of such a
// start, which spreadsheets show as text. One quote is added before the leading quotes of a
// text whose first other character is such a start, so that reading takes exactly one away
// and every text reads back as it was written ("'abc" stays "'abc").

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

// `text` with the quote in front that keeps a spreadsheet from running it, where it needs one.
std::string formulaGuarded(std::string_view text);

// The text of a cell written by formulaGuarded.
std::string formulaUnguarded(std::string_view cell);

// A text field quoted where RFC 4180 asks (a comma, a quote or a line break in it), and
// guarded and quoted where a spreadsheet would run it as a formula.
std::string csvField(const std::string& text);

// Every record that ends in a line break; text after the last line break (a record cut off)
// is left out. The fields are read as formulaUnguarded.
std::vector<CsvRecord> readCsvRecords(std::string_view text);

// The same records one after the other, for tables too large to hold as fields all at once.
void forEachCsvRecord(std::string_view text, const std::function<void(const CsvRecord&)>& each);

}  // namespace quendra
