#include "ui/report_presenter.h"

#include "analysis/run_profile.h"
#include "ui/report_colours.h"

#include <algorithm>
#include <charconv>

namespace tickscope {

namespace {

void MarkProcedure(ListCell& code) {
    switch (ProcedureMarkOf(code.Text)) {
    case ProcedureMark::Start:
        code.TextColour = kProcedureStartText;
        break;
    case ProcedureMark::End:
        code.TextColour = kProcedureEndText;
        break;
    case ProcedureMark::None:
        break;
    }
}

void ResetRow(ListRow& row) {
    if (row.Cells.size() <= kCodeColumn) {
        row.Cells.resize(kCodeColumn + 1);
    }
    row.Cells[kFileColumn].TextColour = kUncountedText;
    row.Cells[kLineColumn].TextColour = kUncountedText;
    row.Cells[kCodeColumn].TextColour = kUncountedText;
    row.Cells[kFileColumn].Background = kFileLineBackground;
    row.Cells[kLineColumn].Background = kFileLineBackground;
    for (ListCell* figure : {&row.Cells[kHitsColumn], &row.Cells[kTimeColumn]}) {
        figure->TextColour = kGreyFigureText;
        figure->Background = kGreyFigureBackground;
        figure->Text.clear();
    }
}

} // namespace

void ShowProgramNames(AnalyzerLists& lists, const std::vector<std::string>& names) {
    lists.ProgramCombo.Entries = names;
    lists.ProgramCombo.Selected = -1;
}

void ShowRuns(AnalyzerLists& lists, const std::vector<const RunRecord*>& runs) {
    lists.RunList.Clear();
    lists.SourceFileList.Clear();
    lists.ReportList.Clear();
    lists.ThreadList.Clear();
    for (const RunRecord* record : runs) {
        lists.RunList.AddRow({FormatTimestamp(record->Timestamp), ""});
    }
}

void ShowLoadedRun(AnalyzerLists& lists, const LoadedRun& run) {
    lists.SourceFileList.Clear();
    for (const auto& [path, id] : run.Program.SourceFileIds) {
        lists.SourceFileList.AddRow({std::to_string(id), path});
    }
    lists.ReportList.Clear();
    lists.ReportList.Rows.reserve(run.Program.LinesOfCode.size());
    for (const LineOfCode& line : run.Program.LinesOfCode) {
        lists.ReportList
            .AddRow({"", std::to_string(line.SourceFileId), std::to_string(line.LineNumber), "", "",
                     std::string(line.Code)})
            .Checked = true;
    }
    lists.ThreadList.Clear();
    for (const ThreadInfo& thread : run.Threads) {
        lists.ThreadList.AddRow({"", std::to_string(thread.ThreadId), thread.Scope}).Checked = true;
    }
}

LineChecks LineChecksOf(const ListData& reportList) {
    LineChecks lines(reportList.Rows.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lines[i] = reportList.Rows[i].Checked;
    }
    return lines;
}

void ShowLineChecks(ListData& reportList, const LineChecks& lines) {
    for (std::size_t i = 0; i < lines.size() && i < reportList.Rows.size(); ++i) {
        reportList.Rows[i].Checked = lines[i];
    }
}

ThreadChecks ThreadChecksOf(const ListData& threadList) {
    ThreadChecks threads(threadList.Rows.size());
    for (std::size_t i = 0; i < threads.size(); ++i) {
        threads[i] = threadList.Rows[i].Checked;
    }
    return threads;
}

TimeMode TimeModeOf(const ComboData& modeCombo) {
    return TimeModeNamed(modeCombo.SelectedText()).value_or(TimeMode::All);
}

void ShowReportFigures(ListData& reportList, const ReportFigures& figures) {
    char buffer[kMillisecondsBufferSize];
    for (std::size_t i = 0; i < reportList.Rows.size(); ++i) {
        ListRow& row = reportList.Rows[i];
        ResetRow(row);
        if (i < figures.Lines.size() && figures.Lines[i].HasResults) {
            const LineReport& line = figures.Lines[i];
            ListCell& hits = row.Cells[kHitsColumn];
            ListCell& time = row.Cells[kTimeColumn];
            const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, line.Hits);
            (void)error;
            hits.Text.assign(buffer, static_cast<std::size_t>(end - buffer));
            time.Text.assign(buffer, FormatMilliseconds(line.TimeNanos, buffer));
            row.Cells[kCodeColumn].TextColour = kCountedCodeText;
            if (line.HitsHeat >= 0) {
                hits.Background = HeatColour(line.HitsHeat);
                time.Background = HeatColour(line.TimeHeat);
                hits.TextColour = kCheckedFigureText;
                time.TextColour = kCheckedFigureText;
            }
        }
        MarkProcedure(row.Cells[kCodeColumn]);
    }
}

std::string SourceFileToolTip(const LoadedRun& run, std::size_t row) {
    const auto& files = run.Program.SourceFileIds.Entries();
    return row < files.size() ? files[row].first : std::string();
}

std::string ThreadToolTip(const LoadedRun& run, std::size_t row) {
    if (row >= run.Threads.size()) {
        return {};
    }
    const ThreadInfo& thread = run.Threads[row];
    std::string text = "Thread ";
    text += std::to_string(thread.ThreadId);
    if (!thread.Scope.empty()) {
        text.append("\n").append(thread.Scope);
    }
    return text;
}

ReportToolTipFigures SumReportToolTipFigures(const RunAnalysis& analysis,
                                             const ThreadChecks& threads) {
    return {SumLineFigures(analysis, threads), SumRunNanos(analysis, threads),
            SumInstructionFigures(analysis, threads)};
}

namespace {

// Self time, its percent of the run and per hit; then each instruction's hits and time.
void AppendSelfAndInstructions(std::string& text, const LineFigures& line,
                               const ReportToolTipFigures& figures) {
    const std::int64_t self = SelfNanos(line);
    text.append("\nSelf time (ms): ")
        .append(FormatMilliseconds(self))
        .append(" (")
        .append(FormatPercent(self, figures.RunNanos))
        .append(" % of the run)");
    // Only wrapped sums give negative hits; self time is never below 0, so this cannot overflow.
    text.append("\nSelf time per hit (ms): ")
        .append(FormatMilliseconds(line.Hits > 0 ? self / line.Hits : 0));
    const auto id = static_cast<std::size_t>(line.LineId);
    if (id >= figures.Instructions.size()) {
        return;
    }
    for (const InstructionFigures& instruction : figures.Instructions[id]) {
        text.append("\nInstruction ")
            .append(std::to_string(instruction.InstructionNumber))
            .append(": ")
            .append(std::to_string(instruction.Hits))
            .append(instruction.Hits == 1 ? " hit, " : " hits, ")
            .append(FormatMilliseconds(instruction.TotalNanos))
            .append(" ms");
    }
}

} // namespace

std::string ReportRowToolTip(const LoadedRun& run, const ReportToolTipFigures& figures,
                             std::size_t row) {
    const auto& lines = run.Program.LinesOfCode;
    if (row >= lines.size()) {
        return {};
    }
    const LineOfCode& line = lines[row];
    std::string text;
    for (const auto& [path, id] : run.Program.SourceFileIds) {
        if (id == line.SourceFileId) {
            text.append(path).append("\n");
            break;
        }
    }
    text.append("File ")
        .append(std::to_string(line.SourceFileId))
        .append(", line ")
        .append(std::to_string(line.LineNumber));
    const auto lineId = static_cast<std::int32_t>(row + 1);
    const auto found = std::lower_bound(
        figures.Lines.begin(), figures.Lines.end(), lineId,
        [](const LineFigures& figure, std::int32_t id) { return figure.LineId < id; });
    if (found == figures.Lines.end() || found->LineId != lineId) {
        return text.append("\nNot run by the checked threads");
    }
    text.append("\nHits: ").append(std::to_string(found->Hits));
    for (const TimeMode mode : kTimeModes) {
        text.append("\nTime (ms) ")
            .append(TimeModeName(mode))
            .append(": ")
            .append(FormatMilliseconds(TimeStatistic(*found, mode)));
    }
    AppendSelfAndInstructions(text, *found, figures);
    return text;
}

std::vector<RowHeat> RowHeats(const ReportFigures& figures) {
    std::vector<RowHeat> heats(figures.Lines.size());
    for (std::size_t i = 0; i < heats.size(); ++i) {
        heats[i] = {figures.Lines[i].HitsHeat, figures.Lines[i].TimeHeat};
    }
    return heats;
}

} // namespace tickscope
