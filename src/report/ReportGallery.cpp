#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "io/Utf8Text.h"
#include "report/ReportMessages.h"
#include "report/ReportSections.h"
#include "report/ReportText.h"
#include "report/ReportThumbnails.h"
#include "results/RunFileNames.h"

namespace quendra {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxGallery = kNotableThumbnails + kSpreadThumbnails;

const char* outcomeName(FrameOutcome o) {
    switch (o) {
        case FrameOutcome::NoTooth:
            return "none";
        case FrameOutcome::NoCanal:
            return "nocanal";
        default:
            return "canals";
    }
}

const char* outcomeText(FrameOutcome o) {
    switch (o) {
        case FrameOutcome::NoTooth:
            return "kein Zahn";
        case FrameOutcome::NoCanal:
            return "kein Kanal angenommen";
        default:
            return "Zahn mit Kanälen";
    }
}

// A tile for each input with a problem, in the order named, the problem under it (its first,
// in German) so that the gallery tells what went wrong without a look at the list above.
std::vector<std::string> problemTiles(const std::vector<std::string>& problems,
                                      const std::unordered_map<std::string, std::size_t>& inputs) {
    std::vector<std::string> tiles;
    std::string last;
    for (const std::string& p : problems) {
        const ProblemParts parts = splitProblem(p);
        if (!inputs.contains(parts.file) || parts.file == last) continue;
        last = parts.file;
        tiles.push_back(
            "<figure class=\"tile problem\" data-type=\"\" data-outcome=\"problem\">"
            "<div class=\"none\">Problem</div><figcaption>" +
            markupText(parts.file) + "<br><span class=\"why\">" +
            markupText(germanMessage(parts.reason)) + "</span></figcaption></figure>");
    }
    return tiles;
}

struct Tile {
    const FrameEntry* entry;
    std::size_t item;
    fs::path thumbnail;
};

struct SampledTiles {
    std::vector<Tile> notable, spread;
};

// The sample the run made thumbnails of (ReportThumbnails.h), in the table's order; a notable
// frame after the first kNotableThumbnails may have one left over, which the gallery leaves out.
// `indexOf` gives each input's item by its name in the table.
SampledTiles sampledTiles(const ReportSources& s, const std::vector<BatchItem>& items,
                          const RunTally& t,
                          const std::unordered_map<std::string, std::size_t>& indexOf) {
    const fs::path folder = s.out / runFileName(RunFile::ReportThumbnails, s.suffix);
    SampledTiles sample;
    std::error_code ec;
    for (const FrameEntry& e : t.frameList) {
        const auto it = indexOf.find(e.file);
        if (it == indexOf.end()) continue;
        const bool isNotable =
            e.outcome != FrameOutcome::Canals && sample.notable.size() < kNotableThumbnails;
        if (!isNotable && !(e.frame <= 0 && inThumbnailSpread(it->second, items.size()))) continue;
        fs::path thumbnail = thumbnailPath(folder, s.out, items[it->second], e.frame);
        if (fs::is_regular_file(thumbnail, ec))
            (isNotable ? sample.notable : sample.spread)
                .push_back({&e, it->second, std::move(thumbnail)});
    }
    return sample;
}

// A thumbnail's tile: the frame's place and outcome under it, and a link to its whole overlay
// (a picture's, or a video's movie) where the run wrote one.
std::string frameTile(const Tile& tile, const BatchItem& item, const ReportSources& s,
                      const std::string& overlays) {
    const FrameEntry& e = *tile.entry;
    const Output output = e.frame < 0 || overlays == "png"
                              ? (overlays == "png" ? Output::PngOverlay : Output::JpegOverlay)
                              : Output::Movie;
    const fs::path overlay = outputPath(item, output, output == Output::Movie ? -1 : e.frame);
    const std::string place = markupText(e.file) + (e.frame < 0 ? ""
                                                    : item.kind == MediaKind::Stack
                                                        ? ", Schicht " + std::to_string(e.frame)
                                                        : ", Bild " + std::to_string(e.frame));
    const std::string image =
        "<img src=\"" + reportLink(tile.thumbnail, s.out) + "\" alt=\"" + place + "\">";
    std::error_code ec;
    return "<figure class=\"tile" +
           std::string(e.outcome != FrameOutcome::Canals ? " notable" : "") + "\" data-type=\"" +
           markupText(e.type) + "\" data-outcome=\"" + outcomeName(e.outcome) + "\">" +
           (fs::is_regular_file(overlay, ec)
                ? "<a href=\"" + reportLink(overlay, s.out) + "\">" + image + "</a>"
                : image) +
           "<figcaption>" + place + "<br>" + outcomeText(e.outcome) +
           (e.type.empty() ? "" : ": " + markupText(e.type)) + "</figcaption></figure>";
}

// The gallery's filter (shown by the page's script): by the tooth types of its tiles and by
// outcome, with the count of the tiles shown.
std::string filterForm(const std::set<std::string>& types, std::size_t shown) {
    std::string html =
        "<form id=\"filter\" hidden><label>Zahntyp <select name=\"type\"><option "
        "value=\"\">alle</option>";
    for (const std::string& type : types)
        html += "<option value=\"" + markupText(type) + "\">" + markupText(type) + "</option>";
    return html +
           "</select></label><label>Ergebnis <select name=\"outcome\"><option "
           "value=\"\">alle</option>"
           "<option value=\"problem\">Problem</option><option value=\"none\">kein Zahn</option>"
           "<option value=\"nocanal\">kein Kanal angenommen</option>"
           "<option value=\"canals\">Zahn mit Kanälen</option></select></label>"
           "<span><span id=\"shown\">" +
           std::to_string(shown) + "</span> von " + std::to_string(shown) +
           " Bildern</span></form>";
}

}  // namespace

std::string gallerySection(const ReportSources& s, const std::vector<BatchItem>& items,
                           const RunTally& t, const std::vector<std::string>& problems,
                           const std::string& overlays) {
    std::string html = "<h2>Galerie</h2>";
    if (overlays == "none")
        return html +
               "<p>Keine Bilder: der Lauf zeichnete keine Überlagerungen "
               "(<code>--overlays none</code>).</p>";
    std::unordered_map<std::string, std::size_t> indexOf;
    for (std::size_t i = 0; i < items.size(); ++i) indexOf.emplace(utf8Text(items[i].path), i);
    const SampledTiles sample = sampledTiles(s, items, t, indexOf);
    std::string tiles;
    std::size_t shown = 0;
    std::set<std::string> types;
    for (const std::string& tile : problemTiles(problems, indexOf)) {
        if (shown >= kMaxGallery) break;
        tiles += tile;
        ++shown;
    }
    for (const auto* list : {&sample.notable, &sample.spread}) {
        for (const Tile& tile : *list) {
            if (shown >= kMaxGallery) break;
            tiles += frameTile(tile, items[tile.item], s, overlays);
            if (!tile.entry->type.empty()) types.insert(tile.entry->type);
            ++shown;
        }
    }
    html += "<p class=\"note\">Eine Auswahl: zuerst die Eingaben mit Problemen, dann bis zu " +
            germanCount(kNotableThumbnails) +
            " Bilder ohne Zahn oder ohne angenommenen Kanal (die ersten in der Reihenfolge der "
            "Eingaben), dann eine gleichmäßige Auswahl von bis zu " +
            germanCount(kSpreadThumbnails) +
            " Eingaben (bei Videos das erste ausgewertete Bild). Jedes Bild führt zu seiner "
            "vollen Überlagerung.</p>";
    html += filterForm(types, shown);
    return html + "<div class=\"gallery\" data-tiles=\"" + std::to_string(shown) + "\">" + tiles +
           "</div>";
}

}  // namespace quendra
