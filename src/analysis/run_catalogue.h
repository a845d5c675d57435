#pragma once

#include "analysis/list_data.h"
#include "source/program_info.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tickscope {

// One recorded run: the run-information file and what its header says.
struct RunRecord {
    std::string FileName;             // full path of the .tkr file
    std::int32_t Timestamp = 0;       // date value (seconds since 1970) from the file name
    std::string Path;                 // top-level source file of the profiled program
    std::int32_t LineCount = 0;       // "LinesOfCode"
    std::int32_t SourceFileCount = 0; // "SourceFileIds"
    std::int32_t ScopeCount = 0;      // "ScopeIds"
    ProgramInfo Program;              // filled while the run is loaded
};

// Every run of the run folder, newest first. Records keep their addresses once built.
struct RunCatalogue {
    std::vector<RunRecord> Records;
};

// Folder holding the runs: <home>Tickscope<separator>.
std::string RunFolder(const std::string& homeFolder);

// Catalogues one run-information file: Timestamp from its name, the header keys from its
// content (defaults when it cannot be read).
RunRecord CatalogueRunFile(const std::string& fileName);

// Scans <home>Tickscope/ for "*.tkr" entries, sorts them newest first (equal timestamps
// keep listing order) and fills ProgramCombo with every program name once, without a
// selection. False when the run folder cannot be examined (the catalogue is then empty).
bool BuildRunCatalogue(const std::string& homeFolder, RunCatalogue& catalogue,
                       AnalyzerLists& lists);

// The part of the record's Path after the last "\" or "/".
std::string ProgramName(const RunRecord& record);

// Records of one program, in catalogue order.
std::vector<const RunRecord*> RunsOfProgram(const RunCatalogue& catalogue,
                                            const std::string& programName);

// First record of the program whose formatted timestamp equals the text; nullptr if none.
RunRecord* FindRun(RunCatalogue& catalogue, const std::string& programName,
                   const std::string& formattedTimestamp);

// "%yyyy/%mm/%dd-%hh:%ii:%ss" of a date value (UTC), e.g. 2013/05/17-09:41:07.
std::string FormatTimestamp(std::int64_t timestamp);

// The user chose a program: empties RunList, SourceFileList, ReportList and ThreadList and
// lists the program's runs in RunList (Timestamp text, empty Comment). Returns whether
// RunList has rows (the window then gives it the focus).
bool ChooseProgram(const RunCatalogue& catalogue, const std::string& programName,
                   AnalyzerLists& lists);

} // namespace tickscope
