// make_corpus_program FOLDER [MINIMUM_LINES]: writes a program of at least MINIMUM_LINES
// (default 100,000) lines made of copies of the PureBasic corpus into FOLDER, for timing
// build mode as a whole process (`/usr/bin/time -v tickscope FOLDER/main.pb TARGET`).
#include "corpus_program.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_corpus_program FOLDER [MINIMUM_LINES]\n");
        return 2;
    }
    const std::size_t lines = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 100000;
    const auto program = tickscope::bench::WriteCorpusProgram(TICKSCOPE_CORPUS_DIR, argv[1], lines);
    if (program.MainPath.empty()) {
        std::fprintf(stderr, "make_corpus_program: no corpus at %s\n", TICKSCOPE_CORPUS_DIR);
        return 1;
    }
    std::printf("%s: %zu files, %ju bytes\n", program.MainPath.c_str(), program.Files,
                program.Bytes);
    return 0;
}
