#include "io/FileReading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace quendra {

namespace {

class OpenFile {
public:
    explicit OpenFile(const std::string& path)
        : fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {}
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    const int fd;
};

}  // namespace

FileRead readRegularFile(const std::string& path, std::uintmax_t maxBytes) {
    FileRead read;
    const OpenFile file(path);
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0) {
        read.error = errno;
        return read;
    }
    if (!S_ISREG(info.st_mode)) {
        read.status = FileReadStatus::NotAFile;
        return read;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        read.status = FileReadStatus::TooLarge;
        return read;
    }
    read.bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == read.bytes.size()) {
            // The file may have grown since: one byte more than the limit tells.
            if (done > maxBytes) break;
            read.bytes.resize(std::min<std::uintmax_t>(maxBytes + 1, 2 * done + 4096));
        }
        const ssize_t n = ::read(file.fd, read.bytes.data() + done, read.bytes.size() - done);
        if (n == 0) {
            read.bytes.resize(done);
            read.status = FileReadStatus::Ok;
            return read;
        }
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (errno != EINTR) {
            read.error = errno;
            read.status = FileReadStatus::Failed;
            read.bytes.clear();
            return read;
        }
    }
    read.bytes.clear();
    read.status = FileReadStatus::TooLarge;
    return read;
}

std::string describeFileRead(const FileRead& read, std::uintmax_t maxBytes) {
    switch (read.status) {
        case FileReadStatus::Ok:
            return {};
        case FileReadStatus::NotAFile:
            return "not a regular file";
        case FileReadStatus::TooLarge:
            return "larger than " + std::to_string(maxBytes >> 20) + " MiB";
        default:
            return std::error_code(read.error, std::generic_category()).message();
    }
}

}  // namespace quendra
