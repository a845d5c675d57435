#include "analysis/run_profile.h"

#include "analysis/id_names.h"
#include "analysis/line_figures.h"
#include "analysis/wrapping_math.h"

#include <map>
#include <utility>

namespace tickscope {

namespace {

bool Checked(const ThreadChecks& threads, std::size_t p) {
    return p < threads.size() && threads[p];
}

// The calls of the checked threads, merged by caller line and callee.
std::vector<CallProfile> SumCalls(const RunAnalysis& analysis, const ThreadChecks& threads) {
    std::map<std::pair<std::int32_t, std::int32_t>, CallProfile> sums;
    const std::vector<ThreadNode>& nodes = analysis.Threads();
    for (std::size_t p = 0; p < nodes.size(); ++p) {
        if (!Checked(threads, p)) {
            continue;
        }
        for (const CallFigures& call : nodes[p].Calls) {
            CallProfile& sum = sums[{call.CallerLineId, call.CalleeScopeId}];
            sum.CallerLineId = call.CallerLineId;
            sum.CalleeScopeId = call.CalleeScopeId;
            sum.Calls = WrappingAdd(sum.Calls, call.Calls);
            sum.InclusiveNanos = WrappingAdd(sum.InclusiveNanos, call.InclusiveNanos);
        }
    }
    std::vector<CallProfile> calls;
    calls.reserve(sums.size());
    for (const auto& [key, call] : sums) {
        calls.push_back(call);
    }
    return calls;
}

} // namespace

RunProfile ComputeRunProfile(const RunAnalysis& analysis, const ProgramInfo& program,
                             const ThreadChecks& threads) {
    RunProfile profile;
    profile.RunNanos = SumRunNanos(analysis, threads);
    profile.Calls = SumCalls(analysis, threads);

    // Calls made, by caller line (the calls are ordered by caller).
    std::map<std::int32_t, std::int64_t> callsMade;
    for (const CallProfile& call : profile.Calls) {
        std::int64_t& made = callsMade[call.CallerLineId];
        made = WrappingAdd(made, call.Calls);
    }

    std::map<std::int32_t, ProcedureProfile> procedures;
    for (const LineFigures& figures : SumLineFigures(analysis, threads)) {
        LineProfile& line = profile.Lines.emplace_back();
        line.LineId = figures.LineId;
        line.ScopeId = analysis.ProcedureOf(figures.LineId);
        line.Hits = figures.Hits;
        line.TotalNanos = figures.TotalNanos;
        line.ChildNanos = figures.ChildNanos;
        line.SelfNanos = SelfNanos(figures);
        if (const auto made = callsMade.find(line.LineId); made != callsMade.end()) {
            line.Calls = made->second;
        }
        if (line.ScopeId != 0) {
            ProcedureProfile& procedure = procedures[line.ScopeId];
            procedure.Hits = WrappingAdd(procedure.Hits, line.Hits);
            procedure.SelfNanos = WrappingAdd(procedure.SelfNanos, line.SelfNanos);
            procedure.TotalNanos = WrappingAdd(procedure.TotalNanos, figures.EnteringNanos);
        }
    }
    for (const CallProfile& call : profile.Calls) {
        // A procedure that was called has a line that a checked thread started.
        if (const auto found = procedures.find(call.CalleeScopeId); found != procedures.end()) {
            found->second.Calls = WrappingAdd(found->second.Calls, call.Calls);
        }
    }

    const IdNames names(program);
    for (auto& [scope, procedure] : procedures) {
        procedure.ScopeId = scope;
        procedure.Name = names.ScopeName(scope);
    }
    for (std::int32_t id = analysis.LineCount(); id >= 1; --id) {
        const auto found = procedures.find(analysis.ProcedureOf(id));
        if (found != procedures.end()) {
            found->second.FirstLineId = id;
        }
    }
    profile.Procedures.reserve(procedures.size());
    for (auto& [scope, procedure] : procedures) {
        profile.Procedures.push_back(std::move(procedure));
    }
    return profile;
}

std::string ProcedureLabel(const ProcedureProfile& procedure) {
    return ProcedureLabel(procedure.Name, procedure.ScopeId);
}

std::string ProcedureLabel(const std::string& name, std::int32_t scopeId) {
    return name.empty() ? "(scope " + std::to_string(scopeId) + ")" : name;
}

std::string FormatPercent(std::int64_t part, std::int64_t whole) {
    if (whole == 0) {
        return "0.00";
    }
    // Exact in 128 bits: |part| * 10000 needs at most 77 bits.
    const __int128 scaled = static_cast<__int128>(part) * 10000;
    __int128 hundredths = scaled / whole;
    const __int128 rest = scaled % whole;
    const __int128 restTwice = rest < 0 ? -2 * rest : 2 * rest;
    const __int128 divisor = whole < 0 ? -static_cast<__int128>(whole) : whole;
    if (restTwice >= divisor) {
        hundredths += (scaled < 0) != (whole < 0) ? -1 : 1;
    }
    const bool negative = hundredths < 0;
    unsigned __int128 magnitude =
        negative ? static_cast<unsigned __int128>(-hundredths) : hundredths;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0 || digits.size() < 3);
    digits.insert(digits.size() - 2, 1, '.');
    return negative ? "-" + digits : digits;
}

namespace {

template <class Row> std::int64_t FigureOf(const Row& row, ProfileOrder order) {
    switch (order) {
    case ProfileOrder::Total:
        return row.TotalNanos;
    case ProfileOrder::Hits:
        return row.Hits;
    case ProfileOrder::Calls:
        return row.Calls;
    case ProfileOrder::Self:
        break;
    }
    return row.SelfNanos;
}

template <class Row>
std::vector<std::size_t> Rank(const std::vector<Row>& rows, ProfileOrder order) {
    return RankDescending(rows.size(),
                          [&rows, order](std::size_t i) { return FigureOf(rows[i], order); });
}

} // namespace

std::int64_t ProfileFigure(const LineProfile& line, ProfileOrder order) {
    return FigureOf(line, order);
}

std::int64_t ProfileFigure(const ProcedureProfile& procedure, ProfileOrder order) {
    return FigureOf(procedure, order);
}

std::vector<std::size_t> RankLines(const RunProfile& profile, ProfileOrder order) {
    return Rank(profile.Lines, order);
}

std::vector<std::size_t> RankProcedures(const RunProfile& profile, ProfileOrder order) {
    return Rank(profile.Procedures, order);
}

} // namespace tickscope
