#pragma once

#include "runfiles/program_info_reader.h"

#include <cstdint>
#include <string>
#include <string_view>
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
};

// Every run of the run folder, newest first.
struct RunCatalogue {
    std::vector<RunRecord> Records;
};

// Catalogues one run-information file: Timestamp from its name, the header keys from its
// content (defaults when it cannot be read).
RunRecord CatalogueRunFile(const std::string& fileName);

// Scans <home>Tickscope/ for "*.tkr" entries and sorts them newest first (equal timestamps
// keep listing order). False when the run folder cannot be examined (the catalogue is then
// empty).
bool BuildRunCatalogue(const std::string& homeFolder, RunCatalogue& catalogue);

// Every program name once, in the order of its newest run.
std::vector<std::string> ProgramNames(const RunCatalogue& catalogue);

// The part of the record's Path after the last "\" or "/".
std::string ProgramName(const RunRecord& record);
// The part of a path after its last "\" or "/" (all of it without one).
std::string_view PathFileName(std::string_view path);

// Records of one program, in catalogue order.
std::vector<const RunRecord*> RunsOfProgram(const RunCatalogue& catalogue,
                                            const std::string& programName);

// "%yyyy/%mm/%dd-%hh:%ii:%ss" of a date value (UTC), e.g. 2013/05/17-09:41:07.
std::string FormatTimestamp(std::int64_t timestamp);

} // namespace tickscope
