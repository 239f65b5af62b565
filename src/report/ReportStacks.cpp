#include <algorithm>
#include <map>
#include <unordered_map>

#include "io/CsvRecords.h"
#include "io/Utf8Text.h"
#include "report/ReportMessages.h"
#include "report/ReportSections.h"
#include "report/ReportText.h"
#include "report/ReportWords.h"
#include "results/RunFileNames.h"
#include "results/StacksTable.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

// A cell of stacks.csv on the German page: a note in German, a length with the decimal comma.
std::string germanCell(std::string cell, bool note) {
    if (note) return cell.empty() ? cell : germanMessage(cell);
    if (cell.find_first_not_of("0123456789.") == std::string::npos)
        std::replace(cell.begin(), cell.end(), '.', ',');
    return cell;
}

// The rows of canals.csv or levels.csv, by the stack they are of.
struct RowsByStack {
    std::string file;                                                 // its name
    std::vector<CsvRecord> records;                                   // the header first
    std::map<std::string, std::vector<std::size_t>, std::less<>> of;  // places in records
};

RowsByStack rowsByStack(const fs::path& file, std::string_view stackColumn) {
    RowsByStack rows{file.filename().string(), {}, {}};
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return rows;
    rows.records = readCsvRecords(readWholeFile(file));
    if (rows.records.empty()) return rows;
    const std::vector<std::string>& header = rows.records.front().fields;
    const auto stack = static_cast<std::size_t>(
        std::find(header.begin(), header.end(), stackColumn) - header.begin());
    for (std::size_t r = 1; r < rows.records.size(); ++r)
        if (stack < rows.records[r].fields.size())
            rows.of[rows.records[r].fields[stack]].push_back(r);
    return rows;
}

// A stack's rows of such a table under `title`, in those of the `shown` columns it has.
std::string stackTable(const RowsByStack& rows, std::string_view stack, const char* title,
                       std::initializer_list<std::string_view> shown) {
    const auto of = rows.of.find(stack);
    if (of == rows.of.end()) return {};
    const std::vector<std::string>& header = rows.records.front().fields;
    std::vector<std::size_t> columns;
    for (const std::string_view name : shown)
        if (const auto it = std::find(header.begin(), header.end(), name); it != header.end())
            columns.push_back(static_cast<std::size_t>(it - header.begin()));
    std::string html = std::string("<h4>") + title + "</h4><div class=\"wide\"><table><tr>";
    for (const std::size_t c : columns)
        html += "<th>" + markupText(germanStackColumn(header[c])) + "</th>";
    html += "</tr>";
    for (std::size_t n = 0; n < of->second.size() && n < kReportMaxListed; ++n) {
        const std::vector<std::string>& fields = rows.records[of->second[n]].fields;
        html += "<tr>";
        for (const std::size_t c : columns)
            html += "<td>" + markupText(germanCell(c < fields.size() ? fields[c] : "", false)) +
                    "</td>";
        html += "</tr>";
    }
    html += "</table></div>";
    if (of->second.size() > kReportMaxListed)
        html += "<p class=\"note\">und " + germanCount(of->second.size() - kReportMaxListed) +
                " weitere Zeilen in <code>" + markupText(rows.file) + "</code>.</p>";
    return html;
}

// A stack's canals (canals.csv) and their levels (levels.csv).
std::string canalTables(const RowsByStack& canals, const RowsByStack& levels,
                        std::string_view stack) {
    using C = CanalColumn;
    using L = LevelColumn;
    return stackTable(
               canals, stack, "Kanäle",
               {columnName(C::Canal), columnName(C::Root), columnName(C::FirstSlice),
                columnName(C::LastSlice), columnName(C::Slices), columnName(C::LengthMm),
                columnName(C::VolumeVoxels), columnName(C::VolumeMm3), columnName(C::DiameterMinMm),
                columnName(C::DiameterMeanMm), columnName(C::DiameterMaxMm)}) +
           stackTable(
               levels, stack, "Kanäle in Abständen vom Apex",
               {columnName(L::Root), columnName(L::LevelMm), columnName(L::Slice),
                columnName(L::Canal), columnName(L::AreaMm2), columnName(L::PerimeterMm),
                columnName(L::Circularity), columnName(L::FeretMaxMm), columnName(L::FeretMinMm)});
}

}  // namespace

// The stacks' table of a run with stacks (a run without leaves an earlier one's aside): per
// stack its rows, its picture at a readable size, its canals and their levels.
std::string stacksSection(const ReportSources& s, const std::vector<BatchItem>& items,
                          bool levels) {
    const fs::path file = s.out / runFileName(RunFile::Stacks, s.suffix);
    std::error_code ec;
    if (std::none_of(items.begin(), items.end(),
                     [](const BatchItem& i) { return i.kind == MediaKind::Stack; }) ||
        !fs::is_regular_file(file, ec))
        return {};
    const std::vector<CsvRecord> records = readCsvRecords(readWholeFile(file));
    if (records.empty()) return {};
    std::unordered_map<std::string, const BatchItem*> byName;
    for (const BatchItem& item : items) byName.emplace(utf8Text(item.path), &item);
    const std::vector<std::string>& header = records.front().fields;
    const ColumnPlaces<StackColumn> columns = stackColumnsIn(header);
    const std::size_t nameColumn = columns.at(StackColumn::Stack),
                      typeColumn = columns.at(StackColumn::Vertucci),
                      rootColumn = columns.at(StackColumn::Tooth),
                      noteColumn = columns.at(StackColumn::Note);
    std::string head = "<div class=\"wide\"><table><tr>";
    for (std::size_t c = 0; c < header.size(); ++c)
        if (c != nameColumn) head += "<th>" + markupText(germanStackColumn(header[c])) + "</th>";
    head += "</tr>";

    // The roots of all stacks by their type, as a study tallies them (all rows, listed or not).
    std::map<std::string, std::size_t> roots;  // "I" to "VIII", "" for other configurations
    for (std::size_t r = 1; r < records.size(); ++r) {
        const std::vector<std::string>& f = records[r].fields;
        if (std::max(typeColumn, rootColumn) < f.size() && !f[rootColumn].empty())
            ++roots[f[typeColumn]];
    }
    std::string html =
        "<h2>Stapel</h2><h3>Wurzeln je Vertucci-Typ</h3><div class=\"wide\"><table><tr><th>Typ</th>"
        "<th class=\"n\">Wurzeln</th></tr>";
    for (const char* type : {"I", "II", "III", "IV", "V", "VI", "VII", "VIII", ""})
        if (roots.contains(type))
            html += std::string("<tr><td>") + (*type ? type : "anderer Verlauf") +
                    "</td><td class=\"n\" data-vertucci=\"" + type + "\">" +
                    germanCount(roots[type]) + "</td></tr>";
    html += "</table></div>";
    const RowsByStack canals =
        rowsByStack(s.out / runFileName(RunFile::Canals, s.suffix), columnName(CanalColumn::Stack));
    const RowsByStack levelRows = levels
                                      ? rowsByStack(s.out / runFileName(RunFile::Levels, s.suffix),
                                                    columnName(LevelColumn::Stack))
                                      : RowsByStack{};
    std::string open;  // the stack whose rows are being listed
    const auto closeStack = [&] {
        if (open.empty()) return;
        html += "</table></div>";
        const auto item = byName.find(open);
        const fs::path svg =
            item != byName.end() ? outputPath(*item->second, Output::CanalsSvg) : fs::path();
        if (!svg.empty() && fs::is_regular_file(svg, ec))
            html += "<div class=\"wide\"><a class=\"stack\" href=\"" + reportLink(svg, s.out) +
                    "\"><img src=\"" + reportLink(svg, s.out) +
                    "\" alt=\"Kanalzahl je Schicht von " + markupText(open) + "\"></a></div>";
        html += canalTables(canals, levelRows, open);
        open.clear();
    };
    for (std::size_t r = 1; r < records.size() && r <= kReportMaxListed; ++r) {
        const std::vector<std::string>& fields = records[r].fields;
        const std::string name(columns.cell(fields, StackColumn::Stack));
        if (name != open || r == 1) {
            closeStack();
            open = name;
            html += "<h3>" + markupText(name) + "</h3>" + head;
        }
        html += "<tr>";
        for (std::size_t c = 0; c < fields.size(); ++c)
            if (c != nameColumn)
                html += "<td>" + markupText(germanCell(fields[c], c == noteColumn)) + "</td>";
        html += "</tr>";
    }
    closeStack();
    if (records.size() - 1 > kReportMaxListed)
        html += "<p class=\"note\">und " + germanCount(records.size() - 1 - kReportMaxListed) +
                " weitere Zeilen in <code>" + markupText(file.filename().string()) + "</code>.</p>";
    return html;
}

}  // namespace quendra
