#include "report/report_options.h"

#include "source/text_utils.h"
#include "tickscope_version.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace tickscope::report {

namespace {

const std::string kProgram = "tickscope-report";

// The head of --help; the list of options below it is made from the options themselves.
const char* const kSynopsis = "usage: tickscope-report RUN.tkr [options]\n"
                              "       tickscope-report --threads-list RUN.tkr\n"
                              "       tickscope-report --list\n";

const char* const kDescription =
    "Prints the report of a recorded run as the analyzer window shows it, with every line\n"
    "checked and the chosen threads counted. Bad arguments or a run that cannot be read:\n"
    "one line on standard error and exit code 2.\n";

// The end of --help: the exports and how large they get.
const char* const kExports =
    "Exports (--format):\n"
    "  callgrind   KCachegrind, QCachegrind, callgrind_annotate: per line its self time\n"
    "              and hits, per call the inclusive time\n"
    "  speedscope  speedscope's file format: a timeline per thread\n"
    "  chrome      the Trace Event format (Perfetto, chrome://tracing): a timeline\n"
    "  folded      folded stacks for flame graphs: \"frame;frame nanoseconds\"\n"
    "\nHow large a timeline gets: with --frames line every entry of the run becomes an event,\n"
    "about 40 bytes in speedscope and 100 bytes in chrome (20 million entries: 0.8 GB and\n"
    "2 GB); with procedure frames an event opens and closes each call. Browsers open a few\n"
    "hundred MB: --min-us leaves out the short executions (their time stays in the frame\n"
    "around them). Folded stacks and callgrind grow with the program, not the run.\n";

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

// An option whose value is one of `names`; another value is an error that lists them.
template <typename T, std::size_t N>
void AddChoice(CLI::App& app, const std::string& option, const std::string& noun, T& target,
               const std::array<NamedValue<T>, N>& names, const std::string& description) {
    const auto choose = [&target, &names, noun](const std::string& text) {
        const auto named = std::find_if(names.begin(), names.end(),
                                        [&](const NamedValue<T>& n) { return n.Name == text; });
        if (named == names.end()) {
            throw CLI::ValidationError("unknown " + noun + ": " + text + " (" +
                                       JoinedNames(names, ", ", " or ") + ")");
        }
        target = named->Value;
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
               "Count only these threads (default: all)")
            ->type_name("ID[,ID...]");
        AddThreshold(App, "--max-hits", options.MaxHits, "N",
                     "Hits that give full red (0: the largest)");
        AddThreshold(App, "--max-time", options.MaxTime, "MS",
                     "Milliseconds that give full red (0: the largest)");
        AddChoice(App, "--format", "format", options.Output, kFormats,
                  "Output: a table, CSV records, JSON, or an export (below)");
        App.add_option_function<std::string>(
               "--output", [&options](const std::string& path) { options.OutputFile = path; },
               "Write to this file instead of standard output")
            ->type_name("FILE");
        AddChoice(App, "--by", "table", options.Layout.Table, kTables,
                  "One row per line of code or per procedure");
        AddChoice(App, "--sort", "order", options.Layout.Order, kOrders,
                  "Text rows by time, self time, hits or calls, largest first");
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
               "Only the N rows that rank first (by --sort, or time)")
            ->type_name("N");
        AddChoice(App, "--frames", "frames", options.Frames, kFrameKinds,
                  "speedscope, chrome, folded: a frame per procedure (default) or line");
        FramesOption = App.get_option("--frames");
        MinOption = App.add_option_function<std::string>(
                           "--min-us",
                           [&options](const std::string& text) {
                               const std::optional<std::int32_t> us = ParseDecimalInt32(text);
                               if (!us || *us < 0) {
                                   throw CLI::ValidationError(
                                       "bad microseconds for --min-us: " + text + " (0 or more)");
                               }
                               options.MinMicroseconds = *us;
                           },
                           "speedscope, chrome: leave out executions shorter than N us")
                        ->type_name("N");
        App.footer(kExports);
    }
    CLI::Option* FramesOption = nullptr;
    CLI::Option* MinOption = nullptr;
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

    if (line.FramesOption->count() > 0 && !UsesFrames(options.Output)) {
        return BadInput("--frames applies to --format speedscope, chrome or folded");
    }
    if (line.MinOption->count() > 0 && !IsTimeline(options.Output)) {
        return BadInput("--min-us applies to --format speedscope or chrome");
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
