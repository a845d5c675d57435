#include "report/report_commands.h"

#include "analysis/progress.h"
#include "analysis/report_figures.h"
#include "analysis/report_output.h"
#include "analysis/run_catalogue.h"
#include "analysis/run_loading.h"
#include "analysis/run_profile.h"
#include "platform/file_reading.h"
#include "platform/platform.h"
#include "runfiles/run_information.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace tickscope::report {

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "tickscope-report: %s\n", message.c_str());
    return kExitBadInput;
}

void Warn(const std::string& message) {
    std::fprintf(stderr, "tickscope-report: warning: %s\n", message.c_str());
}

// Writes the output and flushes it: kExitOk, or kExitWriteFailed with a line on stderr when
// it did not all reach standard output (a full disk, a closed pipe, a closed descriptor).
int Write(const std::string& text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (written && std::fflush(stdout) == 0 && !std::ferror(stdout)) {
        return kExitOk;
    }
    const int error = errno;
    std::fprintf(stderr, "tickscope-report: cannot write the output: %s\n",
                 error != 0 ? std::strerror(error) : "write error");
    return kExitWriteFailed;
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
            Warn("the run has no thread " + std::to_string((*ids)[i]));
        }
    }
    return checks;
}

std::string Render(Format format, const RunReport& report) {
    switch (format) {
    case Format::Csv:
        return CsvReport(report);
    case Format::Json:
        return JsonReport(report);
    case Format::Text:
        break;
    }
    return TextReport(report);
}

// The report, or the thread list, of the run the options name.
int ReportRun(const ReportOptions& options) {
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
        Warn(IncompleteInvocationsMessage(*run));
    }
    if (options.What == Command::ThreadsList) {
        return Write(ThreadsCsv(*run));
    }
    const ThreadChecks threads = ChosenThreads(*run, options.Threads);
    const LineChecks lines(run->Program.LinesOfCode.size(), true);
    const HeatScale scale{options.MaxHits, options.MaxTime};
    const ReportFigures figures =
        ComputeReportFigures(run->Analysis, threads, lines, options.Mode, scale);
    const RunProfile profile = ComputeRunProfile(run->Analysis, run->Program, threads);
    return Write(Render(options.Output, RunReport{*run, threads, figures, profile, scale,
                                                  options.RunFile, options.Layout}));
}

} // namespace

int RunCommand(const ReportOptions& options) {
    switch (options.What) {
    case Command::List:
        return ListRuns();
    case Command::Report:
    case Command::ThreadsList:
        break;
    }
    return ReportRun(options);
}

int RunReportTool(const std::vector<std::string>& arguments) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (parsed.Options) {
        return RunCommand(*parsed.Options);
    }
    std::fputs(parsed.Err.c_str(), stderr);
    if (parsed.Out.empty()) {
        return parsed.ExitCode;
    }
    const int written = Write(parsed.Out);
    return written != kExitOk ? written : parsed.ExitCode;
}

} // namespace tickscope::report
