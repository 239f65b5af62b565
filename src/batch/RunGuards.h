#pragma once

// What keeps a batch run safe while it lasts: the signals that stop it cleanly, and the lock
// that keeps a second run out of its output folder.

#include <csignal>
#include <filesystem>
#include <iterator>
#include <string>

namespace quendra {

// SIGINT, SIGTERM and SIGHUP (a closed terminal or ssh session) stop the run after the frames
// in hand, for as long as this object lives; a second signal ends the process at once, as the
// operator expects of a second Ctrl-C.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal that asked to stop, 0 while none did.
    static int received();
    // "SIGINT", "SIGTERM" or "SIGHUP".
    static const char* name(int signo);

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous[std::size(kSignals)]{};
};

// An exclusive lock on a lock file in the output folder (one per shard), held while the object
// lives. The file stays; the lock goes with the process, however it ends.
class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // False while another process holds it.
    bool acquire(const std::filesystem::path& lockFile);

private:
    int fd = -1;
};

}  // namespace quendra
