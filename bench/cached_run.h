#pragma once

// One generated run per entry count and seed for the benchmarks of a program: written on
// first use into a scratch folder that lives as long as the program, named like a real run.

#include "common/temp_folder.h"
#include "generated_run.h"

#include <map>
#include <memory>
#include <string>
#include <utility>

namespace tickscope::bench {

// A run of 4 threads over 5,000 lines (see GeneratedRunOptions).
inline const GeneratedRun& CachedGeneratedRun(std::int64_t entries, std::uint64_t seed = 1) {
    static testing::TempFolder folder;
    static std::map<std::pair<std::int64_t, std::uint64_t>, std::unique_ptr<GeneratedRun>> runs;
    auto& run = runs[{entries, seed}];
    if (!run) {
        GeneratedRunOptions options;
        options.Entries = entries;
        options.Seed = seed;
        run = std::make_unique<GeneratedRun>(WriteGeneratedRun(
            folder.Folder(), std::to_string(1700000000 + seed) + "-" + std::to_string(entries),
            options));
    }
    return *run;
}

} // namespace tickscope::bench
