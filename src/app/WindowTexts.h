#pragma once

// The window's German texts that report values: its messages and the lines of its status bar.
// Paths are written as the platform writes them; numbers as plain digits.

#include <QString>
#include <array>
#include <cstddef>
#include <opencv2/core.hpp>

#include "analysis/FrameResult.h"
#include "io/ColorClassFile.h"
#include "io/PictureFile.h"

struct ColorPick;
class VideoModel;

// Why a colour-class file could not be used, naming the record at fault; empty for Ok.
QString classFileMessage(const quendra::ClassFileRead& read, const QString& path);
// Why a picture could not be opened.
QString pictureMessage(quendra::PictureStatus status, cv::Size size, const QString& path);
// Its reason beside the message, one for each status: `Bild nicht geöffnet (zahn.png): Datei
// nicht gefunden.`, `...: Die Datei ist leer.`; `error` the errno of CannotOpen.
QString pictureNotOpenedText(const QString& path, quendra::PictureStatus status, cv::Size size,
                             int error);

// `Bild "zahn.png" geöffnet: 640 × 480 Bildpunkte.`
QString pictureOpenedText(const QString& path, cv::Size size);
// `Video "film.avi" geöffnet: 640 × 480 Bildpunkte, 250 Bilder, 25 Bilder/s.`, and how many
// frames the file promised if only `frames` of them can be read.
QString videoOpenedText(const QString& path, cv::Size size, int frames, double rate, int promised);
// `Wiedergabe in Echtzeit: 12 Bilder übersprungen, ...`
QString framesSkippedText(int skipped);
bool isSkipText(const QString& text);
// `Bild 43 des Videos kann nicht gelesen werden; zu sehen ist weiter Bild 36.`; for a stack
// `Schicht 5 des Stapels kann nicht gelesen werden: <warum>; zu sehen ist weiter Schicht 4.`
// Frames are given from 0 and named as the video panel names them (slices from 1).
QString frameUnreadableText(const VideoModel& video, int index, int shown);
// Why the video or stack cannot be opened.
QString videoRefusedMessage(const VideoModel& video, const QString& path);
// The status after opening a video or a stack: videoOpenedText or stackOpenedText, and for a
// stack cut short or starting with slices that cannot be read, what is shown of it.
QString videoOpenedStatus(const VideoModel& video, const QString& path, cv::Size size);
// `Stapel "schnitte.tif" geöffnet: 640 × 480 Bildpunkte, 40 Schichten.`
QString stackOpenedText(const QString& path, cv::Size size, int slices);

// `Zahnschmelz: 152 neue Farben, jetzt 1520 Farben.`, then `12 Farben in beiden Klassen.` if
// any colour was picked for both, and that only the part in the frame counts of a rectangle
// that reached over its edge; for a click without a rectangle how to pick, and for a rectangle
// beside the frame that it lies outside.
QString pickText(const ColorPick& pick);
// `Farbklassen geladen: 1520 Farben Zahnschmelz, 830 Farben Zahnfleisch (klassen.dat).`, with
// the colours picked for both classes if there are any; a class with too few colours to be
// found (quendra::sparseClasses) is named with what to do.
QString classesLoadedText(const QString& path, const std::array<std::size_t, 256>& counts);
// `Farbklassen gespeichert: 1520 Farben Zahnschmelz, 830 Farben Zahnfleisch (/a/klassen.dat).`
QString classesSavedText(const QString& path, const std::array<std::size_t, 256>& counts);

// `Zahn gefunden, 3 Kanäle: UK-Molar`, `Zahn gefunden, kein Kanal` or `Kein Zahn gefunden`;
// with several teeth `3 Zähne gefunden, 4 Kanäle` (their types are on the overlay).
QString analysisText(const quendra::FrameResult& result);
// `Bild gespeichert (/a/ansicht.png).`
QString pictureSavedText(const QString& path);
// `Erkennungsdaten gespeichert: Zahn und 3 Kanäle (/a/daten.txt).`, with several teeth
// `3 Zähne und 4 Kanäle`, or `leer, kein Ergebnis`.
QString recognitionSavedText(const QString& path, const quendra::FrameResult& result);
// Why a save failed, for the errno it left: `Bild nicht gespeichert (/a/ansicht.png): Keine
// Schreibberechtigung.`, for EINVAL that the name's extension names no picture format;
// `Erkennungsdaten nicht gespeichert (/a/daten.txt): Ordner nicht gefunden.`
QString pictureNotSavedText(const QString& path, int error);
QString recognitionNotSavedText(const QString& path, int error);
// Both: `Bild und Erkennungsdaten gespeichert: Zahn und 3 Kanäle (/a/ansicht.png, /a/daten.txt).`
QString viewSavedText(const QString& picture, const QString& text,
                      const quendra::FrameResult& result);

// Where a frame comes from: `zahn.png`, `film.avi, Bild 42`, `schnitte.tif, Schicht 3` (frames
// numbered as the video panel numbers them), for a source `name` and the video it is if any.
QString frameSourceText(const QString& name, const VideoModel* video);

// The view's zoom, "1:1 (100 %)", "Zoom 141 %" or "Eingepasst: 48 %".
QString zoomText(double scale, bool fitting);
