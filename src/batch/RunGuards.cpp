#include "batch/RunGuards.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace quendra {

namespace {

std::atomic<int> stopSignal{0};

std::string hostName() {
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

bool processAlive(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// The owner a lock file names ("pid <n> host <name>"); pid 0 when it names none.
struct LockOwner {
    pid_t pid = 0;
    std::string host;
};

LockOwner lockOwnerOf(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string pidWord, hostWord;
    LockOwner owner;
    if (!(in >> pidWord >> owner.pid >> hostWord >> owner.host) || pidWord != "pid" ||
        hostWord != "host" || owner.pid <= 0)
        return {};
    return owner;
}

extern "C" void onStopSignal(int signo) {
    if (stopSignal.exchange(signo) != 0) {
        std::signal(signo, SIG_DFL);
        std::raise(signo);
    }
}

}  // namespace

StopSignals::StopSignals() {
    stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &action, &previous[i]);
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &previous[i], nullptr);
}

int StopSignals::received() {
    return stopSignal;
}

const char* StopSignals::name(int signo) {
    return signo == SIGINT ? "SIGINT" : signo == SIGTERM ? "SIGTERM" : "SIGHUP";
}

FolderLock::~FolderLock() {
    if (fd >= 0) ::close(fd);
}

std::optional<std::string> FolderLock::acquire(const std::filesystem::path& lockFile,
                                               std::string& note) {
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(lockFile, ec))) {
        const LockOwner owner = lockOwnerOf(lockFile / "owner");
        const bool ended = owner.pid > 0 && owner.host == hostName() && !processAlive(owner.pid);
        const bool empty = std::filesystem::is_empty(lockFile, ec) && !ec;
        if (!(empty || ended) || (std::filesystem::remove_all(lockFile, ec), ec))
            return "the lock " + lockFile.string() + " is a folder" +
                   (owner.pid > 0 ? " of pid " + std::to_string(owner.pid) + " on " + owner.host
                                  : std::string()) +
                   ", no lock of a running quendra-batch; if no run writes into this folder, "
                   "remove it (rm -r '" +
                   lockFile.string() + "')";
        note = lockFile.string() + ": a leftover of a stopped run" +
               (ended ? " (pid " + std::to_string(owner.pid) + ")" : std::string()) +
               ", taken over";
    }
    fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return lockFile.string() + ": the lock cannot be made (" + std::strerror(errno) + ")";
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const LockOwner owner = lockOwnerOf(lockFile);
        return "another quendra-batch run is writing into this folder" +
               (owner.pid > 0 ? " (pid " + std::to_string(owner.pid) + " on " + owner.host + ")"
                              : std::string());
    }
    const std::string record = "pid " + std::to_string(::getpid()) + " host " + hostName() + "\n";
    // The owner is a help to the reader, not part of the lock: a failed write leaves it held.
    if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, record.data(), record.size(), 0);
    return std::nullopt;
}

std::error_code MadeForTheRun::makeFolders(const std::filesystem::path& folder) {
    std::error_code ec;
    std::vector<std::filesystem::path> missing;
    for (auto f = std::filesystem::absolute(folder, ec).lexically_normal();
         !f.empty() && !std::filesystem::exists(f, ec); f = f.parent_path())
        missing.push_back(f);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!std::filesystem::create_directory(*it, ec) && ec) return ec;
        folders.push_back(*it);
    }
    return {};
}

void MadeForTheRun::aboutToCreate(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec))) files.push_back(file);
}

void MadeForTheRun::undo() {
    std::error_code ec;
    for (const auto& f : files) std::filesystem::remove(f, ec);
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        std::filesystem::remove(*it, ec);  // only an empty folder goes
    files.clear();
    folders.clear();
}

}  // namespace quendra
