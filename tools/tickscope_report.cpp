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

#include "analysis/attribution.h"
#include "analysis/progress.h"
#include "analysis/report_output.h"
#include "analysis/report_values.h"
#include "analysis/run_catalogue.h"
#include "analysis/run_loading.h"
#include "platform/platform.h"
#include "source/text_utils.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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
    int Mode = 0; // index into the mode combo: all, avg, max, min
    std::optional<std::vector<std::int32_t>> Threads;
    int MaxHits = 0;
    int MaxTime = 0;
    Format Output = Format::Text;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "tickscope-report: %s\n", message.c_str());
    return kBadInput;
}

// A thread id as the thread list shows it: optional "-" and decimal digits within 32 bits.
std::optional<std::int32_t> ParseThreadId(std::string_view text) {
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    if (i == text.size() || text.size() - i > 10) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    value = text[0] == '-' ? -value : value;
    if (value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::vector<std::int32_t>> ParseThreadIds(const std::string& list) {
    std::vector<std::int32_t> ids;
    std::size_t start = 0;
    while (true) {
        const auto comma = list.find(',', start);
        const auto id = ParseThreadId(std::string_view(list).substr(start, comma - start));
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
    static const std::vector<std::string> kModes = {"all", "avg", "max", "min"};
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
            const auto it = std::find(kModes.begin(), kModes.end(), *text);
            if (it == kModes.end()) {
                return "unknown mode: " + *text + " (all, avg, max or min)";
            }
            options.Mode = static_cast<int>(it - kModes.begin());
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

bool Write(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

bool IsReadableFile(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return false;
    }
    char probe = 0;
    std::fread(&probe, 1, 1, file);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

int ListRuns() {
    RunCatalogue catalogue;
    AnalyzerLists lists;
    if (!BuildRunCatalogue(platform::HomeFolder(), catalogue, lists)) {
        return Fail("No Tickscope runlogs available! (" + RunFolder(platform::HomeFolder()) +
                    " cannot be read)");
    }
    std::string out = "started,program,lines,file\n";
    for (const RunRecord& record : catalogue.Records) {
        out += FormatTimestamp(record.Timestamp) + "," + CsvField(ProgramName(record)) + "," +
               std::to_string(record.LineCount) + "," + CsvField(record.FileName) + "\n";
    }
    return Write(out) ? 0 : 1;
}

int Report(const Options& options) {
    if (!IsReadableFile(options.RunFile)) {
        return Fail("cannot read run file: " + options.RunFile);
    }
    RunCatalogue catalogue;
    catalogue.Records.push_back(CatalogueRunFile(options.RunFile));
    RunRecord& record = catalogue.Records.back();
    auto lists = std::make_unique<AnalyzerLists>();
    auto analysis = std::make_unique<RunAnalysis>();
    SilentProgress progress;
    LoadRun(catalogue, record, *lists, *analysis, progress);

    if (options.What == Command::ThreadsList) {
        return Write(ThreadsCsv(*lists)) ? 0 : 1;
    }

    if (options.Threads) {
        std::vector<bool> matched(options.Threads->size(), false);
        for (ListRow& row : lists->ThreadList.Rows) {
            const std::int32_t id = ParseInteger32(row.Cells[1].Text);
            row.Checked = false;
            for (std::size_t i = 0; i < options.Threads->size(); ++i) {
                if ((*options.Threads)[i] == id) {
                    row.Checked = true;
                    matched[i] = true;
                }
            }
        }
        for (std::size_t i = 0; i < matched.size(); ++i) {
            if (!matched[i]) {
                std::fprintf(stderr, "tickscope-report: warning: the run has no thread %d\n",
                             (*options.Threads)[i]);
            }
        }
    }
    lists->ModeCombo.Selected = options.Mode;
    RefreshReportValues(*lists, *analysis, options.MaxHits, options.MaxTime);

    ReportHeading heading;
    heading.RunFile = options.RunFile;
    heading.ProgramPath = record.Path;
    heading.Started = FormatTimestamp(record.Timestamp);
    heading.Mode = lists->ModeCombo.SelectedText();
    heading.MaxHitsForFullRed = options.MaxHits;
    heading.MaxTimeForFullRed = options.MaxTime;
    switch (options.Output) {
    case Format::Csv:
        return Write(CsvReport(*lists)) ? 0 : 1;
    case Format::Json:
        return Write(JsonReport(*lists, heading)) ? 0 : 1;
    case Format::Text:
        break;
    }
    return Write(TextReport(*lists, heading)) ? 0 : 1;
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
        std::fputs(kUsage, stdout);
        return 0;
    case Command::List:
        return ListRuns();
    case Command::Report:
    case Command::ThreadsList:
        break;
    }
    return Report(options);
}
