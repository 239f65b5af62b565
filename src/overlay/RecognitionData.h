#pragma once

// The recognition-data text: the tooth and its canals, for the operator's records.
//
// Layout with results ("\n" is one line feed, numbers as a classic-locale stream writes them):
//   "Zahn\n\n" "Typ: <type>\n" "Groesse: <area>\n" "x: <x>px, y: <y>px\n"
//   "Winkel der langen Hauptachse: <angle>°\n\n\n" "Kanaele\n\n"
// then for canal i = 1, 2, ...:
//   "Kanal <i>\n" "Groesse: <area>px\n" "x: <x>px, y: <y>px\n"
//   "Winkel der langen Hauptachse: <angle>°\n\n"
// The degree sign is the single byte 0xB0 (Windows-1252). Without results the text is empty.
// With a canal threshold chosen per tooth, "Schwellwert (automatisch): <t>\n" follows the
// tooth's angle line. With several teeth, every tooth with an accepted canal has a block of its
// own, headed "Zahn <n>" with n its place among the analysed teeth (the table's tooth number).
//
// The window's texts end with the settings that shaped the result and where its frame came
// from (the batch's texts have their run record for that, and stay as they are):
//   "Einstellungen\n\n" "Schwellwert: <t>\n" (or "automatisch") "Farbklassen-Schwellwert: <c>\n"
//   (" (automatisch)" before the line feed when chosen from the classes)
//   "Kanal-Mindestgroesse: <a>px\n" "Alle Zaehne: ja\n" (or "nein") "Quelle: <source>\n"

#include <ostream>
#include <span>
#include <string>

#include "analysis/FrameResult.h"
#include "io/FileWriting.h"

namespace quendra {

// Writes the tooth block and one block per canal, numbered from 1 in list order.
void writeRecognitionData(std::ostream& out, const ToothResult& tooth,
                          std::span<const CanalResult> canals);

// Writes every tooth with an accepted canal, as above; nothing without results.
void writeRecognitionData(std::ostream& out, const FrameResult& result);

// The settings block above, `source` as given ("zahn.png", "film.avi, Bild 42").
void writeRecognitionSettings(std::ostream& out, const AnalysisSettings& settings,
                              const std::string& source);

// Writes the results (an empty file without results) to the file, replacing an existing one
// only when all of it was written; false when the file could not be written. With a `source`,
// results are followed by the settings block.
bool saveRecognitionData(const std::string& path, const FrameResult& result,
                         Durability durability = Durability::Flushed,
                         const std::string& source = {});

}  // namespace quendra
