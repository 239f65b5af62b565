#include "report/RecognitionData.h"

#include <locale>
#include <sstream>

#include "io/FileWriting.h"
#include "report/ResultOverlay.h"

namespace quendra {

namespace {

constexpr const char* kDegree = "\xB0";

// An angle of exactly 0 reads "0", also when rounding left it negative.
float angleToWrite(float angle) {
    return angle == 0 ? 0.0f : angle;
}

}  // namespace

void writeRecognitionData(std::ostream& out, const ToothResult& tooth,
                          std::span<const CanalResult> canals) {
    const std::locale previous = out.imbue(std::locale::classic());
    out << "Zahn\n\n"
        << "Typ: " << toothTypeText(tooth.toothType) << "\n"
        << "Groesse: " << tooth.area << "\n"
        << "x: " << tooth.centerX << "px, y: " << tooth.centerY << "px\n"
        << "Winkel der langen Hauptachse: " << angleToWrite(tooth.angle) << kDegree << "\n\n\n"
        << "Kanaele\n\n";
    int number = 1;
    for (const CanalResult& c : canals) {
        out << "Kanal " << number++ << "\n"
            << "Groesse: " << c.area << "px\n"
            << "x: " << c.centerX << "px, y: " << c.centerY << "px\n"
            << "Winkel der langen Hauptachse: " << angleToWrite(c.angle) << kDegree << "\n\n";
    }
    out.imbue(previous);
}

bool saveRecognitionData(const std::string& path, const FrameResult& result,
                         Durability durability) {
    std::ostringstream text;
    if (result.hasResults) writeRecognitionData(text, result.tooth, result.canals);
    const std::string bytes = text.str();
    return writeFileReplacing(path, bytes, durability);
}

}  // namespace quendra
