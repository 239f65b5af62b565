#include "overlay/RecognitionData.h"

#include <locale>
#include <optional>
#include <sstream>

#include "analysis/ToothType.h"
#include "io/FileWriting.h"
#include "overlay/ResultOverlay.h"

namespace quendra {

namespace {

constexpr const char* kDegree = "\xB0";

// An angle of exactly 0 reads "0", also when rounding left it negative.
float angleToWrite(float angle) {
    return angle == 0 ? 0.0f : angle;
}

// One tooth's block under `heading`; the canal threshold only when it was chosen per tooth.
void writeTooth(std::ostream& out, const std::string& heading, const ToothResult& tooth,
                std::span<const CanalResult> canals, std::optional<int> canalThreshold) {
    const std::locale previous = out.imbue(std::locale::classic());
    out << heading << "\n\n"
        << "Typ: " << toothTypeText(tooth.toothType) << "\n"
        << "Groesse: " << tooth.area << "\n"
        << "x: " << tooth.centerX << "px, y: " << tooth.centerY << "px\n"
        << "Winkel der langen Hauptachse: " << angleToWrite(tooth.angle) << kDegree << "\n";
    if (canalThreshold) out << "Schwellwert (automatisch): " << *canalThreshold << "\n";
    out << "\n\nKanaele\n\n";
    int number = 1;
    for (const CanalResult& c : canals) {
        out << "Kanal " << number++ << "\n"
            << "Groesse: " << c.area << "px\n"
            << "x: " << c.centerX << "px, y: " << c.centerY << "px\n"
            << "Winkel der langen Hauptachse: " << angleToWrite(c.angle) << kDegree << "\n\n";
    }
    out.imbue(previous);
}

}  // namespace

void writeRecognitionData(std::ostream& out, const ToothResult& tooth,
                          std::span<const CanalResult> canals) {
    writeTooth(out, "Zahn", tooth, canals, std::nullopt);
}

void writeRecognitionData(std::ostream& out, const FrameResult& result) {
    if (!result.hasResults) return;
    const std::vector<const ToothFinding*> teeth = result.teeth();
    for (std::size_t i = 0; i < teeth.size(); ++i) {
        const ToothFinding& t = *teeth[i];
        if (t.canals.empty()) continue;
        const std::string heading = teeth.size() == 1 ? "Zahn" : "Zahn " + std::to_string(i + 1);
        writeTooth(out, heading, t.tooth, t.canals,
                   result.settings.autoThreshold ? std::optional(t.canalThreshold) : std::nullopt);
    }
}

void writeRecognitionSettings(std::ostream& out, const AnalysisSettings& settings,
                              const std::string& source) {
    const std::locale previous = out.imbue(std::locale::classic());
    out << "Einstellungen\n\nSchwellwert: ";
    if (settings.autoThreshold)
        out << "automatisch";
    else
        out << settings.threshold;
    out << "\nFarbklassen-Schwellwert: " << settings.classThreshold
        << (settings.autoClassThreshold ? " (automatisch)" : "") << "\n"
        << "Kanal-Mindestgroesse: " << settings.minCanalArea << "px\n"
        << "Alle Zaehne: " << (settings.teeth == TeethChoice::All ? "ja" : "nein") << "\n"
        << "Quelle: " << source << "\n";
    out.imbue(previous);
}

bool saveRecognitionData(const std::string& path, const FrameResult& result, Durability durability,
                         const std::string& source) {
    std::ostringstream text;
    writeRecognitionData(text, result);
    if (result.hasResults && !source.empty())
        writeRecognitionSettings(text, result.settings, source);
    const std::string bytes = text.str();
    return writeFileReplacing(path, bytes, durability);
}

}  // namespace quendra
