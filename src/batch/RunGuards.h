#pragma once

// What keeps a batch run safe while it lasts: the signals that stop it cleanly, the lock that
// keeps a second run out of its output folder, and the undoing of what a refused run made.

#include <csignal>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

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
// lives. The file stays, naming its owner ("pid <n> host <name>"), so that a run refused by it
// can tell who holds it; the lock goes with the process, however it ends.
class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Nothing once it is held; else why not, for "<out>: " to lead: another run, named by its
    // owner, or a lock that cannot be made. A folder in the lock's place (left by a killed run
    // of an earlier version, or by hand) is taken over when it is empty or its owner, on this
    // host, has ended; `note` then says so.
    std::optional<std::string> acquire(const std::filesystem::path& lockFile, std::string& note);

private:
    int fd = -1;
};

// The folders and files a run makes before it knows whether it may go on (the output folder,
// the lock file, the table): undone when the run is refused, so that a refusal leaves nothing
// behind. Whatever existed before is never touched.
class MadeForTheRun {
public:
    // Makes `folder` with the folders above it that are missing; the system's error when it
    // cannot, none when it did.
    std::error_code makeFolders(const std::filesystem::path& folder);
    // `file` is about to be opened for writing: removed on undo() if it does not exist yet.
    void aboutToCreate(const std::filesystem::path& file);
    // Removes the files made, then the folders made (deepest first) that are still empty.
    void undo();

private:
    std::vector<std::filesystem::path> folders, files;
};

}  // namespace quendra
