#include "report/report_options.h"

#include "source/text_utils.h"
#include "tickscope_version.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tickscope::report {

namespace {

const std::string kProgram = "tickscope-report";

// The head of --help; the list of options below it is made from the options themselves.
const char* const kSynopsis = "usage: tickscope-report RUN.tkr [options]\n"
                              "       tickscope-report --compare OLD.tkr NEW.tkr [options]\n"
                              "       tickscope-report --threads-list RUN.tkr\n"
                              "       tickscope-report --list\n";

const char* const kDescription =
    "Prints the report of a recorded run as the analyzer window shows it, with every line\n"
    "checked and the chosen threads counted. Bad arguments or a run that cannot be read:\n"
    "one line on standard error and exit code 2.\n"
    "\n"
    "--compare prints what changed from an old run to a new one, line by line (lines are\n"
    "matched across edits of the program) or procedure by procedure: status, old, new and\n"
    "delta. Exit code 0 when compared; with --fail-slower PCT, 1 when the run time or a\n"
    "procedure's total grew by more than PCT percent and by at least --min-ms milliseconds\n"
    "(default 0.1), each listed on standard error.\n";

// --help: the synopsis and the description, then one line per option with its value.
class HelpFormatter : public CLI::Formatter {
  public:
    std::string make_usage(const CLI::App*, std::string) const override {
        return std::string(kSynopsis) + "\n" + kDescription;
    }
    std::string make_description(const CLI::App*) const override { return {}; }
    std::string make_option_opts(const CLI::Option* option) const override {
        const std::string type = option->get_type_name();
        return type.empty() ? std::string() : " " + type;
    }
};

template <typename T, std::size_t N>
std::string JoinedNames(const std::array<NamedValue<T>, N>& names, std::string_view separator,
                        std::string_view lastSeparator) {
    std::string joined;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) {
            joined += i + 1 == N ? lastSeparator : separator;
        }
        joined += names[i].Name;
    }
    return joined;
}

// The value named `text`, nothing when none is.
template <typename T, std::size_t N>
std::optional<T> Named(const std::array<NamedValue<T>, N>& names, std::string_view text) {
    const auto named = std::find_if(names.begin(), names.end(),
                                    [&](const NamedValue<T>& n) { return n.Name == text; });
    return named == names.end() ? std::nullopt : std::optional<T>(named->Value);
}

template <typename T, std::size_t N>
std::string UnknownName(const std::string& noun, const std::string& text,
                        const std::array<NamedValue<T>, N>& names) {
    return "unknown " + noun + ": " + text + " (" + JoinedNames(names, ", ", " or ") + ")";
}

// A number of a command line: decimal digits with an optional fraction, 0 or more.
std::optional<double> ParseAmount(const std::string& text) {
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value) || value < 0) {
        return std::nullopt;
    }
    return value;
}

void AddAmount(CLI::App& app, const std::string& option, std::optional<double>& target,
               const std::string& typeName, const std::string& description) {
    app.add_option_function<std::string>(
           option,
           [&target, option, typeName](const std::string& text) {
               target = ParseAmount(text);
               if (!target) {
                   throw CLI::ValidationError("bad " + typeName + " for " + option + ": " + text +
                                              " (a number, 0 or more)");
               }
           },
           description)
        ->type_name(typeName);
}

// An option whose value is one of `names`; another value is an error that lists them.
template <typename T, std::size_t N>
void AddChoice(CLI::App& app, const std::string& option, const std::string& noun, T& target,
               const std::array<NamedValue<T>, N>& names, const std::string& description) {
    const auto choose = [&target, &names, noun](const std::string& text) {
        const std::optional<T> named = Named(names, text);
        if (!named) {
            throw CLI::ValidationError(UnknownName(noun, text, names));
        }
        target = *named;
    };
    app.add_option_function<std::string>(option, choose, description)
        ->type_name(JoinedNames(names, "|", "|"));
}

// An option whose value is an integer read like the window's threshold prompts: leading
// blanks, a sign and decimal digits, "$" and hexadecimal or "%" and binary digits, up to the
// first other character; no digits give 0.
void AddThreshold(CLI::App& app, const std::string& option, int& target,
                  const std::string& typeName, const std::string& description) {
    app.add_option_function<std::string>(
           option, [&target](const std::string& text) { target = ParseInteger32(text); },
           description)
        ->type_name(typeName);
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

// Everything the command line accepts, written into `options`; positional arguments (the
// run file) into `runFiles`, the two command flags into `threadsList` and `list`.
struct CommandLine {
    CLI::App App{kDescription, kProgram};
    std::vector<std::string> RunFiles;
    bool ThreadsList = false;
    bool List = false;
    bool Compare = false;
    bool AllThreads = false;
    std::string Sort; // --sort, read once the command is known
    std::optional<double> MinMs;

    explicit CommandLine(ReportOptions& options) {
        App.formatter(std::make_shared<HelpFormatter>());
        App.get_formatter()->column_width(26);
        App.set_version_flag("--version", kProgram + " " + kTickscopeVersion, "Print the version");
        // A repeated option counts with its last value.
        App.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

        App.add_option("RUN.tkr", RunFiles, "The run file (.tkr) of a recorded run")
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->type_name("");
        App.add_flag("--threads-list", ThreadsList, "Print the run's threads (id,scope) instead")
            ->disable_flag_override();
        App.add_flag("--list", List, "Print the runs in ~/Tickscope, newest first")
            ->disable_flag_override()
            ->excludes("--threads-list");
        App.add_flag("--compare", Compare,
                     "Compare two runs, OLD.tkr NEW.tkr, matching lines across edits")
            ->disable_flag_override()
            ->excludes("--threads-list")
            ->excludes("--list");

        AddChoice(App, "--mode", "mode", options.Mode, kModes,
                  "Time shown: total, average per hit, maximum, minimum");
        App.add_option_function<std::string>(
               "--threads",
               [&options](const std::string& text) {
                   options.Threads = ParseThreadIds(text);
                   if (!options.Threads) {
                       throw CLI::ValidationError("bad thread id list: " + text);
                   }
               },
               "Count only these threads (default: all); with --compare in both runs")
            ->type_name("ID[,ID...]");
        App.add_flag("--all-threads", AllThreads, "Count every thread (the default)")
            ->disable_flag_override()
            ->excludes("--threads");
        AddThreshold(App, "--max-hits", options.MaxHits, "N",
                     "Hits that give full red (0: the largest)");
        AddThreshold(App, "--max-time", options.MaxTime, "MS",
                     "Milliseconds that give full red (0: the largest)");
        AddChoice(App, "--format", "format", options.Output, kFormats,
                  "Output: a table, CSV records or JSON");
        AddChoice(App, "--by", "table", options.Layout.Table, kTables,
                  "One row per line of code or per procedure");
        App.add_option("--sort", Sort,
                       "Text rows by time, self time, hits or calls, largest first; with "
                       "--compare by the change, the old or the new time")
            ->type_name(JoinedNames(kOrders, "|", "|") + "|" +
                        JoinedNames(kComparisonOrders, "|", "|"));
        App.add_option_function<std::string>(
               "--top",
               [&options](const std::string& text) {
                   const std::optional<std::int32_t> count = ParseDecimalInt32(text);
                   if (!count || *count < 1) {
                       throw CLI::ValidationError("bad row count for --top: " + text +
                                                  " (1 or more)");
                   }
                   options.Layout.Top = static_cast<std::size_t>(*count);
               },
               "Only the N rows that rank first (by --sort, or time; with --compare delta)")
            ->type_name("N");
        AddAmount(App, "--fail-slower", options.FailSlowerPercent, "PCT",
                  "With --compare: exit code 1 when the run time or a procedure's total grew "
                  "by more than PCT percent");
        AddAmount(App, "--min-ms", MinMs, "MS",
                  "With --fail-slower: and by at least MS milliseconds (default 0.1)");
        App.get_option("--min-ms")->needs("--fail-slower");
    }
};

std::string OneLine(std::string message) {
    std::replace(message.begin(), message.end(), '\n', ' ');
    return kProgram + ": " + message + " (try --help)\n";
}

ParsedCommandLine BadInput(const std::string& message) {
    ParsedCommandLine parsed;
    parsed.Err = OneLine(message);
    parsed.ExitCode = kExitBadInput;
    return parsed;
}

} // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ReportOptions options;
    CommandLine line(options);
    try {
        // CLI11 takes the arguments last first.
        line.App.parse(std::vector<std::string>(arguments.rbegin(), arguments.rend()));
    } catch (const CLI::CallForHelp&) {
        return {std::nullopt, line.App.help(), {}, kExitOk};
    } catch (const CLI::CallForVersion& version) {
        return {std::nullopt, std::string(version.what()) + "\n", {}, kExitOk};
    } catch (const CLI::ParseError& error) {
        return BadInput(error.what());
    }

    if (line.MinMs) {
        options.FailSlowerMinMs = *line.MinMs;
    }
    if (line.Compare) {
        if (line.RunFiles.size() != 2) {
            return BadInput("--compare takes two run files, OLD.tkr NEW.tkr");
        }
        for (const char* option : {"--max-hits", "--max-time"}) {
            if (line.App.count(option) != 0) {
                return BadInput(std::string(option) + " does not go with --compare");
            }
        }
        if (!line.Sort.empty()) {
            options.ComparisonSort = Named(kComparisonOrders, line.Sort);
            if (!options.ComparisonSort) {
                return BadInput(UnknownName("order", line.Sort, kComparisonOrders));
            }
        }
        options.OldRunFile = line.RunFiles.front();
        options.RunFile = line.RunFiles.back();
        options.What = Command::Compare;
        return {options, {}, {}, kExitOk};
    }
    if (options.FailSlowerPercent) {
        return BadInput("--fail-slower goes with --compare");
    }
    if (!line.Sort.empty()) {
        const std::optional<ReportOrder> order = Named(kOrders, line.Sort);
        if (!order) {
            return BadInput(UnknownName("order", line.Sort, kOrders));
        }
        options.Layout.Order = *order;
    }
    if (line.List) {
        if (!line.RunFiles.empty()) {
            return BadInput("--list takes no run file");
        }
        options.What = Command::List;
    } else {
        if (line.RunFiles.size() != 1) {
            return BadInput(line.RunFiles.empty() ? "no run file given"
                                                  : "more than one run file given");
        }
        options.RunFile = line.RunFiles.front();
        options.What = line.ThreadsList ? Command::ThreadsList : Command::Report;
    }
    return {options, {}, {}, kExitOk};
}

} // namespace tickscope::report
