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

}  // namespace

// The stacks' table of a run with stacks (a run without leaves an earlier one's aside): per
// stack its rows, then its picture at a readable size.
std::string stacksSection(const ReportSources& s, const std::vector<BatchItem>& items) {
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
