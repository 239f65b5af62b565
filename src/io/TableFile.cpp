#include "io/TableFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quendra {

TableFile::~TableFile() {
    if (fd >= 0) ::close(fd);
}

bool TableFile::open(const std::filesystem::path& path) {
    name = path;
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0) return false;
    length = static_cast<std::uintmax_t>(end);
    return true;
}

bool TableFile::lock() {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool TableFile::truncate(std::uintmax_t bytes) {
    if (::ftruncate(fd, static_cast<off_t>(bytes)) != 0) return false;
    length = bytes;
    return true;
}

bool TableFile::append(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(length + done));
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (!(n < 0 && errno == EINTR)) {
            const int error = n < 0 ? errno : ENOSPC;
            (void)!::ftruncate(fd, static_cast<off_t>(length));
            errno = error;
            return false;
        }
    }
    length += done;
    return true;
}

bool TableFile::sync() {
    return ::fsync(fd) == 0;
}

bool TableFile::removed() const {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && status.st_nlink == 0;
}

std::string removedTableProblem(const std::string& name) {
    return name +
           ": removed while the run wrote it (its folder deleted?): its rows are lost; "
           "the run stops";
}

}  // namespace quendra
