// make_program_info_run FOLDER [MINIMUM_LINES]: writes FOLDER/large.tkr, the run of a program
// of at least MINIMUM_LINES (default 1,000,000) lines made of copies of the PureBasic corpus,
// with an empty FOLDER/large.tkl, for timing the loading of program information as a whole
// process (`/usr/bin/time -v tickscope-report FOLDER/large.tkr --format csv`).
#include "program_info_run.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_program_info_run FOLDER [MINIMUM_LINES]\n");
        return 2;
    }
    const std::size_t lines = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1000000;
    std::filesystem::create_directories(argv[1]);
    const std::string folder = std::filesystem::path(argv[1]).string() + "/";
    const auto run = tickscope::bench::WriteProgramInfoRun(folder, "large", lines);
    if (run.RunInfoPath.empty()) {
        std::fprintf(stderr, "make_program_info_run: cannot write the run (corpus at %s)\n",
                     TICKSCOPE_CORPUS_DIR);
        return 1;
    }
    std::printf("%s: %zu lines, %ju bytes\n", run.RunInfoPath.c_str(), run.Lines,
                static_cast<std::uintmax_t>(run.Bytes));
    return 0;
}
