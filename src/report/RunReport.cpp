#include "report/RunReport.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "io/FileWriting.h"
#include "io/Utf8Text.h"
#include "report/ReportHistogram.h"
#include "report/ReportMessages.h"
#include "report/ReportSections.h"
#include "report/ReportText.h"
#include "report/ReportThumbnails.h"
#include "report/ReportWords.h"
#include "results/RunTally.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

using Json = nlohmann::ordered_json;

constexpr std::size_t kMaxReasons = 20;  // per file

// On a phone every table scrolls in its own box (.wide) instead of widening the page, and the
// pictures keep their text legible: a histogram's column is at least 18em of the page's 14 px
// (its 13-unit text on 320 units stays above 10 px), a stack's picture (760 units, text of 13)
// at least 585 px wide, scrolling in its box where the screen is narrower.
const char* const kStyle = R"(
body{font:14px/1.4 system-ui,sans-serif;color:#222;margin:1.5em auto;max-width:70em;padding:0 1em}
h1{font-size:1.6em;margin:0 0 .2em}h3{overflow-wrap:anywhere}h2{font-size:1.25em;margin:1.4em 0 .4em;border-bottom:1px solid #ccc}
table{border-collapse:collapse;margin:.3em 0}th,td{text-align:left;padding:.15em .6em;border-bottom:1px solid #e4e4e4;vertical-align:top}
td.n,th.n{text-align:right;font-variant-numeric:tabular-nums}code{font-size:.92em;word-break:break-all}
.note{color:#555;font-size:.92em}.figures{display:grid;grid-template-columns:repeat(auto-fill,minmax(min(100%,18em),1fr));gap:.6em 1em}
figure{margin:0}figcaption{font-size:.85em;color:#333;overflow-wrap:anywhere}
svg.hist{width:100%;height:auto}svg.hist rect{fill:#3a78b5}svg.hist line{stroke:#444;stroke-width:1}
svg.hist text{font-size:13px;fill:#333}.gallery{display:grid;grid-template-columns:repeat(auto-fill,minmax(150px,1fr));gap:.6em}
.tile img{width:100%;height:120px;object-fit:contain;background:#eee;display:block;border:1px solid #bbb}.tile.notable img{border:2px solid #d08000}
.tile .why{color:#b00020}.tile.problem .none{border:2px solid #b00020;color:#b00020;height:120px;box-sizing:border-box;padding-top:50px;text-align:center}
.wide{overflow-x:auto;max-width:100%}.stack img{display:block;width:100%;min-width:585px;max-width:760px;margin:.4em 0 1em}form{margin:.4em 0}label{margin-right:1em}
@media print{@page{size:A4;margin:15mm}.wide{overflow:visible}.stack img{min-width:0}body{max-width:none;margin:0;font-size:10pt}form{display:none}
.gallery{grid-template-columns:repeat(5,1fr)}figure,tr,svg{break-inside:avoid}h2{break-after:avoid}a{color:inherit;text-decoration:none}}
)";

// Shows only the gallery's tiles of the type and outcome chosen; the page is whole without it.
const char* const kFilterScript = R"(
(function () {
  var form = document.getElementById('filter');
  if (!form) return;
  form.hidden = false;
  var type = form.elements.type, outcome = form.elements.outcome;
  var tiles = document.querySelectorAll('.gallery .tile');
  var shown = document.getElementById('shown');
  function apply() {
    var count = 0;
    tiles.forEach(function (tile) {
      var show = (!type.value || tile.dataset.type === type.value) &&
                 (!outcome.value || tile.dataset.outcome === outcome.value);
      tile.hidden = !show;
      if (show) ++count;
    });
    shown.textContent = count;
  }
  type.addEventListener('change', apply);
  outcome.addEventListener('change', apply);
  apply();
})();
)";

std::string stringOf(const Json& record, const char* key) {
    const auto it = record.find(key);
    if (it == record.end() || it->is_null()) return {};
    return it->is_string() ? it->get<std::string>() : it->dump();
}

// "2026-12-07T21:03:04Z" as "07.12.2026, 21:03:04 UTC"; other text as it is.
std::string germanTime(const std::string& iso) {
    if (iso.size() < 19 || iso[4] != '-' || iso[10] != 'T') return iso;
    return iso.substr(8, 2) + "." + iso.substr(5, 2) + "." + iso.substr(0, 4) + ", " +
           iso.substr(11, 8) + (iso.back() == 'Z' ? " UTC" : "");
}

std::string statusText(const std::string& status) {
    static const std::map<std::string, std::string> texts = {
        {"finished", "abgeschlossen"},
        {"interrupted", "unterbrochen (SIGINT oder SIGTERM); --resume setzt ihn fort"},
        {"stopped", "abgebrochen (die Gründe unter „Probleme nach Datei“)"},
        {"running", "läuft noch, oder der Prozess wurde beendet"}};
    const auto it = texts.find(status);
    return it != texts.end() ? it->second : status;
}

std::string row(const std::string& label, const std::string& value) {
    return "<tr><th>" + label + "</th><td>" + value + "</td></tr>";
}

std::string countRow(const std::string& label, const char* key, std::size_t count) {
    return "<tr><th>" + label + "</th><td class=\"n\" data-count=\"" + key + "\">" +
           germanCount(count) + "</td></tr>";
}

std::string runSection(const Json& record) {
    std::string html = "<h2>Lauf</h2><div class=\"wide\"><table>";
    if (const auto it = record.find("command_line"); it != record.end() && it->is_array()) {
        std::string line;
        for (const Json& arg : *it)
            if (arg.is_string()) line += (line.empty() ? "" : " ") + arg.get<std::string>();
        html += row("Befehlszeile", "<code>" + markupText(line) + "</code>");
    }
    html +=
        row("Version", markupText(stringOf(record, "program") + " " + stringOf(record, "version")));
    html += row("Farbklassen", "<code>" + markupText(stringOf(record, "classes")) + "</code>");
    if (const auto it = record.find("settings"); it != record.end() && it->is_object()) {
        std::string settings;
        for (const auto& [name, value] : it->items())
            settings += markupText(germanSettingName(name)) + ": " +
                        markupText(germanSettingValue(value)) + "<br>";
        html += row("Einstellungen", settings);
    }
    html += row("Beginn", markupText(germanTime(stringOf(record, "started"))));
    html += row("Ende", markupText(germanTime(stringOf(record, "ended"))));
    html += row("Status", markupText(statusText(stringOf(record, "status"))));
    html += row("Exit-Status", markupText(stringOf(record, "exit_status")));
    html += row("Eingaben bearbeitet", markupText(stringOf(record, "items_done")) + " von " +
                                           markupText(stringOf(record, "items")));
    return html + "</table></div>";
}

std::vector<std::string> problemsOf(const Json& record) {
    std::vector<std::string> problems;
    if (const auto it = record.find("problems"); it != record.end() && it->is_array())
        for (const Json& p : *it)
            if (p.is_string()) problems.push_back(p.get<std::string>());
    return problems;
}

std::string countsSection(const RunTally& t, std::size_t problems) {
    std::string html = "<h2>Zählungen</h2><div class=\"wide\"><table>";
    html += countRow("Eingaben mit Ergebnissen", "items", t.items);
    html += countRow("Ausgewertete Bilder (Bilder und Videobilder)", "frames", t.frames);
    html += countRow("Zähne gefunden", "teeth", t.teeth);
    html += countRow("Kanäle", "canals", t.canals);
    html += countRow("davon Zähne „Zahn nicht erkannt.“ (kein Kanal, oder mehr als vier)",
                     "not-recognised", t.notRecognised);
    html += countRow("Bilder ohne Zahn (<code>none</code>)", "none", t.noTooth);
    html += countRow("Probleme", "problems", problems);
    html +=
        "</table></div><h3>Zahntypen</h3><div class=\"wide\"><table><tr><th>Typ</th><th "
        "class=\"n\">Zähne</th></tr>";
    for (const auto& [type, count] : t.toothTypes)
        html += "<tr><td>" + markupText(type) + "</td><td class=\"n\" data-type-count=\"" +
                markupText(type) + "\">" + germanCount(count) + "</td></tr>";
    return html + "</table></div>";
}

std::string problemsSection(const std::vector<std::string>& problems) {
    std::string html = "<h2>Probleme nach Datei</h2>";
    if (problems.empty()) return html + "<p>Keine.</p>";
    std::vector<std::string> order;
    std::unordered_map<std::string, std::vector<std::string>> byFile;
    for (const std::string& p : problems) {
        ProblemParts parts = splitProblem(p);
        auto& list = byFile[parts.file];
        if (list.empty()) order.push_back(parts.file);
        list.push_back(germanMessage(parts.reason));
    }
    html += "<div class=\"wide\"><table><tr><th>Datei</th><th>Problem</th></tr>";
    for (std::size_t i = 0; i < std::min(order.size(), kReportMaxListed); ++i) {
        const std::vector<std::string>& list = byFile[order[i]];
        std::string reasons;
        for (std::size_t r = 0; r < std::min(list.size(), kMaxReasons); ++r)
            reasons += markupText(list[r]) + "<br>";
        if (list.size() > kMaxReasons)
            reasons += "und " + germanCount(list.size() - kMaxReasons) + " weitere";
        const std::string file =
            order[i].empty() ? "(der Lauf)" : "<code>" + markupText(order[i]) + "</code>";
        html += "<tr><td>" + file + "</td><td>" + reasons + "</td></tr>";
    }
    html += "</table></div>";
    if (order.size() > kReportMaxListed)
        html += "<p class=\"note\">und " + germanCount(order.size() - kReportMaxListed) +
                " weitere Dateien (alle in <code>run.json</code>).</p>";
    return html;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

// One measure's histograms, a figure per tooth type, on one scale.
std::string measureFigures(const RunTally& t, const std::string& title, const std::string& unit,
                           std::vector<double> CanalMeasures::*values, bool fromZero) {
    std::vector<const std::vector<double>*> sets;
    for (const auto& [type, m] : t.canalsByType) sets.push_back(&(m.*values));
    const HistogramScale scale = histogramScale(sets, fromZero);
    std::string html = "<h3>" + title + "</h3><div class=\"figures\">";
    for (const auto& [type, m] : t.canalsByType) {
        const std::vector<double>& v = m.*values;
        if (v.empty()) continue;
        html += "<figure>" +
                histogramSvg(histogramCounts(v, scale), scale, unit, title + ", " + type) +
                "<figcaption>" + markupText(type) + ": " + germanCount(v.size()) +
                (v.size() == 1 ? " Kanal" : " Kanäle") + ", Median " + germanNumber(median(v), 2) +
                "</figcaption></figure>";
    }
    html += "</div>";
    if (scale.clipped)
        html += "<p class=\"note\">Werte ab " + germanNumber(scale.high, 2) +
                " zählen im letzten Balken.</p>";
    return html;
}

std::string distributionsSection(const RunTally& t) {
    std::string html = "<h2>Verteilungen je Zahntyp</h2>";
    if (t.canalsByType.empty()) return html + "<p>Kein Kanal gefunden.</p>";
    std::size_t withMm = 0;
    for (const auto& [type, m] : t.canalsByType) withMm += m.areaMm2.size();
    if (withMm > 0) {
        html += measureFigures(t, "Kanalfläche", "mm²", &CanalMeasures::areaMm2, true);
        if (withMm < t.canals)
            html += "<p class=\"note\">" + germanCount(t.canals - withMm) +
                    " Kanäle ohne Maßstab sind nicht enthalten.</p>";
    } else {
        html +=
            measureFigures(t, "Kanalfläche", "Pixel (ohne Maßstab)", &CanalMeasures::areaPx, true);
    }
    html += measureFigures(t, "Zirkularität", "4π·Fläche/Umfang² (1 = Kreis)",
                           &CanalMeasures::circularity, true);
    const auto aboveOne = [](const auto& entry) {
        return std::ranges::any_of(entry.second.circularity, [](double c) { return c > 1; });
    };
    if (std::ranges::any_of(t.canalsByType, aboveOne))
        html +=
            "<p class=\"note\">Kleine Kanäle können über 1 liegen: der Umfang folgt der Kontur "
            "durch die "
            "Pixelmitten, die Fläche zählt ganze Pixel.</p>";
    html += measureFigures(
        t, "Verhältnis der Durchmesser",
        t.caliperFromFeret ? "größter / kleinster Feret-Durchmesser" : "große / kleine Halbachse",
        &CanalMeasures::caliperRatio, false);
    std::map<std::string, int> shapeNames;
    for (const auto& [type, m] : t.canalsByType)
        for (const auto& [shape, n] : m.shapes) shapeNames.emplace(shape, 0);
    if (shapeNames.empty()) return html;
    html += "<h3>Kanalformen</h3><div class=\"wide\"><table><tr><th>Typ</th>";
    for (const auto& [shape, unused] : shapeNames)
        html += "<th class=\"n\">" + markupText(germanShape(shape)) + "</th>";
    html += "</tr>";
    for (const auto& [type, m] : t.canalsByType) {
        html += "<tr><td>" + markupText(type) + "</td>";
        for (const auto& [shape, unused] : shapeNames) {
            const auto it = m.shapes.find(shape);
            html +=
                "<td class=\"n\">" + germanCount(it == m.shapes.end() ? 0 : it->second) + "</td>";
        }
        html += "</tr>";
    }
    return html + "</table></div>";
}

}  // namespace

std::string readWholeFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string reportLink(const fs::path& file, const fs::path& out) {
    return urlPath(relativeToOut(file, out).generic_string());
}

std::string runReportHtml(const ReportSources& s, const std::vector<BatchItem>& items) {
    Json record = Json::parse(readWholeFile(s.record), nullptr, false);
    if (!record.is_object()) record = Json::object();
    const RunTally tally = tallyTable(readWholeFile(s.table));
    const std::vector<std::string> problems = problemsOf(record);
    std::string overlays = "video";
    bool levels = false;  // the run wrote levels.csv
    if (const auto it = record.find("settings"); it != record.end() && it->is_object()) {
        overlays = it->value("overlays", overlays);
        levels = it->contains("levels-mm");
    }
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"de\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>Quendra: Auswertung des Laufs</title><style>" +
        std::string(kStyle) +
        "</style></head><body><h1>Auswertung des Laufs</h1><p class=\"note\">"
        "Ausgabeordner <code>" +
        markupText(utf8Text(s.out.string())) + "</code>, Tabelle <code>" +
        markupText(utf8Text(s.table.filename().string())) + "</code></p>";
    html += runSection(record);
    html += countsSection(tally, problems.size());
    html += problemsSection(problems);
    html += distributionsSection(tally);
    html += stacksSection(s, items, levels);
    html += gallerySection(s, items, tally, problems, overlays);
    html += "<script>" + std::string(kFilterScript) + "</script></body></html>\n";
    return html;
}

std::optional<std::string> writeRunReport(const ReportSources& s,
                                          const std::vector<BatchItem>& items) {
    try {
        const std::string html = runReportHtml(s, items);
        if (writeFileReplacing(s.page.string(), html, Durability::Flushed)) return std::nullopt;
        return s.page.string() + ": the report cannot be written";
    } catch (const std::exception& e) {
        return s.page.string() + ": the report cannot be made (" + e.what() + ")";
    }
}

}  // namespace quendra
