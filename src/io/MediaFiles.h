#pragma once

// What kind of file the programs open, told by the name's extension (in any case) or, for a
// TIFF, by its first bytes, and the check every file passes before it is opened.

#include <string>

namespace quendra {

// A Stack (slices through a tooth) is no kind a name tells: the batch analyser makes one of a
// multi-page TIFF, or of a folder when asked to.
enum class MediaKind { Other, Picture, Video, Stack };

// Pictures: jpg, jpeg, bmp, png, tif, tiff. Videos: avi, mov, mpg, mpeg, wmv, mp4.
MediaKind mediaKindOf(const std::string& path);

// True for a regular file, or a link to one. Anything else (a folder, a FIFO, a device, a
// socket) would hang or fail the readers and is refused before it is opened.
bool isRegularFile(const std::string& path);

// Whether a regular file begins as a TIFF does (II*\0 or MM\0*, BigTIFF II+\0 or MM\0+),
// whatever its name: a stack saved as "scan.png" is still read as the TIFF it is.
bool holdsTiff(const std::string& path);

}  // namespace quendra
