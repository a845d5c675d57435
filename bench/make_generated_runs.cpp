// make_generated_runs FOLDER [COUNT [ENTRIES]]: writes COUNT (default 50) generated runs of
// varied size, thread count and seed into FOLDER (ending with a separator), named like real
// runs. With scripts/report-outputs.sh they show that a change keeps every report byte for
// byte. ENTRIES gives every run that many entries, 4 threads and 5,000 lines instead (for
// timing the report tool, e.g. two runs of 20,000,000 entries for --compare).
#include "generated_run.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_generated_runs FOLDER/ [COUNT [ENTRIES]]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int count = argc > 2 ? std::atoi(argv[2]) : 50;
    const long long entries = argc > 3 ? std::atoll(argv[3]) : 0;
    for (int i = 0; i < count; ++i) {
        tickscope::bench::GeneratedRunOptions options;
        options.Threads = 1 + i % 6;
        options.Lines = 300 + (i * 397) % 4000;
        options.Entries = 1000 + (static_cast<std::int64_t>(i) * 7919 * 13) % 300000;
        options.Seed = static_cast<std::uint64_t>(1 + i);
        if (entries > 0) {
            options = tickscope::bench::GeneratedRunOptions{};
            options.Entries = entries;
            options.Seed = static_cast<std::uint64_t>(1 + i);
        }
        const std::string name =
            std::to_string(1796000000 + i * 3600) + "-" + std::to_string(1000 + i);
        if (!tickscope::bench::WriteGeneratedRun(folder, name, options).Written) {
            std::fprintf(stderr, "make_generated_runs: cannot write %s%s\n", folder.c_str(),
                         name.c_str());
            return 1;
        }
    }
    return 0;
}
