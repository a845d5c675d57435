#pragma once

// A program edited between two runs, each version built by build mode and recorded from a
// script: lines inserted, deleted and changed in the middle of a procedure, a file added, an
// include moved to another folder, and the project itself in another folder.
#include "common/scripted_run.h"

#include <string>

namespace tickscope::testing {

inline const std::string kEditedUtil = "Procedure Helper(v)\n"
                                       "  r = v + 1\n"
                                       "  ProcedureReturn r\n"
                                       "EndProcedure\n";

// Version 1 in old/: main.pb includes inc/util.pbi.
inline void WriteOldVersion(const TempFolder& folder) {
    folder.Write("old/main.pb", "; demo\n"
                                "XIncludeFile \"inc/util.pbi\"\n"
                                "Procedure Work(n)\n"
                                "  a = n * 2\n"
                                "  b = a + 1\n"
                                "  c = b * 3\n"
                                "  ProcedureReturn c\n"
                                "EndProcedure\n"
                                "x = Work(1)\n"
                                "y = Helper(x)\n"
                                "Debug y\n");
    folder.Write("old/inc/util.pbi", kEditedUtil);
}

// Version 2 in new/: util.pbi moved to lib/, extra.pbi added, Work edited in its middle
// (t inserted, b changed, c deleted), z added.
inline void WriteNewVersion(const TempFolder& folder) {
    folder.Write("new/main.pb", "; demo\n"
                                "XIncludeFile \"lib/util.pbi\"\n"
                                "XIncludeFile \"extra.pbi\"\n"
                                "Procedure Work(n)\n"
                                "  a = n * 2\n"
                                "  t = a - 1\n"
                                "  b = a + 2\n"
                                "  ProcedureReturn c\n"
                                "EndProcedure\n"
                                "x = Work(1)\n"
                                "y = Helper(x)\n"
                                "z = Extra(y)\n"
                                "Debug y\n");
    folder.Write("new/lib/util.pbi", kEditedUtil);
    folder.Write("new/extra.pbi", "Procedure Extra(v)\n"
                                  "  w = v * 2\n"
                                  "  ProcedureReturn w\n"
                                  "EndProcedure\n");
}

// The run files of both versions.
struct EditedRuns {
    std::string Old, New;
};

// Writes both versions into `sources`, builds them into `oldBuild` and `newBuild` and records
// one run of each into `home` (own times in ns; the calls run inside the line that makes them).
inline EditedRuns RecordEditedRuns(const TempFolder& sources, const TempFolder& oldBuild,
                                   const TempFolder& newBuild, const TempFolder& home) {
    WriteOldVersion(sources);
    WriteNewVersion(sources);
    ScriptedProgram oldProgram(sources.File("old/main.pb"), oldBuild);
    ScriptedProgram newProgram(sources.File("new/main.pb"), newBuild);
    EditedRuns runs;
    runs.Old = oldProgram.Record(
        home.Folder(),
        {Runs("main.pb", "x = Work(1)", 1000,
              {Runs("main.pb", "a = n * 2", 100), Runs("main.pb", "b = a + 1", 200),
               Runs("main.pb", "c = b * 3", 300)}),
         Runs("main.pb", "y = Helper(x)", 50, {Runs("util.pbi", "r = v + 1", 400)}),
         Runs("main.pb", "Debug y", 10)},
        1700000000);
    runs.New = newProgram.Record(
        home.Folder(),
        {Runs("main.pb", "x = Work(1)", 1000,
              {Runs("main.pb", "a = n * 2", 100), Runs("main.pb", "t = a - 1", 150),
               Runs("main.pb", "b = a + 2", 250)}),
         Runs("main.pb", "y = Helper(x)", 50, {Runs("util.pbi", "r = v + 1", 600)}),
         Runs("main.pb", "z = Extra(y)", 20, {Runs("extra.pbi", "w = v * 2", 70)}),
         Runs("main.pb", "Debug y", 10)},
        1700003600);
    return runs;
}

} // namespace tickscope::testing
