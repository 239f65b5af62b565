#pragma once

#include <unistd.h>

#include <fstream>

// Resident memory of this process in bytes, from /proc.
inline long long residentBytes() {
    long long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}
