#pragma once

// The command line of tickscope-report: every option, its value and the usage text, in one
// place. To add an option: a field in ReportOptions, one Add... call in report_options.cpp
// (it shows in --help by itself), and its use in report_commands.cpp. To add an output
// format: a Format value, its name in kFormats, and its case in report_commands.cpp.

#include "analysis/report_output.h"
#include "analysis/run_comparison.h"
#include "analysis/time_mode.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tickscope::report {

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitWriteFailed = 1; // the output did not all reach standard output
inline constexpr int kExitSlower = 1;      // --fail-slower: the new run is slower
inline constexpr int kExitBadInput = 2;    // bad arguments, a run that cannot be read

enum class Command {
    Report,      // RUN.tkr: the report of one run
    ThreadsList, // --threads-list RUN.tkr: the threads of one run
    List,        // --list: the runs in the run folder
    Compare,     // --compare OLD.tkr NEW.tkr: two runs side by side
};

enum class Format { Text, Csv, Json, Html };

// A name the command line accepts for a value.
template <typename T> struct NamedValue {
    std::string_view Name;
    T Value;
};

inline constexpr std::array<NamedValue<Format>, 4> kFormats = {{
    {"text", Format::Text},
    {"csv", Format::Csv},
    {"json", Format::Json},
    {"html", Format::Html},
}};

inline constexpr std::array<NamedValue<ReportTable>, 2> kTables = {{
    {"line", ReportTable::Lines},
    {"procedure", ReportTable::Procedures},
}};

inline constexpr std::array<NamedValue<ReportOrder>, 4> kOrders = {{
    {"time", ReportOrder::Time},
    {"self", ReportOrder::Self},
    {"hits", ReportOrder::Hits},
    {"calls", ReportOrder::Calls},
}};

inline constexpr std::array<NamedValue<ComparisonOrder>, 3> kComparisonOrders = {{
    {"delta", ComparisonOrder::Delta},
    {"old", ComparisonOrder::Old},
    {"new", ComparisonOrder::New},
}};

inline constexpr std::array<NamedValue<TimeMode>, 4> kModes = {{
    {TimeModeName(TimeMode::All), TimeMode::All},
    {TimeModeName(TimeMode::Avg), TimeMode::Avg},
    {TimeModeName(TimeMode::Max), TimeMode::Max},
    {TimeModeName(TimeMode::Min), TimeMode::Min},
}};

// What the command line asks for, with the defaults of a bare "tickscope-report RUN.tkr".
struct ReportOptions {
    Command What = Command::Report;
    std::string RunFile;                              // Report, ThreadsList; Compare: NEW
    std::string OldRunFile;                           // Compare: OLD
    TimeMode Mode = TimeMode::All;                    // --mode
    std::optional<std::vector<std::int32_t>> Threads; // --threads; none: every thread
    int MaxHits = 0;                                  // --max-hits, read like the window's
    int MaxTime = 0;                                  // --max-time, prompts for full red
    Format Output = Format::Text;                     // --format
    ReportLayout Layout;                              // --by, --sort, --top
    std::optional<ComparisonOrder> ComparisonSort;    // --sort of Compare
    std::optional<double> FailSlowerPercent;          // --fail-slower PCT
    double FailSlowerMinMs = 0.1;                     // --min-ms MS
};

// The outcome of reading the arguments: the options to run with, or a text to print and the
// exit code to end with (--help and --version on standard output with 0; arguments that are
// not understood as one line on standard error with kExitBadInput).
struct ParsedCommandLine {
    std::optional<ReportOptions> Options;
    std::string Out;
    std::string Err;
    int ExitCode = kExitOk;
};

// `arguments` without the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

} // namespace tickscope::report
