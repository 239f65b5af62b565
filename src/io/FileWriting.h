#pragma once

// Writing a whole file so that a failure never leaves a half-written or lost file behind: the
// bytes go to a hidden temporary file beside the target, are flushed to the disk, and only then
// replace the target in one rename. An existing file therefore stays intact when the disk is
// full, the folder is read-only or the program is stopped half-way.
//
// A target that is a symbolic link is written through: the file the link points to is
// replaced and the link stays. A replaced file keeps its permission bits (and, where the
// process may, its owner). A target that exists but is not a regular file (a folder, a FIFO,
// a device) is refused untouched.

#include <span>
#include <string>

namespace quendra {

// When the bytes reach the disk: before the file replaces the old one (a save the operator
// waits for), or when the system writes them back (a batch's thousands of pictures, which a
// run can make again and which would otherwise go at the pace of the disk's flushes). Either
// way the file is replaced as a whole or not at all.
enum class Durability { Flushed, Deferred };

// Returns false, leaving any existing file untouched and no temporary file behind, when the
// file could not be written.
bool writeFileReplacing(const std::string& path, std::span<const char> bytes,
                        Durability durability = Durability::Flushed);

// The file a path finally names once every symbolic link on it is followed (the path itself
// when it is no link, or when the links go round in circles). The file need not exist.
std::string followLinks(const std::string& path);

}  // namespace quendra
