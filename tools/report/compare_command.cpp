#include "report/compare_command.h"

#include "analysis/comparison_output.h"
#include "analysis/html_report.h"
#include "analysis/report_figures.h"
#include "analysis/run_comparison.h"
#include "report/report_io.h"

#include <cmath>
#include <optional>
#include <string>

namespace tickscope::report {

namespace {

// The run the user named as `which` ("old run", "new run"), reduced to its figures.
std::optional<RunSummary> Summarise(const std::string& runFile, const std::string& which,
                                    const ReportOptions& options) {
    std::unique_ptr<LoadedRun> run = LoadNamedRun(runFile);
    if (!run) {
        return std::nullopt;
    }
    const ThreadChecks threads = ChosenThreads(*run, options.Threads, which);
    return SummariseRun(std::move(*run), threads, options.Mode);
}

std::string Render(Format format, const ComparisonReport& report) {
    switch (format) {
    case Format::Csv:
        return CsvComparison(report);
    case Format::Json:
        return JsonComparison(report);
    case Format::Text:
    case Format::Html:      // streamed by CompareCommand
    case Format::Callgrind: // not offered for a comparison (ComparesIn)
    case Format::Speedscope:
    case Format::Chrome:
    case Format::Folded:
        break;
    }
    return TextComparison(report);
}

// "run time 2.06 ms -> 2.25 ms (+9.22 %)", "procedure Helper ...".
std::string SlowerLine(const SlowerFigure& figure) {
    const std::string percent = DeltaPercent(figure.OldNanos, figure.NewNanos);
    return (figure.Procedure.empty() ? std::string("run time") : "procedure " + figure.Procedure) +
           " " + FormatMilliseconds(figure.OldNanos) + " ms -> " +
           FormatMilliseconds(figure.NewNanos) + " ms" +
           (percent.empty() ? std::string() : " (+" + percent + " %)");
}

} // namespace

int CompareCommand(const ReportOptions& options) {
    if (OutputWouldReplaceRun(options.OutputFile, options.OldRunFile) ||
        OutputWouldReplaceRun(options.OutputFile, options.RunFile)) {
        return kExitBadInput;
    }
    const std::optional<RunSummary> older = Summarise(options.OldRunFile, "old run", options);
    if (!older) {
        return kExitBadInput;
    }
    const std::optional<RunSummary> newer = Summarise(options.RunFile, "new run", options);
    if (!newer) {
        return kExitBadInput;
    }
    const RunComparison comparison = CompareRuns(*older, *newer);
    if (!comparison.SharesFiles()) {
        Warn("the runs have no source file in common: they are of different programs, so "
             "every line is added or removed");
    }
    const ComparisonLayout layout{options.Layout.Table, options.ComparisonSort, options.Layout.Top};
    const ComparisonReport report{*older, *newer, comparison, layout};
    const int written =
        options.Output == Format::Html
            ? WriteStreamed([&report](TextSink& sink) { WriteHtmlComparison(report, sink); },
                            options.OutputFile)
            : Write(Render(options.Output, report), options.OutputFile);
    if (written != kExitOk || !options.FailSlowerPercent) {
        return written;
    }
    const SlowerLimit limit{*options.FailSlowerPercent,
                            std::llround(options.FailSlowerMinMs * 1000000.0)};
    const std::vector<SlowerFigure> slower = FindSlower(comparison, limit);
    for (const SlowerFigure& figure : slower) {
        std::fprintf(stderr, "tickscope-report: slower: %s\n",
                     VisibleText(SlowerLine(figure)).c_str());
    }
    return slower.empty() ? kExitOk : kExitSlower;
}

} // namespace tickscope::report
