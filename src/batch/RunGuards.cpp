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

}  // namespace quendra
