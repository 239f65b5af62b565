#include "batch/RunGuards.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>

namespace quendra {

namespace {

std::atomic<int> stopSignal{0};

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

bool FolderLock::acquire(const std::filesystem::path& lockFile) {
    fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool MadeForTheRun::makeFolders(const std::filesystem::path& folder) {
    std::error_code ec;
    std::vector<std::filesystem::path> missing;
    for (auto f = std::filesystem::absolute(folder, ec).lexically_normal();
         !f.empty() && !std::filesystem::exists(f, ec); f = f.parent_path())
        missing.push_back(f);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!std::filesystem::create_directory(*it, ec) && ec) return false;
        folders.push_back(*it);
    }
    return true;
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
