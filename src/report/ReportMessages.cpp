#include "report/ReportMessages.h"

#include <array>
#include <optional>
#include <vector>

namespace quendra {

namespace {

// Every kind of message the batch names, as its English pattern and the German the page shows.
// In a pattern "{n}" stands for a number and "{}" for any other part taken over as it is (a
// file name), "{r}" for a part that is a message of its own (a reason in parentheses), put into
// German too; in the German, "{1}", "{2}", ... are the parts in the pattern's order. A message
// matches a pattern whole, the first in the table that fits. When the batch gets a new message,
// it gets its line here; the report's tests hold the messages of real runs to this table.
struct MessageKind {
    std::string_view english, german;
};

constexpr std::array kMessages = std::to_array<MessageKind>({
    // Inputs (BatchInputs, FrameAnalyser) and the system's own reasons.
    {"not a regular file", "keine gewöhnliche Datei"},
    {"no such file or folder", "weder Datei noch Ordner dieses Namens"},
    {"No such file or directory", "Datei oder Ordner nicht gefunden"},
    {"Too many levels of symbolic links",
     "zu viele Ebenen symbolischer Verknüpfungen (eine Schleife)"},
    {"File name too long", "Dateiname zu lang"},
    {"Permission denied", "Zugriff verweigert"},
    {"No space left on device", "kein Platz mehr auf dem Datenträger"},
    {"File too large", "Datei zu groß (Grenze der Dateigröße)"},
    {"Input/output error", "Ein-/Ausgabefehler"},
    {"out of memory", "kein Speicher mehr"},
    {"neither a picture nor a video", "weder ein Bild noch ein Video"},
    {"its name in the table would be that of {}; rename one of them",
     "ihr Name in der Tabelle wäre der von {1}; eine der beiden umbenennen"},
    {"the folder holds no pictures to stack", "der Ordner enthält keine Bilder für einen Stapel"},
    {"the folder holds no pictures or videos", "der Ordner enthält weder Bilder noch Videos"},
    {"the file is larger than {n} MiB, more than a picture's limit",
     "die Datei ist größer als {1} MiB, mehr als die Grenze eines Bildes"},
    {"the picture has {n} x {n} pixels, more than the limit of {n} megapixels",
     "das Bild hat {1} × {2} Bildpunkte, mehr als die Grenze von {3} Megapixeln"},
    {"the video's frames have {n} x {n} pixels, more than the limit of {n} megapixels",
     "die Bilder des Videos haben {1} × {2} Bildpunkte, mehr als die Grenze von {3} Megapixeln"},
    {"{n} x {n} pixels, more than the limit of {n} megapixels",
     "{1} × {2} Bildpunkte, mehr als die Grenze von {3} Megapixeln"},
    {"a TIFF of several pages; only single-page TIFF pictures are read",
     "ein TIFF aus mehreren Seiten; als Bild werden nur TIFF-Dateien aus einer Seite gelesen"},
    {"a TIFF of {n} pages, though its name ends in {}; read as the stack it is",
     "ein TIFF aus {1} Seiten, obwohl sein Name auf {2} endet; als der Stapel gelesen, der es "
     "ist"},
    {"the class {r} has only {n} trained colours, fewer than the {n} the vote needs, so nothing "
     "of it is found; train more colours of it (a larger rectangle)",
     "die Klasse {1} hat nur {2} trainierte Farben, weniger als die {3}, die die Abstimmung "
     "braucht, daher wird nichts von ihr gefunden; mehr Farben von ihr trainieren (ein "
     "größeres Rechteck)"},
    {"enamel", "Zahnschmelz"},
    {"gum", "Zahnfleisch"},
    {"cannot read the picture", "das Bild kann nicht gelesen werden"},
    {"cannot read the video", "das Video kann nicht gelesen werden"},
    {"cannot read the stack of slices", "der Schichtstapel kann nicht gelesen werden"},
    {"out of memory while decoding the picture", "kein Speicher mehr beim Lesen des Bildes"},
    {"out of memory while decoding the video", "kein Speicher mehr beim Lesen des Videos"},
    {"out of memory while decoding the stack of slices",
     "kein Speicher mehr beim Lesen des Schichtstapels"},
    {"out of memory while analysing", "kein Speicher mehr bei der Auswertung"},
    {"the analysis failed ({})", "die Auswertung schlug fehl ({1})"},
    // Frames, slices and their reasons (RunProblems, StackResults, io's TIFF pages).
    {"frame {n} cannot be read", "Bild {1} kann nicht gelesen werden"},
    {"frame {n} cannot be read ({r})", "Bild {1} kann nicht gelesen werden ({2})"},
    {"frames {n} to {n} cannot be read", "Bilder {1} bis {2} können nicht gelesen werden"},
    {"frames {n} to {n} cannot be read ({r})",
     "Bilder {1} bis {2} können nicht gelesen werden ({3})"},
    {"slice {n} cannot be read", "Schicht {1} kann nicht gelesen werden"},
    {"slice {n} cannot be read ({r})", "Schicht {1} kann nicht gelesen werden ({2})"},
    {"slices {n} to {n} cannot be read", "Schichten {1} bis {2} können nicht gelesen werden"},
    {"slices {n} to {n} cannot be read ({r})",
     "Schichten {1} bis {2} können nicht gelesen werden ({3})"},
    {"frame {n} has another size than the first; the movie leaves it out",
     "Bild {1} hat eine andere Größe als das erste; der Film lässt es aus"},
    {"its size differs from the slices before; its canals are not followed",
     "ihre Größe weicht von der der Schichten davor ab; ihre Kanäle werden nicht verfolgt"},
    {"the file ends after page {n}, though it names further pages (a copy cut short?): its pages "
     "are analysed, its roots not named, since they would be those of a part of it",
     "die Datei endet nach Seite {1}, nennt aber weitere Seiten (eine abgeschnittene Kopie?): "
     "ihre Seiten sind ausgewertet, ihre Wurzeln nicht benannt, da es die eines Teils wären"},
    {"its page chain loops back after page {n}; pages {n} to {n} are read and analysed, its "
     "roots not named, since they could be those of a part of it",
     "ihre Seitenkette springt nach Seite {1} zurück; die Seiten {2} bis {3} sind gelesen und "
     "ausgewertet, ihre Wurzeln nicht benannt, da es die eines Teils sein könnten"},
    {"its pages change from {n} to {n} bits at page {n}; a stack is read only with one depth "
     "throughout, since 8-bit slices keep their greys and 16-bit ones go through the stack's "
     "grey window, and a root's canals would not be followed across the change (convert it to "
     "one depth)",
     "seine Seiten wechseln auf Seite {3} von {1} zu {2} Bit; ein Stapel wird nur mit einer "
     "Tiefe gelesen, da 8-Bit-Schichten ihre Grauwerte behalten und 16-Bit-Schichten durch das "
     "Grauwertfenster des Stapels gehen, und die Kanäle einer Wurzel würden über den Wechsel "
     "hinweg nicht verfolgt (in eine Tiefe umwandeln)"},
    {"the page's directory cannot be read (damaged)",
     "das Verzeichnis der Seite kann nicht gelesen werden (beschädigt)"},
    {"the page has {r}; pages of 8 or 16 bits, grey or RGB, are read",
     "die Seite hat {1}; gelesen werden Seiten aus 8 oder 16 Bit, grau oder RGB"},
    {"{n}-bit floating-point samples", "{1}-Bit-Gleitkommawerte"},
    {"signed or complex samples", "Werte mit Vorzeichen oder komplexe Werte"},
    {"{n}-bit samples", "{1}-Bit-Werte"},
    {"a colour palette", "eine Farbpalette"},
    {"the colour model {n} (not grey or RGB)", "das Farbmodell {1} (weder grau noch RGB)"},
    // A root's note in stacks.csv (CanalTracking).
    {"no stretch of equal canal count runs {n} slices (--min-run)",
     "keine Strecke gleicher Kanalzahl reicht über {1} Schichten (--min-run)"},
    {"the configuration {} is none of Vertucci's types",
     "die Konfiguration {1} ist keiner der Typen nach Vertucci"},
    // Outputs and the run (FrameAnalyser, OrderedWriter, MovieListener, CheckedRun, RunReport).
    {"cannot be written", "kann nicht geschrieben werden"},
    {"cannot be written ({r})", "kann nicht geschrieben werden ({1})"},
    {"cannot be encoded", "kann nicht kodiert werden"},
    {"{n} teeth and canals do not fit a 16-bit label picture (at most {n}); none is written",
     "{1} Zähne und Kanäle passen nicht in ein 16-Bit-Labelbild (höchstens {2}); keines wird "
     "geschrieben"},
    {"the table cannot be written", "die Tabelle kann nicht geschrieben werden"},
    {"the table cannot be written ({r}); the run stops, the table keeps every row before",
     "die Tabelle kann nicht geschrieben werden ({1}); der Lauf endet, die Tabelle behält jede "
     "Zeile davor"},
    {"removed while the run wrote it (its folder deleted?): its rows are lost; the run stops",
     "entfernt, während der Lauf sie schrieb (ihr Ordner gelöscht?): ihre Zeilen sind verloren; "
     "der Lauf endet"},
    {"the report cannot be written", "der Bericht kann nicht geschrieben werden"},
    {"the report cannot be made ({})", "der Bericht kann nicht erstellt werden ({1})"},
    {"the run stopped: {r}; the table keeps every finished frame, --resume continues",
     "der Lauf wurde abgebrochen: {1}; die Tabelle behält jedes fertige Bild, --resume setzt "
     "ihn fort"},
    // What happened to one frame or slice: last, since its reason may be any of the above.
    {"frame {n}: {r}", "Bild {1}: {2}"},
    {"slice {n}: {r}", "Schicht {1}: {2}"},
});

// What stands before ": " in these problems is no file: they concern the whole run.
constexpr std::array kRunProblemLeads = std::to_array<std::string_view>({"the run stopped: "});

std::string translated(std::string_view english, bool nested);

// A hole's part of a message: the text, and whether it is a message of its own.
struct Part {
    std::string_view text;
    bool nested;
};

// Matches `text` from `at` against the pattern from `p`, collecting the holes' parts.
bool matches(std::string_view pattern, std::size_t p, std::string_view text, std::size_t at,
             std::vector<Part>& parts) {
    if (p == pattern.size()) return at == text.size();
    if (pattern[p] != '{') {
        const std::size_t hole = std::min(pattern.find('{', p), pattern.size());
        const std::string_view literal = pattern.substr(p, hole - p);
        return text.substr(at, literal.size()) == literal &&
               matches(pattern, hole, text, at + literal.size(), parts);
    }
    const std::size_t close = pattern.find('}', p);
    const std::string_view hole = pattern.substr(p, close - p + 1);
    // A part is never empty; every end is tried, the shortest first.
    for (std::size_t end = at + 1; end <= text.size(); ++end) {
        if (hole == "{n}" && (text[end - 1] < '0' || text[end - 1] > '9')) return false;
        parts.push_back({text.substr(at, end - at), hole == "{r}"});
        if (matches(pattern, close + 1, text, end, parts)) return true;
        parts.pop_back();
    }
    return false;
}

std::string filledIn(std::string_view german, const std::vector<Part>& parts) {
    std::string text;
    for (std::size_t i = 0; i < german.size(); ++i) {
        const bool hole = german[i] == '{' && i + 2 < german.size() && german[i + 2] == '}' &&
                          german[i + 1] >= '1' && german[i + 1] <= '9';
        if (!hole) {
            text += german[i];
            continue;
        }
        const auto index = static_cast<std::size_t>(german[i + 1] - '1');
        if (index < parts.size())
            text += parts[index].nested ? translated(parts[index].text, true)
                                        : std::string(parts[index].text);
        i += 2;
    }
    return text;
}

std::optional<std::string> fromTable(std::string_view english) {
    std::vector<Part> parts;
    for (const MessageKind& kind : kMessages) {
        parts.clear();
        if (matches(kind.english, 0, english, 0, parts)) return filledIn(kind.german, parts);
    }
    return std::nullopt;
}

// A reason inside a message that the table does not know stays as it is, except that a slice
// file's name before it ("7.png: <reason>") does not hide a reason the table knows.
std::string translated(std::string_view english, bool nested) {
    if (auto german = fromTable(english)) return *german;
    if (!nested) return "(englische Meldung) " + std::string(english);
    if (const std::size_t colon = english.find(": "); colon != std::string_view::npos)
        return std::string(english.substr(0, colon + 2)) +
               translated(english.substr(colon + 2), true);
    return std::string(english);
}

}  // namespace

ProblemParts splitProblem(std::string_view problem) {
    for (const std::string_view lead : kRunProblemLeads)
        if (problem.starts_with(lead)) return {{}, std::string(problem)};
    const std::size_t colon = problem.find(": ");
    if (colon == std::string_view::npos) return {{}, std::string(problem)};
    std::string_view file = problem.substr(0, colon);
    std::string_view reason = problem.substr(colon + 2);
    // "<video>, frame 3: ..." concerns the video; the frame leads its reason.
    for (const std::string_view place : {", frame ", ", slice "}) {
        const std::size_t at = file.find(place);
        if (at == std::string_view::npos) continue;
        return {std::string(file.substr(0, at)),
                std::string(problem.substr(at + 2, colon - at - 2)) + ": " + std::string(reason)};
    }
    return {std::string(file), std::string(reason)};
}

std::string germanMessage(std::string_view english) {
    return translated(english, false);
}

}  // namespace quendra
