#pragma once

#include <sys/resource.h>
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

// The largest resident set this process had so far, in MB.
inline double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

} // namespace tickscope::bench
