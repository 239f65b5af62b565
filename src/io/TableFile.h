#pragma once

// A table's file, written only by appending whole rows. A write that fails half-way (a full
// disk) is cut back, so the file never ends in a half row.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quendra {

// What a run names when its table (or the stacks' table) `name` was removed while it ran.
std::string removedTableProblem(const std::string& name);

class TableFile {
public:
    TableFile() = default;
    ~TableFile();
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    // Opens or creates the file without changing it; false (errno set) when it cannot be.
    bool open(const std::filesystem::path& path);
    // Takes the file for this process alone; false while another process holds it.
    bool lock();
    std::uintmax_t size() const { return length; }
    const std::filesystem::path& path() const { return name; }
    // Cuts the file to `bytes` bytes.
    bool truncate(std::uintmax_t bytes);
    bool append(std::string_view bytes);
    // Flushes the rows to the disk.
    bool sync();
    // The file has no name left (it or its folder was deleted while open): every row written
    // goes nowhere.
    bool removed() const;

private:
    int fd = -1;
    std::uintmax_t length = 0;
    std::filesystem::path name;
};

}  // namespace quendra
