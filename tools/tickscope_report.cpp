// tickscope-report: prints the report of a recorded run without the window.
//
//   tickscope-report RUN.tkr [--mode all|avg|max|min] [--threads ID[,ID...]]
//                    [--max-hits N] [--max-time MS] [--format text|csv|json]
//   tickscope-report --threads-list RUN.tkr
//   tickscope-report --list
//
// The run is loaded exactly as the analyzer loads it, with every report row checked; the
// listed threads (all when none are given) are checked and the thresholds read like the
// analyzer's threshold commands. Bad input: one line on stderr and exit code 2.

#include "analysis/progress.h"
#include "analysis/report_figures.h"
#include "analysis/report_output.h"
#include "analysis/run_catalogue.h"
#include "analysis/run_loading.h"
#include "analysis/time_mode.h"
#include "platform/file_reading.h"
#include "platform/platform.h"
#include "runfiles/run_information.h"
#include "source/text_utils.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tickscope {
namespace {

constexpr int kBadInput = 2;

const char* const kUsage =
    "usage: tickscope-report RUN.tkr [--mode all|avg|max|min] [--threads ID[,ID...]]\n"
    "                        [--max-hits N] [--max-time MS] [--format text|csv|json]\n"
    "       tickscope-report --threads-list RUN.tkr\n"
    "       tickscope-report --list\n";

enum class Command { Report, ThreadsList, List, Help };
enum class Format { Text, Csv, Json };

struct Options {
    Command What = Command::Report;
    std::string RunFile;
    TimeMode Mode = TimeMode::All;
    std::optional<std::vector<std::int32_t>> Threads;
    int MaxHits = 0;
    int MaxTime = 0;
    Format Output = Format::Text;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "tickscope-report: %s\n", message.c_str());
    return kBadInput;
}

std::optional<std::vector<std::int32_t>> ParseThreadIds(const std::string& list) {
    std::vector<std::int32_t> ids;
    std::size_t start = 0;
    while (true) {
        const auto comma = list.find(',', start);
        const auto id = ParseDecimalInt32(std::string_view(list).substr(start, comma - start));
        if (!id) {
            return std::nullopt;
        }
        ids.push_back(*id);
        if (comma == std::string::npos) {
            return ids;
        }
        start = comma + 1;
    }
}

// Parses the arguments into `options`; an error message when they are not understood.
std::optional<std::string> ParseArguments(int argc, char** argv, Options& options) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        std::optional<std::string> inlineValue;
        if (StartsWith(argument, "--") && argument.find('=') != std::string::npos) {
            inlineValue = argument.substr(argument.find('=') + 1);
            argument = argument.substr(0, argument.find('='));
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < argc) {
                return std::string(argv[++i]);
            }
            return std::nullopt;
        };
        const bool takesValue = argument == "--mode" || argument == "--threads" ||
                                argument == "--max-hits" || argument == "--max-time" ||
                                argument == "--format";
        if (!takesValue && inlineValue) {
            return "option " + argument + " takes no value";
        }
        std::optional<std::string> text;
        if (takesValue && !(text = value())) {
            return "option " + argument + " needs a value";
        }
        if (argument == "--mode") {
            const std::optional<TimeMode> mode = TimeModeNamed(*text);
            if (!mode) {
                return "unknown mode: " + *text + " (all, avg, max or min)";
            }
            options.Mode = *mode;
        } else if (argument == "--threads") {
            options.Threads = ParseThreadIds(*text);
            if (!options.Threads) {
                return "bad thread id list: " + *text;
            }
        } else if (argument == "--max-hits") {
            options.MaxHits = ParseInteger32(*text);
        } else if (argument == "--max-time") {
            options.MaxTime = ParseInteger32(*text);
        } else if (argument == "--format") {
            if (*text == "text") {
                options.Output = Format::Text;
            } else if (*text == "csv") {
                options.Output = Format::Csv;
            } else if (*text == "json") {
                options.Output = Format::Json;
            } else {
                return "unknown format: " + *text + " (text, csv or json)";
            }
        } else if (argument == "--threads-list") {
            options.What = Command::ThreadsList;
        } else if (argument == "--list") {
            options.What = Command::List;
        } else if (argument == "--help" || argument == "-h") {
            options.What = Command::Help;
        } else if (StartsWith(argument, "-") && argument != "-") {
            return "unknown option: " + argument;
        } else {
            positional.push_back(argument);
        }
    }
    if (options.What == Command::Help) {
        return std::nullopt;
    }
    if (options.What == Command::List) {
        if (!positional.empty()) {
            return "--list takes no run file";
        }
        return std::nullopt;
    }
    if (positional.size() != 1) {
        return positional.empty() ? "no run file given" : "more than one run file given";
    }
    options.RunFile = positional[0];
    return std::nullopt;
}

// Writes the output and flushes it: 0, or 1 with a line on stderr when it did not all reach
// standard output (a full disk, a closed pipe, a closed descriptor).
int Write(const std::string& text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (written && std::fflush(stdout) == 0 && !std::ferror(stdout)) {
        return 0;
    }
    const int error = errno;
    std::fprintf(stderr, "tickscope-report: cannot write the output: %s\n",
                 error != 0 ? std::strerror(error) : "write error");
    return 1;
}

// A regular file that can be opened, without waiting on it (a pipe named like a run).
bool IsReadableFile(const std::string& path) {
    return platform::OpenRegularFile(path).has_value();
}

int ListRuns() {
    RunCatalogue catalogue;
    if (!BuildRunCatalogue(platform::HomeFolder(), catalogue)) {
        return Fail("No Tickscope runlogs available! (" + RunFolder(platform::HomeFolder()) +
                    " cannot be read)");
    }
    std::string out = "started,program,lines,file\n";
    for (const RunRecord& record : catalogue.Records) {
        out += FormatTimestamp(record.Timestamp) + "," + CsvField(ProgramName(record)) + "," +
               std::to_string(record.LineCount) + "," + CsvField(record.FileName) + "\n";
    }
    return Write(out);
}

// Every thread checked, or only the listed ones (with a warning for ids the run lacks).
ThreadChecks ChosenThreads(const LoadedRun& run,
                           const std::optional<std::vector<std::int32_t>>& ids) {
    ThreadChecks checks(run.Threads.size(), true);
    if (!ids) {
        return checks;
    }
    std::vector<bool> matched(ids->size(), false);
    for (std::size_t p = 0; p < run.Threads.size(); ++p) {
        checks[p] = false;
        for (std::size_t i = 0; i < ids->size(); ++i) {
            if ((*ids)[i] == run.Threads[p].ThreadId) {
                checks[p] = true;
                matched[i] = true;
            }
        }
    }
    for (std::size_t i = 0; i < matched.size(); ++i) {
        if (!matched[i]) {
            std::fprintf(stderr, "tickscope-report: warning: the run has no thread %d\n",
                         (*ids)[i]);
        }
    }
    return checks;
}

int Report(const Options& options) {
    if (!IsReadableFile(options.RunFile)) {
        return Fail("cannot read run file: " + options.RunFile);
    }
    SilentProgress progress;
    const auto run =
        std::make_unique<LoadedRun>(LoadRun(CatalogueRunFile(options.RunFile), progress));
    if (!run->Failure.empty()) {
        return Fail("cannot load run " + options.RunFile + ": " + run->Failure);
    }
    if (!run->Analysis.InvocationsComplete()) {
        std::fprintf(stderr, "tickscope-report: warning: %s\n",
                     IncompleteInvocationsMessage(*run).c_str());
    }
    if (options.What == Command::ThreadsList) {
        return Write(ThreadsCsv(*run));
    }
    const ThreadChecks threads = ChosenThreads(*run, options.Threads);
    const LineChecks lines(run->Program.LinesOfCode.size(), true);
    const HeatScale scale{options.MaxHits, options.MaxTime};
    const ReportFigures figures =
        ComputeReportFigures(run->Analysis, threads, lines, options.Mode, scale);
    const RunReport report{*run, threads, figures, scale, options.RunFile};
    switch (options.Output) {
    case Format::Csv:
        return Write(CsvReport(report));
    case Format::Json:
        return Write(JsonReport(report));
    case Format::Text:
        break;
    }
    return Write(TextReport(report));
}

} // namespace
} // namespace tickscope

int main(int argc, char** argv) {
    using namespace tickscope;
    Options options;
    if (const auto error = ParseArguments(argc, argv, options)) {
        std::fprintf(stderr, "tickscope-report: %s (try --help)\n", error->c_str());
        return kBadInput;
    }
    switch (options.What) {
    case Command::Help:
        return Write(kUsage);
    case Command::List:
        return ListRuns();
    case Command::Report:
    case Command::ThreadsList:
        break;
    }
    return Report(options);
}
