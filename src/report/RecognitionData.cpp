#include "report/RecognitionData.h"

#include <locale>
#include <sstream>

#include "io/FileWriting.h"
#include "report/ResultOverlay.h"

namespace quendra {

namespace {
constexpr const char* kDegree = "\xB0";
}

void writeRecognitionData(std::ostream& out, const ToothResult& tooth,
                          std::span<const CanalResult> canals) {
    const std::locale previous = out.imbue(std::locale::classic());
    out << "Zahn\n\n"
        << "Typ: " << toothTypeText(tooth.toothType) << "\n"
        << "Groesse: " << tooth.area << "\n"
        << "x: " << tooth.centerX << "px, y: " << tooth.centerY << "px\n"
        << "Winkel der langen Hauptachse: " << tooth.angle << kDegree << "\n\n\n"
        << "Kanaele\n\n";
    int number = 1;
    for (const CanalResult& c : canals) {
        out << "Kanal " << number++ << "\n"
            << "Groesse: " << c.area << "px\n"
            << "x: " << c.centerX << "px, y: " << c.centerY << "px\n"
            << "Winkel der langen Hauptachse: " << c.angle << kDegree << "\n\n";
    }
    out.imbue(previous);
}

bool saveRecognitionData(const std::string& path, const FrameResult& result) {
    std::ostringstream text;
    if (result.hasResults) writeRecognitionData(text, result.tooth, result.canals);
    const std::string bytes = text.str();
    return writeFileReplacing(path, bytes);
}

}  // namespace quendra
