#include "analysis/comparison_output.h"

#include "analysis/id_names.h"
#include "analysis/report_output.h"
#include "analysis/run_profile.h"
#include "analysis/wrapping_math.h"

#include <algorithm>
#include <numeric>

namespace tickscope {

namespace {

constexpr std::size_t kSummaryProcedures = 5;
constexpr std::size_t kSummaryLines = 10;

std::string Count(bool has, std::int64_t value) {
    return has ? std::to_string(value) : std::string();
}

std::string Milliseconds(bool has, std::int64_t nanos) {
    return has ? FormatMilliseconds(nanos) : std::string();
}

std::string Milliseconds(const std::optional<std::int64_t>& nanos) {
    return Milliseconds(nanos.has_value(), nanos.value_or(0));
}

std::string Percent(bool hasOld, std::int64_t older, bool hasNew, std::int64_t newer) {
    return hasOld ? DeltaPercent(older, hasNew ? newer : 0) : std::string();
}

// A string of a side that has the line (its line number is not empty), null otherwise.
std::string JsonText(const std::string& line, const std::string& text) {
    return line.empty() ? std::string("null") : JsonString(text);
}

std::string CsvRecord(const std::vector<std::string>& fields) {
    std::string record;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        record += i == 0 ? "" : ",";
        record += CsvField(fields[i]);
    }
    return record + "\n";
}

// A table for a terminal, each row after `indent`: the first column left-aligned, the last
// as it is (shown with VisibleText), the others right-aligned.
std::string Table(const std::vector<std::vector<std::string>>& rows,
                  const std::string& indent = {}) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t c = 0; c + 1 < row.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    std::string out;
    for (const auto& row : rows) {
        out += indent;
        for (std::size_t c = 0; c < row.size(); ++c) {
            out += c == 0 ? "" : "  ";
            out += c + 1 < row.size()
                       ? (c == 0 ? PadRight(row[c], widths[c]) : PadLeft(row[c], widths[c]))
                       : VisibleText(row[c]);
        }
        out += "\n";
    }
    return out;
}

std::string RunHeading(const char* label, const RunSummary& run) {
    std::size_t counted = 0;
    for (std::size_t i = 0; i < run.Threads.size(); ++i) {
        counted += i < run.CountedThreads.size() && run.CountedThreads[i] ? 1 : 0;
    }
    return std::string(label) + VisibleText(run.Record.FileName) + "\n" + "            program " +
           VisibleText(run.Record.Path) + ", started " + FormatTimestamp(run.Record.Timestamp) +
           ", threads " + std::to_string(counted) + " of " + std::to_string(run.Threads.size()) +
           "\n";
}

std::string Change(std::int64_t older, std::int64_t newer) {
    const std::string percent = DeltaPercent(older, newer);
    return FormatMilliseconds(older) + " ms -> " + FormatMilliseconds(newer) + " ms (" +
           SignedText(FormatMilliseconds(WrappingSubtract(newer, older))) + " ms" +
           (percent.empty() ? std::string() : ", " + SignedText(percent) + " %") + ")";
}

std::string Counts(const char* what, std::size_t matched, std::size_t added, std::size_t removed) {
    return std::string(what) + std::to_string(matched) + " matched, " + std::to_string(added) +
           " added, " + std::to_string(removed) + " removed\n";
}

template <class Rows> std::string StatusCounts(const char* what, const Rows& rows) {
    std::size_t counts[3] = {0, 0, 0};
    for (const auto& row : rows) {
        ++counts[static_cast<int>(row.Status)];
    }
    return Counts(what, counts[0], counts[1], counts[2]);
}

std::string FileLegend(const ComparisonReport& report) {
    const IdNames oldNames(report.Old.Program);
    const IdNames newNames(report.New.Program);
    std::vector<std::vector<std::string>> rows = {{"Status", "Old", "New", "Path"}};
    for (const FileComparison& file : report.Comparison.Files) {
        std::string path;
        if (file.NewFileId != 0) {
            path = newNames.FilePath(file.NewFileId);
        }
        if (file.OldFileId != 0 && oldNames.FilePath(file.OldFileId) != path) {
            path = file.NewFileId != 0 ? oldNames.FilePath(file.OldFileId) + " -> " + path
                                       : oldNames.FilePath(file.OldFileId);
        }
        if (file.Status == MatchStatus::Matched && file.Rule == FileMatchRule::FileName) {
            path += "  (matched by name)";
        }
        rows.push_back({std::string(MatchStatusName(file.Status)),
                        file.OldFileId != 0 ? std::to_string(file.OldFileId) : "",
                        file.NewFileId != 0 ? std::to_string(file.NewFileId) : "", path});
    }
    return Table(rows);
}

std::vector<std::string> LineCells(const LineRowTexts& t) {
    return {t.Status,
            ComparisonTexts::Place(t.OldFileId, t.OldLine),
            ComparisonTexts::Place(t.NewFileId, t.NewLine),
            t.OldHits,
            t.NewHits,
            t.OldTime,
            t.NewTime,
            SignedText(t.DeltaTime),
            SignedText(t.DeltaPercent),
            t.Code};
}

std::vector<std::string> ProcedureCells(const ProcedureRowTexts& t) {
    return {t.Status,
            t.OldCalls,
            t.NewCalls,
            t.OldSelf,
            t.NewSelf,
            t.OldTotal,
            t.NewTotal,
            SignedText(t.DeltaTotal),
            SignedText(t.DeltaPercent),
            t.Name};
}

const std::vector<std::string> kLineHeader = {"Status",   "Old",      "New",      "Old hits",
                                              "New hits", "Old (ms)", "New (ms)", "Delta (ms)",
                                              "Delta %",  "Code"};
const std::vector<std::string> kProcedureHeader = {
    "Status",         "Old calls",      "New calls",  "Old self (ms)", "New self (ms)",
    "Old total (ms)", "New total (ms)", "Delta (ms)", "Delta %",       "Procedure"};

std::string MostChanged(const ComparisonReport& report, bool gained) {
    const RunComparison& comparison = report.Comparison;
    const char* way = gained ? "gained" : "lost";
    std::string out = std::string("Procedures that ") + way + " most:\n";
    std::vector<std::vector<std::string>> rows = {kProcedureHeader};
    for (const std::size_t i : MostChangedProcedures(comparison, gained, kSummaryProcedures)) {
        rows.push_back(ProcedureCells(ComparisonTexts::Procedure(comparison.Procedures[i])));
    }
    out += rows.size() == 1 ? "  none\n" : Table(rows, "  ");
    out += std::string("\nLines that ") + way + " most:\n";
    rows = {kLineHeader};
    const ComparisonTexts texter(report);
    for (const std::size_t i : MostChangedLines(comparison, gained, kSummaryLines)) {
        rows.push_back(LineCells(texter.Line(comparison.Lines[i])));
    }
    out += rows.size() == 1 ? "  none\n" : Table(rows, "  ");
    return out;
}

} // namespace

std::string SignedText(const std::string& number) {
    return number.empty() || number.front() == '-' || number == "0." || number == "0.00"
               ? number
               : "+" + number;
}

ComparisonTexts::ComparisonTexts(const ComparisonReport& report)
    : old_(report.Old), new_(report.New), oldNames_(report.Old.Program),
      newNames_(report.New.Program) {}

LineRowTexts ComparisonTexts::Line(const LineComparison& row) const {
    LineRowTexts texts;
    texts.Status = std::string(MatchStatusName(row.Status));
    const LineOfCode* code = nullptr;
    if (const LineOfCode* line = LineOf(old_, row.Old)) {
        texts.OldFileId = std::to_string(line->SourceFileId);
        texts.OldFile = oldNames_.FilePath(line->SourceFileId);
        texts.OldLine = std::to_string(line->LineNumber);
        code = line;
    }
    if (const LineOfCode* line = LineOf(new_, row.New)) {
        texts.NewFileId = std::to_string(line->SourceFileId);
        texts.NewFile = newNames_.FilePath(line->SourceFileId);
        texts.NewLine = std::to_string(line->LineNumber);
        code = line;
    }
    texts.OldHits = Count(row.Old.HasFigures, row.Old.Hits);
    texts.NewHits = Count(row.New.HasFigures, row.New.Hits);
    texts.OldTime = Milliseconds(row.Old.HasFigures, row.Old.TimeNanos);
    texts.NewTime = Milliseconds(row.New.HasFigures, row.New.TimeNanos);
    texts.DeltaTime = Milliseconds(TimeDelta(row));
    texts.DeltaPercent =
        Percent(row.Old.HasFigures, row.Old.TimeNanos, row.New.HasFigures, row.New.TimeNanos);
    texts.OldSelf = Milliseconds(row.Old.HasFigures, row.Old.SelfNanos);
    texts.NewSelf = Milliseconds(row.New.HasFigures, row.New.SelfNanos);
    texts.Code = code ? std::string(code->Code) : std::string();
    return texts;
}

const LineOfCode* ComparisonTexts::LineOf(const RunSummary& run, const LineSide& side) {
    const auto& lines = run.Program.LinesOfCode;
    if (side.LineId < 1 || static_cast<std::size_t>(side.LineId) > lines.size()) {
        return nullptr;
    }
    return &lines[static_cast<std::size_t>(side.LineId) - 1];
}

std::string ComparisonTexts::Place(const std::string& fileId, const std::string& line) {
    return line.empty() ? std::string() : fileId + ":" + line;
}

ProcedureRowTexts ComparisonTexts::Procedure(const ProcedureComparison& row) {
    ProcedureRowTexts texts;
    texts.Status = std::string(MatchStatusName(row.Status));
    const ProcedureSide& named = row.New.ScopeId != 0 || row.Old.ScopeId == 0 ? row.New : row.Old;
    texts.Name = ProcedureLabel(row.Name, named.ScopeId);
    texts.OldCalls = Count(row.Old.HasFigures, row.Old.Calls);
    texts.NewCalls = Count(row.New.HasFigures, row.New.Calls);
    texts.OldSelf = Milliseconds(row.Old.HasFigures, row.Old.SelfNanos);
    texts.NewSelf = Milliseconds(row.New.HasFigures, row.New.SelfNanos);
    texts.OldTotal = Milliseconds(row.Old.HasFigures, row.Old.TotalNanos);
    texts.NewTotal = Milliseconds(row.New.HasFigures, row.New.TotalNanos);
    texts.DeltaTotal = Milliseconds(TotalDelta(row));
    texts.DeltaPercent =
        Percent(row.Old.HasFigures, row.Old.TotalNanos, row.New.HasFigures, row.New.TotalNanos);
    return texts;
}

std::vector<std::size_t> ComparisonRows(const ComparisonReport& report, ReportTable table,
                                        bool comparisonOrder) {
    const RunComparison& comparison = report.Comparison;
    const bool lines = table == ReportTable::Lines;
    const std::size_t count = lines ? comparison.Lines.size() : comparison.Procedures.size();
    std::vector<std::size_t> rows(count);
    std::iota(rows.begin(), rows.end(), std::size_t{0});
    const ComparisonLayout& layout = report.Layout;
    if (!layout.Order && !layout.Top) {
        return rows;
    }
    const ComparisonOrder order = layout.Order.value_or(ComparisonOrder::Delta);
    rows = lines ? RankComparedLines(comparison, order) : RankComparedProcedures(comparison, order);
    if (layout.Top) {
        const auto hasFigure = [&](std::size_t i) {
            return lines ? OrderFigure(comparison.Lines[i], order).has_value()
                         : OrderFigure(comparison.Procedures[i], order).has_value();
        };
        const auto end = std::find_if_not(rows.begin(), rows.end(), hasFigure);
        rows.erase(end, rows.end());
        rows.resize(std::min(rows.size(), *layout.Top));
    }
    if (comparisonOrder) {
        std::sort(rows.begin(), rows.end());
    }
    return rows;
}

namespace {

std::string CsvLines(const ComparisonReport& report, const std::vector<std::size_t>& rows) {
    std::string out = "status,old_file,old_line,new_file,new_line,old_hits,new_hits,old_ms,new_ms,"
                      "delta_ms,delta_percent,old_self_ms,new_self_ms,code\n";
    const ComparisonTexts texter(report);
    for (const std::size_t i : rows) {
        const LineRowTexts t = texter.Line(report.Comparison.Lines[i]);
        out += CsvRecord({t.Status, t.OldFile, t.OldLine, t.NewFile, t.NewLine, t.OldHits,
                          t.NewHits, t.OldTime, t.NewTime, t.DeltaTime, t.DeltaPercent, t.OldSelf,
                          t.NewSelf, t.Code});
    }
    return out;
}

std::string CsvProcedures(const ComparisonReport& report, const std::vector<std::size_t>& rows) {
    std::string out = "status,procedure,old_calls,new_calls,old_self_ms,new_self_ms,old_total_ms,"
                      "new_total_ms,delta_total_ms,delta_total_percent\n";
    for (const std::size_t i : rows) {
        const ProcedureRowTexts t = ComparisonTexts::Procedure(report.Comparison.Procedures[i]);
        out += CsvRecord({t.Status, t.Name, t.OldCalls, t.NewCalls, t.OldSelf, t.NewSelf,
                          t.OldTotal, t.NewTotal, t.DeltaTotal, t.DeltaPercent});
    }
    return out;
}

} // namespace

std::string CsvComparison(const ComparisonReport& report) {
    const ReportTable table = report.Layout.Table;
    const std::vector<std::size_t> rows = ComparisonRows(report, table, true);
    return table == ReportTable::Procedures ? CsvProcedures(report, rows) : CsvLines(report, rows);
}

std::string JsonComparison(const ComparisonReport& report) {
    const std::vector<std::size_t> lines = ComparisonRows(report, ReportTable::Lines, true);
    const std::vector<std::size_t> procedures =
        ComparisonRows(report, ReportTable::Procedures, true);
    const RunComparison& comparison = report.Comparison;
    const auto run = [](const RunSummary& summary, std::int64_t runNanos) {
        std::string out =
            "{\"run\": " + JsonString(summary.Record.FileName) +
            ", \"program\": " + JsonString(summary.Record.Path) +
            ", \"started\": " + JsonString(FormatTimestamp(summary.Record.Timestamp)) +
            ", \"run_ms\": " + JsonNumber(FormatMilliseconds(runNanos)) + ", \"threads\": [";
        for (std::size_t i = 0; i < summary.Threads.size(); ++i) {
            const bool counted = i < summary.CountedThreads.size() && summary.CountedThreads[i];
            out += i == 0 ? "" : ", ";
            out += "{\"id\": " + std::to_string(summary.Threads[i].ThreadId) +
                   ", \"scope\": " + JsonString(summary.Threads[i].Scope) +
                   ", \"checked\": " + (counted ? "true" : "false") + "}";
        }
        return out + "]}";
    };
    const IdNames oldNames(report.Old.Program);
    const IdNames newNames(report.New.Program);
    const auto fileId = [](int id) { return id == 0 ? std::string("null") : std::to_string(id); };

    std::string out = "{\n";
    out += "  \"format_version\": " + std::to_string(kComparisonJsonFormatVersion) + ",\n";
    out += "  \"mode\": " + JsonString(TimeModeName(comparison.Mode)) + ",\n";
    out += "  \"old\": " + run(report.Old, comparison.OldRunNanos) + ",\n";
    out += "  \"new\": " + run(report.New, comparison.NewRunNanos) + ",\n";
    out += "  \"run_delta_ms\": " +
           JsonNumber(FormatMilliseconds(
               WrappingSubtract(comparison.NewRunNanos, comparison.OldRunNanos))) +
           ",\n";
    out += "  \"run_delta_percent\": " +
           JsonNumber(DeltaPercent(comparison.OldRunNanos, comparison.NewRunNanos)) + ",\n";
    out +=
        std::string("  \"shares_files\": ") + (comparison.SharesFiles() ? "true" : "false") + ",\n";
    out += "  \"files\": [";
    for (std::size_t i = 0; i < comparison.Files.size(); ++i) {
        const FileComparison& file = comparison.Files[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"status\": " + JsonString(MatchStatusName(file.Status)) +
               ", \"old_file\": " + fileId(file.OldFileId) +
               ", \"new_file\": " + fileId(file.NewFileId) + ", \"old_path\": " +
               (file.OldFileId != 0 ? JsonString(oldNames.FilePath(file.OldFileId)) : "null") +
               ", \"new_path\": " +
               (file.NewFileId != 0 ? JsonString(newNames.FilePath(file.NewFileId)) : "null") +
               ", \"matched_by\": " +
               (file.Status != MatchStatus::Matched    ? std::string("null")
                : file.Rule == FileMatchRule::FileName ? JsonString("name")
                                                       : JsonString("path")) +
               "}";
    }
    out += comparison.Files.empty() ? "],\n" : "\n  ],\n";

    out += "  \"lines\": [";
    const ComparisonTexts texter(report);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const LineRowTexts t = texter.Line(comparison.Lines[lines[k]]);
        out += k == 0 ? "\n" : ",\n";
        out += "    {\"status\": " + JsonString(t.Status) +
               ", \"old_file\": " + JsonText(t.OldLine, t.OldFile) +
               ", \"old_line\": " + JsonNumber(t.OldLine) +
               ", \"new_file\": " + JsonText(t.NewLine, t.NewFile) +
               ", \"new_line\": " + JsonNumber(t.NewLine) +
               ", \"old_file_id\": " + JsonNumber(t.OldFileId) +
               ", \"new_file_id\": " + JsonNumber(t.NewFileId) +
               ", \"old_hits\": " + JsonNumber(t.OldHits) +
               ", \"new_hits\": " + JsonNumber(t.NewHits) +
               ", \"old_ms\": " + JsonNumber(t.OldTime) + ", \"new_ms\": " + JsonNumber(t.NewTime) +
               ", \"delta_ms\": " + JsonNumber(t.DeltaTime) +
               ", \"delta_percent\": " + JsonNumber(t.DeltaPercent) +
               ", \"old_self_ms\": " + JsonNumber(t.OldSelf) +
               ", \"new_self_ms\": " + JsonNumber(t.NewSelf) + ", \"code\": " + JsonString(t.Code) +
               "}";
    }
    out += lines.empty() ? "],\n" : "\n  ],\n";

    out += "  \"procedures\": [";
    for (std::size_t k = 0; k < procedures.size(); ++k) {
        const ProcedureRowTexts t =
            ComparisonTexts::Procedure(comparison.Procedures[procedures[k]]);
        out += k == 0 ? "\n" : ",\n";
        out += "    {\"status\": " + JsonString(t.Status) +
               ", \"procedure\": " + JsonString(t.Name) +
               ", \"old_calls\": " + JsonNumber(t.OldCalls) +
               ", \"new_calls\": " + JsonNumber(t.NewCalls) +
               ", \"old_self_ms\": " + JsonNumber(t.OldSelf) +
               ", \"new_self_ms\": " + JsonNumber(t.NewSelf) +
               ", \"old_total_ms\": " + JsonNumber(t.OldTotal) +
               ", \"new_total_ms\": " + JsonNumber(t.NewTotal) +
               ", \"delta_total_ms\": " + JsonNumber(t.DeltaTotal) +
               ", \"delta_total_percent\": " + JsonNumber(t.DeltaPercent) + "}";
    }
    out += procedures.empty() ? "]\n" : "\n  ]\n";
    out += "}\n";
    return out;
}

std::string TextComparison(const ComparisonReport& report) {
    const bool byProcedure = report.Layout.Table == ReportTable::Procedures;
    const std::vector<std::size_t> rows = ComparisonRows(report, report.Layout.Table, false);
    const RunComparison& comparison = report.Comparison;
    std::string out;
    out += RunHeading("Old run:    ", report.Old);
    out += RunHeading("New run:    ", report.New);
    out += "Mode:       " + std::string(TimeModeName(comparison.Mode)) + "\n";
    out += "Run time:   " + Change(comparison.OldRunNanos, comparison.NewRunNanos) + "\n";
    out += StatusCounts("Files:      ", comparison.Files);
    out += StatusCounts("Lines:      ", comparison.Lines);
    out += StatusCounts("Procedures: ", comparison.Procedures);
    out += "\n" + MostChanged(report, true) + "\n" + MostChanged(report, false) + "\n";
    out += FileLegend(report) + "\n";

    std::vector<std::vector<std::string>> table;
    if (byProcedure) {
        table.push_back(kProcedureHeader);
        for (const std::size_t i : rows) {
            table.push_back(ProcedureCells(ComparisonTexts::Procedure(comparison.Procedures[i])));
        }
    } else {
        table.push_back(kLineHeader);
        const ComparisonTexts texter(report);
        for (const std::size_t i : rows) {
            table.push_back(LineCells(texter.Line(comparison.Lines[i])));
        }
    }
    return out + Table(table);
}

} // namespace tickscope
