#include "io/FileWriting.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>

namespace quendra {

namespace fs = std::filesystem;

namespace {

// The limit Linux itself sets on the links of one path.
constexpr int kMaxLinks = 40;

const char* const kTemporaryEnd = ".tmp";

// A fresh hidden name beside the target, ".<name>.<process>-<count>.tmp", created exclusively with
// the usual permissions (the process's umask applies, unlike mkstemp's owner-only files), open for
// reading too: libtiff reads back the pages it wrote to link the next one. Safe from several
// threads.
int createTemporary(const fs::path& target, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = (target.parent_path() /
                ("." + target.filename().string() + "." + std::to_string(::getpid()) + "-" +
                 std::to_string(counter++) + kTemporaryEnd))
                   .string();
        const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Gives the new file the mode and owner of the one it replaces. The owner is best effort:
// only a privileged process may give a file away.
bool takeOver(int fd, const struct stat& old) {
    if (::fchmod(fd, old.st_mode & 07777) != 0) return false;
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
        (void)!::fchown(fd, old.st_uid, old.st_gid);
    return true;
}

// Makes the rename itself durable; a folder that cannot be synced (some network file systems)
// does not undo a write that already succeeded.
void syncFolder(const fs::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string temporaryTargetName(const std::string& fileName) {
    const std::string end = kTemporaryEnd;
    if (fileName.size() < 2 + end.size() || fileName[0] != '.' || !fileName.ends_with(end))
        return {};
    const std::string rest = fileName.substr(1, fileName.size() - 1 - end.size());
    const std::size_t dot = rest.rfind('.');
    const std::size_t dash = rest.rfind('-');
    const auto digits = [&](std::size_t from, std::size_t to) {
        return from < to && std::all_of(rest.begin() + static_cast<std::ptrdiff_t>(from),
                                        rest.begin() + static_cast<std::ptrdiff_t>(to),
                                        [](char c) { return c >= '0' && c <= '9'; });
    };
    if (dot == std::string::npos || dot == 0 || dash == std::string::npos || dash < dot ||
        !digits(dot + 1, dash) || !digits(dash + 1, rest.size()))
        return {};
    return rest.substr(0, dot);
}

std::string followLinks(const std::string& path) {
    fs::path current = path;
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code ec;
        if (!fs::is_symlink(current, ec)) return current.string();
        const fs::path next = fs::read_symlink(current, ec);
        if (ec) return current.string();
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return path;
}

bool writeFileReplacing(const std::string& path, std::span<const char> bytes,
                        Durability durability) {
    ReplacingFile file;
    return file.open(path) &&
           std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) == bytes.size() &&
           file.commit(durability);
}

bool ReplacingFile::open(const std::string& path) {
    abandon();
    target = followLinks(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return false;
    const int fd = createTemporary(target, temp);
    if (fd < 0) return false;
    if ((exists && !takeOver(fd, old)) || !(file = ::fdopen(fd, "w+b"))) {
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool ReplacingFile::commit(Durability durability) {
    if (!file) return false;
    bool ok = std::fflush(file) == 0 && !std::ferror(file) &&
              (durability == Durability::Deferred || ::fsync(::fileno(file)) == 0);
    ok = std::fclose(file) == 0 && ok;
    file = nullptr;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno;  // why it failed, for the caller (a full disk stops a run)
        ::unlink(temp.c_str());
        errno = error;
        return false;
    }
    if (durability == Durability::Flushed) syncFolder(fs::path(target).parent_path());
    return true;
}

void ReplacingFile::abandon() {
    if (!file) return;
    const int error = errno;  // of the write that failed, if one did
    std::fclose(file);
    file = nullptr;
    ::unlink(temp.c_str());
    errno = error;
}

}  // namespace quendra
