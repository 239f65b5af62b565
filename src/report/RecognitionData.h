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

#include <ostream>
#include <span>
#include <string>

#include "analysis/FrameResult.h"
#include "io/FileWriting.h"

namespace quendra {

// Writes the tooth block and one block per canal, numbered from 1 in list order.
void writeRecognitionData(std::ostream& out, const ToothResult& tooth,
                          std::span<const CanalResult> canals);

// Writes the results (an empty file without results) to the file, replacing an existing one
// only when all of it was written; false when the file could not be written.
bool saveRecognitionData(const std::string& path, const FrameResult& result,
                         Durability durability = Durability::Flushed);

}  // namespace quendra
