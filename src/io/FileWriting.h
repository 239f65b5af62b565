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

#include <cstdio>
#include <span>
#include <string>

namespace quendra {

// When the bytes reach the disk: before the file replaces the old one (a save the operator
// waits for), or when the system writes them back (a batch's thousands of pictures, which a
// run can make again and which would otherwise go at the pace of the disk's flushes). Either
// way the file is replaced as a whole or not at all.
enum class Durability { Flushed, Deferred };

// Returns false, leaving any existing file untouched and no temporary file behind, when the
// file could not be written; errno then tells why (ENOSPC, EFBIG for a full disk).
bool writeFileReplacing(const std::string& path, std::span<const char> bytes,
                        Durability durability = Durability::Flushed);

// The same for a file written piece by piece (a movie of many frames): the pieces go to the
// temporary file, which replaces the target only on commit(). Until then the target stays as
// it was; a file never committed is removed.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile() { abandon(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // False when the target cannot be replaced (it is not a regular file, its folder cannot be
    // written).
    bool open(const std::string& path);
    // Where the pieces go, also by seeking back and reading what was written; null unless open.
    std::FILE* stream() const { return file; }
    // Puts the file in place; false, and nothing left behind, when any write failed.
    bool commit(Durability durability);
    void abandon();

private:
    std::FILE* file = nullptr;
    std::string target, temp;
};

// The name of the file that a hidden temporary file of this program (`fileName`, the name
// alone) was to replace, or empty when it is no such file: what a process killed outright
// leaves behind.
std::string temporaryTargetName(const std::string& fileName);

// The file a path finally names once every symbolic link on it is followed (the path itself
// when it is no link, or when the links go round in circles). The file need not exist.
std::string followLinks(const std::string& path);

}  // namespace quendra
