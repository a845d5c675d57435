#pragma once

// Writes a large program built from the real PureBasic sources of the corpus: every corpus
// file copied `copies` times into its own folder tree (each copy marked by a first comment
// line, so that XIncludeFile takes every copy in), and a main file that includes every
// copied file. Include directives inside the corpus resolve within each copy as they do in
// the corpus.

#include "common/corpus.h"
#include "common/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tickscope::bench {

struct CorpusProgram {
    std::string MainPath;
    std::size_t Files = 0;    // files written, the main file included
    std::uintmax_t Bytes = 0; // bytes written
};

// Copies until the copies hold at least `minimumLines` corpus lines; nothing when the
// corpus is not there.
inline CorpusProgram WriteCorpusProgram(const std::filesystem::path& corpus,
                                        const std::filesystem::path& folder,
                                        std::size_t minimumLines) {
    namespace fs = std::filesystem;
    CorpusProgram program;
    const std::vector<std::string> sources = testing::PureBasicFiles(corpus);
    if (sources.empty()) {
        return program;
    }
    std::size_t corpusLines = 0;
    for (const std::string& source : sources) {
        corpusLines += testing::FileLines(source).size();
    }
    const std::size_t copies = (minimumLines + corpusLines - 1) / corpusLines;
    std::string main = "; A program made of " + std::to_string(copies) +
                       " copies of the PureBasic corpus\r\nEnableExplicit\r\n";
    for (std::size_t copy = 1; copy <= copies; ++copy) {
        const fs::path root = folder / ("copy" + std::to_string(copy));
        for (const std::string& source : sources) {
            const fs::path relative = fs::relative(source, corpus);
            const fs::path target = root / relative;
            fs::create_directories(target.parent_path());
            std::ifstream in(source, std::ios::binary);
            std::ofstream out(target, std::ios::binary);
            out << "; copy " << copy << "\r\n" << in.rdbuf();
            out.close();
            program.Bytes += fs::file_size(target);
            ++program.Files;
            // An included file's IncludePath stays in force after it: back to this folder.
            main += "IncludePath \"\"\r\nXIncludeFile \"" +
                    (fs::path("copy" + std::to_string(copy)) / relative).string() + "\"\r\n";
        }
    }
    main += "End\r\n; IDE Options = PureBasic 6.10 LTS (Windows - x64)\r\n; EnableXP\r\n";
    program.MainPath = (folder / "main.pb").string();
    std::ofstream(program.MainPath, std::ios::binary) << main;
    program.Bytes += main.size();
    ++program.Files;
    return program;
}

} // namespace tickscope::bench
