#include "report/report_commands.h"

#include "analysis/html_report.h"
#include "analysis/report_figures.h"
#include "analysis/report_output.h"
#include "analysis/run_catalogue.h"
#include "analysis/run_profile.h"
#include "platform/platform.h"
#include "report/compare_command.h"
#include "report/report_io.h"
#include "runfiles/run_information.h"

#include <cstdio>
#include <memory>
#include <string>

namespace tickscope::report {

namespace {

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

std::string Render(Format format, const RunReport& report) {
    switch (format) {
    case Format::Csv:
        return CsvReport(report);
    case Format::Json:
        return JsonReport(report);
    case Format::Text:
    case Format::Html: // streamed by ReportRun
        break;
    }
    return TextReport(report);
}

// The report, or the thread list, of the run the options name.
int ReportRun(const ReportOptions& options) {
    const std::unique_ptr<LoadedRun> run = LoadNamedRun(options.RunFile);
    if (!run) {
        return kExitBadInput;
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
    const RunReport report{*run, threads, figures, profile, scale, options.RunFile, options.Layout};
    if (options.Output == Format::Html) {
        return WriteStreamed([&report](TextSink& sink) { WriteHtmlReport(report, sink); });
    }
    return Write(Render(options.Output, report));
}

} // namespace

int RunCommand(const ReportOptions& options) {
    switch (options.What) {
    case Command::List:
        return ListRuns();
    case Command::Compare:
        return CompareCommand(options);
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
