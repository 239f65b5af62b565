#pragma once

// Reading a whole file the programs were given (a colour-class file, a picture, a scale file,
// a run record, a table). Only a regular file is read: the check is made on the opened file
// itself, which is opened without waiting, so a FIFO is refused instead of hanging the program
// and a device such as /dev/zero is refused instead of filling the memory. A file larger than
// the limit its kind allows is refused before a byte of it is read, and one that grows past
// the limit while it is read is refused too.

#include <cstdint>
#include <string>

namespace quendra {

enum class FileReadStatus {
    Ok,
    CannotOpen,  // the system's reason in `error`: missing, no permission, a link loop, ...
    NotAFile,    // a folder, a FIFO, a device or a socket
    TooLarge,    // more than the limit
    Failed,      // an error while reading, the system's reason in `error`
};

struct FileRead {
    FileReadStatus status = FileReadStatus::CannotOpen;
    std::string bytes;  // the whole file, only with Ok
    int error = 0;      // errno of CannotOpen and Failed
};

FileRead readRegularFile(const std::string& path, std::uintmax_t maxBytes);

// A short English text of what went wrong, for the batch analyser's messages: the system's
// own reason for CannotOpen and Failed ("No such file or directory"), "not a regular file",
// "larger than <maxBytes> MiB".
std::string describeFileRead(const FileRead& read, std::uintmax_t maxBytes);

}  // namespace quendra
