#include "report/report_commands.h"

#include "analysis/callgrind_export.h"
#include "analysis/html_report.h"
#include "analysis/report_figures.h"
#include "analysis/report_output.h"
#include "analysis/run_catalogue.h"
#include "analysis/run_profile.h"
#include "analysis/timeline_export.h"
#include "platform/file_reading.h"
#include "platform/platform.h"
#include "report/compare_command.h"
#include "report/report_io.h"
#include "report/report_sinks.h"
#include "runfiles/run_information.h"
#include "tickscope_version.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace tickscope::report {

namespace {

int ListRuns(const std::optional<std::string>& file) {
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
    return Write(out, file);
}

std::string Render(Format format, const RunReport& report) {
    switch (format) {
    case Format::Csv:
        return CsvReport(report);
    case Format::Json:
        return JsonReport(report);
    case Format::Text:
    case Format::Html:      // streamed by ReportRun
    case Format::Callgrind: // the exports are written by Export and ExportTimelineOf
    case Format::Speedscope:
    case Format::Chrome:
    case Format::Folded:
        break;
    }
    return TextReport(report);
}

const std::string kCreator = std::string("tickscope-report ") + kTickscopeVersion;

// Runs an export into the output; a run there is no memory for ends it unfinished.
int Export(const ReportOptions& options, const std::function<void(OutputBuffer&)>& write) {
    return WriteOutput(options.OutputFile, [&write](ExportSink& sink) {
        try {
            OutputBuffer out(sink);
            write(out);
        } catch (const std::exception&) { // std::bad_alloc, std::length_error
            return std::string("there is not enough memory for the run");
        }
        return std::string();
    });
}

// The exports that stream the entry log themselves, without loading the run.
int ExportTimelineOf(const ReportOptions& options) {
    TimelineExport timeline;
    timeline.Format = options.Output == Format::Chrome       ? TimelineFormat::Chrome
                      : options.Output == Format::Speedscope ? TimelineFormat::Speedscope
                                                             : TimelineFormat::Folded;
    timeline.Timeline.Frames = options.Frames;
    timeline.Timeline.MinNanos = options.MinMicroseconds * 1000;
    timeline.Timeline.Threads.Ids = options.Threads;
    timeline.Creator = kCreator;
    TimelineResult result;
    const int code = WriteOutput(options.OutputFile, [&](ExportSink& sink) {
        try {
            result = ExportTimeline(CatalogueRunFile(options.RunFile), timeline, sink);
        } catch (const std::exception&) { // std::bad_alloc, std::length_error
            return std::string("there is not enough memory for the run");
        }
        return result.Failure;
    });
    for (const std::int32_t id : options.Threads.value_or(std::vector<std::int32_t>())) {
        const bool found = std::any_of(
            result.ThreadIds.begin(), result.ThreadIds.end(),
            [id](std::int64_t threadId) { return static_cast<std::int32_t>(threadId) == id; });
        if (!found) {
            Warn("the run has no thread " + std::to_string(id));
        }
    }
    return code;
}

// The report, or the thread list, of the run the options name.
int ReportRun(const ReportOptions& options) {
    if (OutputWouldReplaceRun(options.OutputFile, options.RunFile)) {
        return kExitBadInput;
    }
    if (options.What == Command::Report && UsesFrames(options.Output)) {
        if (!platform::OpenRegularFile(options.RunFile).has_value()) {
            return Fail("cannot read run file: " + options.RunFile);
        }
        return ExportTimelineOf(options);
    }
    const std::unique_ptr<LoadedRun> run = LoadNamedRun(options.RunFile);
    if (!run) {
        return kExitBadInput;
    }
    if (options.What == Command::ThreadsList) {
        return Write(ThreadsCsv(*run), options.OutputFile);
    }
    const ThreadChecks threads = ChosenThreads(*run, options.Threads);
    const LineChecks lines(run->Program.LinesOfCode.size(), true);
    const HeatScale scale{options.MaxHits, options.MaxTime};
    const RunProfile profile = ComputeRunProfile(run->Analysis, run->Program, threads);
    if (options.Output == Format::Callgrind) {
        return Export(options,
                      [&](OutputBuffer& out) { WriteCallgrind(*run, profile, kCreator, out); });
    }
    const ReportFigures figures =
        ComputeReportFigures(run->Analysis, threads, lines, options.Mode, scale);
    const RunReport report{*run, threads, figures, profile, scale, options.RunFile, options.Layout};
    if (options.Output == Format::Html) {
        return WriteStreamed([&report](TextSink& sink) { WriteHtmlReport(report, sink); },
                             options.OutputFile);
    }
    return Write(Render(options.Output, report), options.OutputFile);
}

} // namespace

int RunCommand(const ReportOptions& options) {
    switch (options.What) {
    case Command::List:
        return ListRuns(options.OutputFile);
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
