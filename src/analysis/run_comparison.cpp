#include "analysis/run_comparison.h"

#include "analysis/id_names.h"
#include "analysis/line_alignment.h"
#include "analysis/wrapping_math.h"
#include "platform/ascii_text.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

namespace tickscope {

namespace {

using Position = std::ptrdiff_t; // an index, -1 for none

RunSummary Summarise(const LoadedRun& run, ProgramInfo program, const ThreadChecks& threads,
                     TimeMode mode) {
    RunSummary summary;
    summary.Record = run.Record;
    summary.Threads = run.Threads;
    summary.CountedThreads = threads;
    const LineChecks lines(program.LinesOfCode.size(), true);
    summary.Figures = ComputeReportFigures(run.Analysis, threads, lines, mode, HeatScale{});
    summary.Profile = ComputeRunProfile(run.Analysis, program, threads);
    summary.Program = std::move(program);
    return summary;
}

// --- files ------------------------------------------------------------------------------

// The components of a path, "\" and "/" alike, letters folded to lower case, "." left out
// and ".." taking the component before it away.
std::vector<std::string> PathComponents(std::string_view path) {
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view part = path.substr(start, end - start);
        if (part == ".." && !components.empty() && components.back() != "..") {
            components.pop_back();
        } else if (part != "." && !(part.empty() && start > 0)) {
            components.push_back(LowerAscii(part));
        }
        start = end + 1;
    }
    return components;
}

// The path of `path` from the folder of the main file, "/" between its components.
std::string RelativeKey(const std::vector<std::string>& path,
                        const std::vector<std::string>& folder) {
    std::size_t common = 0;
    while (common < path.size() && common < folder.size() && path[common] == folder[common]) {
        ++common;
    }
    std::string key;
    for (std::size_t i = common; i < folder.size(); ++i) {
        key += "../";
    }
    for (std::size_t i = common; i < path.size(); ++i) {
        key += path[i];
        key += i + 1 < path.size() ? "/" : "";
    }
    return key;
}

// The source files of a run that have lines, in the order of their first line, with the
// keys they are matched by.
struct RunFiles {
    std::vector<int> Ids;
    std::vector<std::string> Paths; // relative keys; empty for a file without a path
    std::vector<std::string> Names; // the last component of the path
};

// The path a file id was loaded from: the loader names a second inclusion of a path by the
// path with "#<id>" appended.
std::string_view LoadedPath(const ProgramInfo& program, std::string_view path, int id) {
    std::string suffix = "#"; // appended: GCC 12 at -O3 reports a false -Wrestrict for "#" + ...
    suffix += std::to_string(id);
    while (
        path.size() > suffix.size() && path.substr(path.size() - suffix.size()) == suffix &&
        program.SourceFileIds.Contains(std::string(path.substr(0, path.size() - suffix.size())))) {
        path.remove_suffix(suffix.size());
    }
    return path;
}

RunFiles FilesOf(const RunSummary& run) {
    const ProgramInfo& program = run.Program;
    const IdNames names(program);
    std::string mainPath = run.Record.Path;
    if (mainPath.empty() && !program.LinesOfCode.empty()) {
        mainPath = names.FilePath(program.LinesOfCode.front().SourceFileId);
    }
    std::vector<std::string> folder = PathComponents(mainPath);
    if (!folder.empty()) {
        folder.pop_back();
    }
    RunFiles files;
    std::unordered_map<int, bool> seen;
    for (const LineOfCode& line : program.LinesOfCode) {
        if (!seen.try_emplace(line.SourceFileId, true).second) {
            continue;
        }
        const int id = line.SourceFileId;
        const std::string& path = names.FilePath(id);
        files.Ids.push_back(id);
        if (path.empty()) {
            files.Paths.emplace_back();
            files.Names.emplace_back();
            continue;
        }
        const std::vector<std::string> components = PathComponents(LoadedPath(program, path, id));
        files.Paths.push_back(RelativeKey(components, folder));
        files.Names.push_back(components.empty() ? std::string() : components.back());
    }
    return files;
}

// Positions of the files by key, in order; files without a key are left out.
std::map<std::string, std::vector<std::size_t>> ByKey(const std::vector<std::string>& keys) {
    std::map<std::string, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!keys[i].empty()) {
            groups[keys[i]].push_back(i);
        }
    }
    return groups;
}

// The one relative path that carries each name, or "" for a name that several carry.
std::map<std::string, std::string> UniqueNames(const RunFiles& files) {
    std::map<std::string, std::string> paths;
    std::map<std::string, bool> shared;
    for (std::size_t i = 0; i < files.Names.size(); ++i) {
        if (files.Names[i].empty()) {
            continue;
        }
        const auto [at, added] = paths.try_emplace(files.Names[i], files.Paths[i]);
        if (!added && at->second != files.Paths[i]) {
            shared[files.Names[i]] = true;
        }
    }
    for (const auto& [name, isShared] : shared) {
        paths[name].clear();
    }
    return paths;
}

// Pairs the files of the two runs: olderOf[j] is the old file of new file j, or -1.
void MatchFiles(const RunFiles& older, const RunFiles& newer, std::vector<Position>& newerOf,
                std::vector<Position>& olderOf, std::vector<FileMatchRule>& rules) {
    newerOf.assign(older.Ids.size(), -1);
    olderOf.assign(newer.Ids.size(), -1);
    rules.assign(newer.Ids.size(), FileMatchRule::RelativePath);
    const auto pair = [&](const std::vector<std::size_t>& olds,
                          const std::vector<std::size_t>& news, FileMatchRule rule) {
        std::size_t o = 0;
        for (const std::size_t n : news) {
            while (o < olds.size() && newerOf[olds[o]] >= 0) {
                ++o;
            }
            if (o == olds.size()) {
                return;
            }
            if (olderOf[n] < 0) {
                newerOf[olds[o]] = static_cast<Position>(n);
                olderOf[n] = static_cast<Position>(olds[o]);
                rules[n] = rule;
            }
        }
    };
    const auto oldPaths = ByKey(older.Paths);
    for (const auto& [key, news] : ByKey(newer.Paths)) {
        if (const auto found = oldPaths.find(key); found != oldPaths.end()) {
            pair(found->second, news, FileMatchRule::RelativePath);
        }
    }
    const auto oldNames = UniqueNames(older);
    const auto newNames = UniqueNames(newer);
    const auto oldByName = ByKey(older.Names);
    for (const auto& [name, news] : ByKey(newer.Names)) {
        const auto found = oldByName.find(name);
        if (found != oldByName.end() && !oldNames.at(name).empty() && !newNames.at(name).empty()) {
            pair(found->second, news, FileMatchRule::FileName);
        }
    }
}

// --- order ------------------------------------------------------------------------------

// The rows of two sequences whose items are paired (newerOf for the old items, olderOf for
// the new ones): the new items in order, each old item without a partner after the row of
// the paired old item before it (first when there is none). Pairs (old, new), -1 for none.
std::vector<std::pair<Position, Position>> MergeOrder(const std::vector<Position>& newerOf,
                                                      const std::vector<Position>& olderOf) {
    // The unpaired old items by the new item they follow (-1: none), in old order.
    std::vector<std::pair<Position, Position>> unpaired;
    Position anchor = -1;
    for (std::size_t i = 0; i < newerOf.size(); ++i) {
        if (newerOf[i] >= 0) {
            anchor = newerOf[i];
        } else {
            unpaired.emplace_back(anchor, static_cast<Position>(i));
        }
    }
    std::stable_sort(unpaired.begin(), unpaired.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<Position, Position>> rows;
    rows.reserve(olderOf.size() + unpaired.size());
    auto next = unpaired.begin();
    const auto emitUnpairedAfter = [&](Position item) {
        for (; next != unpaired.end() && next->first == item; ++next) {
            rows.emplace_back(next->second, -1);
        }
    };
    emitUnpairedAfter(-1);
    for (std::size_t j = 0; j < olderOf.size(); ++j) {
        rows.emplace_back(olderOf[j], static_cast<Position>(j));
        emitUnpairedAfter(static_cast<Position>(j));
    }
    return rows;
}

MatchStatus StatusOf(Position older, Position newer) {
    if (older >= 0 && newer >= 0) {
        return MatchStatus::Matched;
    }
    return newer >= 0 ? MatchStatus::Added : MatchStatus::Removed;
}

// --- lines ------------------------------------------------------------------------------

LineSide SideOf(const RunSummary& run, std::size_t index) {
    LineSide side;
    side.LineId = static_cast<std::int32_t>(index + 1);
    const LineReport& figures = run.Figures.Lines[index];
    side.HasFigures = figures.HasResults;
    side.Hits = figures.Hits;
    side.TimeNanos = figures.TimeNanos;
    const auto& lines = run.Profile.Lines;
    const auto found =
        std::lower_bound(lines.begin(), lines.end(), side.LineId,
                         [](const LineProfile& line, std::int32_t id) { return line.LineId < id; });
    if (found != lines.end() && found->LineId == side.LineId) {
        side.SelfNanos = found->SelfNanos;
    }
    return side;
}

// The line positions of every file, by file position.
std::vector<std::vector<std::size_t>> LinesByFile(const ProgramInfo& program,
                                                  const RunFiles& files) {
    std::unordered_map<int, std::size_t> filePositions;
    for (std::size_t f = 0; f < files.Ids.size(); ++f) {
        filePositions.emplace(files.Ids[f], f);
    }
    std::vector<std::vector<std::size_t>> lines(files.Ids.size());
    for (std::size_t i = 0; i < program.LinesOfCode.size(); ++i) {
        lines[filePositions.at(program.LinesOfCode[i].SourceFileId)].push_back(i);
    }
    return lines;
}

std::vector<std::string_view> Codes(const ProgramInfo& program,
                                    const std::vector<std::size_t>& lines) {
    std::vector<std::string_view> codes;
    codes.reserve(lines.size());
    for (const std::size_t i : lines) {
        codes.push_back(program.LinesOfCode[i].Code);
    }
    return codes;
}

// --- procedures -------------------------------------------------------------------------

// A procedure as a run has it: with its figures, or with only its scope id where the run's
// program has it without figures.
struct ProcedureItem {
    std::string Name;
    std::int32_t ScopeId = 0;
    const ProcedureProfile* Profile = nullptr;
};

// The procedures of `run` that have figures in it or, by name, in `other`, by scope id.
std::vector<ProcedureItem> ProcedureItems(const RunSummary& run, const RunSummary& other) {
    std::vector<ProcedureItem> items;
    std::unordered_map<std::string, bool> named;
    for (const ProcedureProfile& procedure : run.Profile.Procedures) {
        items.push_back({procedure.Name, procedure.ScopeId, &procedure});
        named.emplace(procedure.Name, true);
    }
    for (const ProcedureProfile& procedure : other.Profile.Procedures) {
        if (!procedure.Name.empty() && named.count(procedure.Name) == 0 &&
            run.Program.ScopeIds.Contains(procedure.Name)) {
            items.push_back({procedure.Name, run.Program.ScopeIds.Get(procedure.Name), nullptr});
        }
    }
    std::stable_sort(
        items.begin(), items.end(),
        [](const ProcedureItem& a, const ProcedureItem& b) { return a.ScopeId < b.ScopeId; });
    return items;
}

ProcedureSide SideOf(const ProcedureItem& item) {
    ProcedureSide side;
    side.ScopeId = item.ScopeId;
    if (const ProcedureProfile* profile = item.Profile) {
        side.FirstLineId = profile->FirstLineId;
        side.HasFigures = true;
        side.Calls = profile->Calls;
        side.SelfNanos = profile->SelfNanos;
        side.TotalNanos = profile->TotalNanos;
    }
    return side;
}

std::vector<ProcedureComparison> CompareProcedures(const RunSummary& older,
                                                   const RunSummary& newer) {
    const std::vector<ProcedureItem> olds = ProcedureItems(older, newer);
    const std::vector<ProcedureItem> news = ProcedureItems(newer, older);
    std::vector<Position> newerOf(olds.size(), -1);
    std::vector<Position> olderOf(news.size(), -1);
    std::unordered_map<std::string, std::size_t> oldByName;
    for (std::size_t i = 0; i < olds.size(); ++i) {
        if (!olds[i].Name.empty()) {
            oldByName.emplace(olds[i].Name, i);
        }
    }
    for (std::size_t j = 0; j < news.size(); ++j) {
        const auto found = news[j].Name.empty() ? oldByName.end() : oldByName.find(news[j].Name);
        if (found != oldByName.end()) {
            newerOf[found->second] = static_cast<Position>(j);
            olderOf[j] = static_cast<Position>(found->second);
        }
    }
    std::vector<ProcedureComparison> rows;
    for (const auto& [o, n] : MergeOrder(newerOf, olderOf)) {
        ProcedureComparison& row = rows.emplace_back();
        row.Status = StatusOf(o, n);
        if (o >= 0) {
            row.Name = olds[static_cast<std::size_t>(o)].Name;
            row.Old = SideOf(olds[static_cast<std::size_t>(o)]);
        }
        if (n >= 0) {
            row.Name = news[static_cast<std::size_t>(n)].Name;
            row.New = SideOf(news[static_cast<std::size_t>(n)]);
        }
    }
    return rows;
}

// --- changes ----------------------------------------------------------------------------

std::optional<std::int64_t> Delta(bool hasOld, std::int64_t older, bool hasNew,
                                  std::int64_t newer) {
    if (!hasOld && !hasNew) {
        return std::nullopt;
    }
    return WrappingSubtract(hasNew ? newer : 0, hasOld ? older : 0);
}

// Row indices by an optional figure, the largest first, rows without it last.
template <class Figure> std::vector<std::size_t> RankByFigure(std::size_t count, Figure figure) {
    return RankDescending(count, [&figure](std::size_t i) {
        const std::optional<std::int64_t> value = figure(i);
        return std::make_pair(value.has_value(), value.value_or(0));
    });
}

template <class Figure>
std::vector<std::size_t> MostChanged(std::size_t rows, Figure delta, bool gained,
                                     std::size_t count) {
    std::vector<std::size_t> changed;
    const auto signedDelta = [&](std::size_t i) -> std::optional<std::int64_t> {
        const std::optional<std::int64_t> value = delta(i);
        if (!value || *value == 0 || (*value > 0) != gained) {
            return std::nullopt;
        }
        return gained ? *value : WrappingSubtract(0, *value);
    };
    for (const std::size_t i : RankByFigure(rows, signedDelta)) {
        if (changed.size() == count || !signedDelta(i)) {
            break;
        }
        changed.push_back(i);
    }
    return changed;
}

// Whether new grew beyond old by more than the percent and by at least the minimum.
bool GrewBeyond(std::int64_t older, std::int64_t newer, const SlowerLimit& limit) {
    const long double growth = static_cast<long double>(newer) - static_cast<long double>(older);
    return growth >= static_cast<long double>(limit.MinNanos) && growth > 0 &&
           growth * 100.0L > static_cast<long double>(limit.Percent) * older;
}

} // namespace

RunSummary SummariseRun(LoadedRun&& run, const ThreadChecks& threads, TimeMode mode) {
    ProgramInfo program = std::move(run.Program);
    RunSummary summary = Summarise(run, std::move(program), threads, mode);
    run = LoadedRun{};
    return summary;
}

RunSummary SummariseRun(const LoadedRun& run, const ThreadChecks& threads, TimeMode mode) {
    return Summarise(run, run.Program, threads, mode);
}

bool RunComparison::SharesFiles() const {
    return std::any_of(Files.begin(), Files.end(), [](const FileComparison& file) {
        return file.Status == MatchStatus::Matched;
    });
}

RunComparison CompareRuns(const RunSummary& older, const RunSummary& newer) {
    RunComparison comparison;
    comparison.Mode = newer.Figures.Mode;
    comparison.OldRunNanos = older.Profile.RunNanos;
    comparison.NewRunNanos = newer.Profile.RunNanos;

    const RunFiles oldFiles = FilesOf(older);
    const RunFiles newFiles = FilesOf(newer);
    std::vector<Position> fileNewerOf;
    std::vector<Position> fileOlderOf;
    std::vector<FileMatchRule> rules;
    MatchFiles(oldFiles, newFiles, fileNewerOf, fileOlderOf, rules);
    for (const auto& [o, n] : MergeOrder(fileNewerOf, fileOlderOf)) {
        FileComparison& file = comparison.Files.emplace_back();
        file.Status = StatusOf(o, n);
        file.OldFileId = o >= 0 ? oldFiles.Ids[static_cast<std::size_t>(o)] : 0;
        file.NewFileId = n >= 0 ? newFiles.Ids[static_cast<std::size_t>(n)] : 0;
        if (file.Status == MatchStatus::Matched) {
            file.Rule = rules[static_cast<std::size_t>(n)];
        }
    }

    const auto oldLines = LinesByFile(older.Program, oldFiles);
    const auto newLines = LinesByFile(newer.Program, newFiles);
    std::vector<Position> lineNewerOf(older.Program.LinesOfCode.size(), -1);
    std::vector<Position> lineOlderOf(newer.Program.LinesOfCode.size(), -1);
    for (std::size_t n = 0; n < newFiles.Ids.size(); ++n) {
        if (fileOlderOf[n] < 0) {
            continue;
        }
        const std::vector<std::size_t>& olds = oldLines[static_cast<std::size_t>(fileOlderOf[n])];
        const std::vector<std::size_t>& news = newLines[n];
        for (const auto& [i, j] :
             AlignCodeLines(Codes(older.Program, olds), Codes(newer.Program, news))) {
            lineNewerOf[olds[i]] = static_cast<Position>(news[j]);
            lineOlderOf[news[j]] = static_cast<Position>(olds[i]);
        }
    }
    const auto rows = MergeOrder(lineNewerOf, lineOlderOf);
    comparison.Lines.reserve(rows.size());
    for (const auto& [o, n] : rows) {
        LineComparison& line = comparison.Lines.emplace_back();
        line.Status = StatusOf(o, n);
        if (o >= 0) {
            line.Old = SideOf(older, static_cast<std::size_t>(o));
        }
        if (n >= 0) {
            line.New = SideOf(newer, static_cast<std::size_t>(n));
        }
    }

    comparison.Procedures = CompareProcedures(older, newer);
    return comparison;
}

std::optional<std::int64_t> TimeDelta(const LineComparison& line) {
    return Delta(line.Old.HasFigures, line.Old.TimeNanos, line.New.HasFigures, line.New.TimeNanos);
}

std::optional<std::int64_t> TotalDelta(const ProcedureComparison& procedure) {
    return Delta(procedure.Old.HasFigures, procedure.Old.TotalNanos, procedure.New.HasFigures,
                 procedure.New.TotalNanos);
}

std::string DeltaPercent(std::int64_t oldNanos, std::int64_t newNanos) {
    return oldNanos == 0 ? std::string()
                         : FormatPercent(WrappingSubtract(newNanos, oldNanos), oldNanos);
}

std::optional<std::int64_t> OrderFigure(const LineComparison& line, ComparisonOrder order) {
    const LineSide& side = order == ComparisonOrder::Old ? line.Old : line.New;
    if (order == ComparisonOrder::Delta) {
        return TimeDelta(line);
    }
    return side.HasFigures ? std::optional<std::int64_t>(side.TimeNanos) : std::nullopt;
}

std::optional<std::int64_t> OrderFigure(const ProcedureComparison& procedure,
                                        ComparisonOrder order) {
    const ProcedureSide& side = order == ComparisonOrder::Old ? procedure.Old : procedure.New;
    if (order == ComparisonOrder::Delta) {
        return TotalDelta(procedure);
    }
    return side.HasFigures ? std::optional<std::int64_t>(side.TotalNanos) : std::nullopt;
}

std::vector<std::size_t> RankComparedLines(const RunComparison& comparison, ComparisonOrder order) {
    return RankByFigure(comparison.Lines.size(), [&comparison, order](std::size_t i) {
        return OrderFigure(comparison.Lines[i], order);
    });
}

std::vector<std::size_t> RankComparedProcedures(const RunComparison& comparison,
                                                ComparisonOrder order) {
    return RankByFigure(comparison.Procedures.size(), [&comparison, order](std::size_t i) {
        return OrderFigure(comparison.Procedures[i], order);
    });
}

std::vector<std::size_t> MostChangedLines(const RunComparison& comparison, bool gained,
                                          std::size_t count) {
    return MostChanged(
        comparison.Lines.size(), [&](std::size_t i) { return TimeDelta(comparison.Lines[i]); },
        gained, count);
}

std::vector<std::size_t> MostChangedProcedures(const RunComparison& comparison, bool gained,
                                               std::size_t count) {
    return MostChanged(
        comparison.Procedures.size(),
        [&](std::size_t i) { return TotalDelta(comparison.Procedures[i]); }, gained, count);
}

std::vector<SlowerFigure> FindSlower(const RunComparison& comparison, const SlowerLimit& limit) {
    std::vector<SlowerFigure> slower;
    if (GrewBeyond(comparison.OldRunNanos, comparison.NewRunNanos, limit)) {
        slower.push_back({std::string(), comparison.OldRunNanos, comparison.NewRunNanos});
    }
    for (const ProcedureComparison& procedure : comparison.Procedures) {
        if (procedure.Old.HasFigures && procedure.New.HasFigures &&
            GrewBeyond(procedure.Old.TotalNanos, procedure.New.TotalNanos, limit)) {
            slower.push_back({procedure.Name, procedure.Old.TotalNanos, procedure.New.TotalNanos});
        }
    }
    return slower;
}

std::string_view MatchStatusName(MatchStatus status) {
    switch (status) {
    case MatchStatus::Added:
        return "added";
    case MatchStatus::Removed:
        return "removed";
    case MatchStatus::Matched:
        break;
    }
    return "matched";
}

} // namespace tickscope
