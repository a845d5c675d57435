#pragma once

// Writes a large, realistic PureBasic program (a main file and many included module files)
// into a fresh temporary folder, for benchmarks of loading and instrumenting.

#include "common/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace tickscope::bench {

struct GeneratedProgram {
    std::string MainPath;      // the file to load
    std::size_t LineCount = 0; // lines of code the loader reads, includes counted every time
    std::size_t FileCount = 0; // files written
};

namespace detail {

inline void AddModuleProcedure(std::vector<std::string>& lines, int module, int procedure) {
    const std::string id = std::to_string(module) + "_" + std::to_string(procedure);
    lines.insert(lines.end(),
                 {
                     "; Sums the items of list " + id + " with a few branches",
                     "Procedure.i Compute" + id + "(a.i, b.i = 2, text$ = \"a:b;c\")",
                     "  Protected i.i, total.i = 0, *point.Point" + std::to_string(module),
                     "  For i = 1 To a",
                     "    If i % 3 = 0 : total + i : Else : total - 1 : EndIf",
                     "  Next",
                     "  Select b",
                     "    Case 1",
                     "      total * 2 ; doubled",
                     "    Case 2, 3",
                     "      total + b",
                     "    Default",
                     "      total = 0",
                     "  EndSelect",
                     "  While total > 100 And",
                     "        total % 7 <> 0",
                     "    total / 2",
                     "  Wend",
                     "  ForEach items" + std::to_string(module) + "()",
                     "    total + items" + std::to_string(module) + "()\\x",
                     "  Next",
                     "  Repeat : total - 1 : Until total < 50",
                     "  Debug \"total: \" + Str(total) + \" ; not a comment: a:b\"",
                     "  ProcedureReturn total",
                     "EndProcedure",
                     "",
                 });
}

inline std::vector<std::string> ModuleLines(int module, int procedures) {
    const std::string m = std::to_string(module);
    std::vector<std::string> lines = {
        "; Module " + m + ", generated",
        "EnableExplicit",
        "",
        "Structure Point" + m,
        "  x.i",
        "  y.i",
        "EndStructure",
        "",
        "Enumeration Colors" + m,
        "  #Red" + m,
        "  #Green" + m,
        "EndEnumeration",
        "",
        "Global NewList items" + m + ".Point" + m + "()",
        "Global count" + m + ".i = 0, name" + m + "$ = \"module:" + m + "\"",
        "",
    };
    for (int p = 0; p < procedures; ++p) {
        AddModuleProcedure(lines, module, p);
    }
    lines.insert(lines.end(), {
                                  "Macro Twice" + m + "(x)",
                                  "  ((x) * 2)",
                                  "EndMacro",
                                  "",
                                  "DataSection",
                                  "  Table" + m + ":",
                                  "  Data.i 1, 2, 3",
                                  "EndDataSection",
                              });
    return lines;
}

inline std::size_t WriteLines(const std::filesystem::path& path,
                              const std::vector<std::string>& lines) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    for (const std::string& line : lines) {
        out << line << "\r\n";
    }
    return lines.size();
}

} // namespace detail

// A temporary folder holding a generated program of at least `minimumLines` lines, removed
// with everything in it when the object goes.
class GeneratedProgramFolder {
  public:
    explicit GeneratedProgramFolder(std::size_t minimumLines, int proceduresPerModule = 20)
        : folder_(scratch_.Path()) {
        program_ = Write(minimumLines, proceduresPerModule);
    }

    const GeneratedProgram& Program() const { return program_; }
    const std::filesystem::path& Folder() const { return folder_; }

  private:
    GeneratedProgram Write(std::size_t minimumLines, int proceduresPerModule) {
        GeneratedProgram program;
        // A small helper file included with IncludeFile by every module: read every time.
        const std::vector<std::string> common = {
            "; shared helpers",
            "CompilerIf Not Defined(CommonLoaded, #PB_Constant)",
            "  #CommonLoaded = 1",
            "CompilerEndIf",
            "counter + 1 : Debug \"common:\" + Str(counter)",
        };
        detail::WriteLines(folder_ / "lib" / "common.pbi", common);
        std::vector<std::string> main = {
            "; Generated program for measuring",
            "EnableExplicit",
            "Global counter.i",
            "IncludePath \"lib/\"",
            "XIncludeFile \"common.pbi\"",
            "IncludePath \"modules/\"",
        };
        program.LineCount = common.size();
        program.FileCount = 1;
        int module = 0;
        while (program.LineCount + main.size() < minimumLines) {
            std::vector<std::string> lines = detail::ModuleLines(module, proceduresPerModule);
            lines.push_back("IncludeFile \"../lib/common.pbi\"");
            program.LineCount += detail::WriteLines(
                folder_ / "modules" / ("module_" + std::to_string(module) + ".pbi"), lines);
            program.LineCount += common.size();
            ++program.FileCount;
            // Every module is taken in twice; the second XIncludeFile reads nothing.
            main.push_back("XIncludeFile \"module_" + std::to_string(module) + ".pbi\"");
            main.push_back("XIncludeFile \"module_" + std::to_string(module) + ".pbi\" ; again");
            main.push_back("Debug Compute" + std::to_string(module) + "_0(10) : Start" +
                           std::to_string(module) + ":");
            ++module;
        }
        main.insert(main.end(), {"End", "; IDE Options = PureBasic 6.00 LTS (Windows - x64)",
                                 "; CursorPosition = 1", "; EnableXP"});
        program.LineCount += detail::WriteLines(folder_ / "main.pb", main);
        ++program.FileCount;
        program.MainPath = (folder_ / "main.pb").string();
        return program;
    }

    testing::TempFolder scratch_;
    std::filesystem::path folder_;
    GeneratedProgram program_;
};

} // namespace tickscope::bench
