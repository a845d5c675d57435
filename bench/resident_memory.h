#pragma once

#include <unistd.h>

#include <fstream>

namespace tickscope::bench {

// The resident set of this process in MB (Linux, /proc/self/statm).
inline double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1048576.0;
}

} // namespace tickscope::bench
