#pragma once

// The rules of parents, child and self time, run time and procedure figures written out
// plainly over text-keyed tables, as a reference for the attribution's figures (used by the
// reference test and the attribution fuzz target). It pairs entries itself: an open line per
// "<thread>:<line id>" with the number of its opening, a pending start per occurrence key,
// and a list of every counted execution with its parent; the figures are then summed from
// that list.

#include "analysis/check_sets.h"
#include "analysis/run_profile.h"
#include "runfiles/entry_record.h"
#include "source/program_info.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tickscope::testing {

class ReferenceProfile {
  public:
    struct Line {
        std::int32_t ScopeId = 0;
        std::int64_t Hits = 0, Total = 0, Child = 0, Self = 0, CallsMade = 0;
    };
    struct Procedure {
        std::string Name;
        std::int32_t FirstLineId = 0;
        std::int64_t Calls = 0, Hits = 0, Self = 0, Total = 0;
    };
    struct Call {
        std::int64_t Calls = 0, Inclusive = 0;
    };
    struct Figures {
        std::int64_t Run = 0;
        std::map<std::int32_t, Line> Lines;                          // by line id
        std::map<std::int32_t, Procedure> Procedures;                // by scope id
        std::map<std::pair<std::int32_t, std::int32_t>, Call> Calls; // (caller line, callee)
    };

    explicit ReferenceProfile(const ProgramInfo& program) {
        const auto& lines = program.LinesOfCode;
        for (std::size_t r = 0; r < lines.size(); ++r) {
            const std::string id = std::to_string(r + 1);
            lineIds_[std::to_string(lines[r].SourceFileId) + ":" +
                     std::to_string(lines[r].LineNumber)] = id;
            scopes_[id] = lines[r].Instructions.empty() ? 0 : lines[r].Instructions[0].ScopeId;
        }
        for (const auto& [name, scope] : program.ScopeIds) {
            names_.try_emplace(scope, name);
        }
    }

    void Attribute(const EntryRecord& e) {
        const std::string fileLine = std::to_string(e.FileId) + ":" + std::to_string(e.LineNumber);
        const std::string line = lineIds_.count(fileLine) ? lineIds_[fileLine] : "0";
        const std::string thread = std::to_string(e.ThreadId);
        const std::string threadLine = thread + ":" + line;
        const std::string key = line + "/" + std::to_string(int{e.InstructionNumber}) + "/" +
                                thread + "/" + std::to_string(e.Stackframe);
        if (e.StartOrStop == kStartEntry) {
            threads_.try_emplace(thread, threads_.size());
            started_[thread].insert(line);
            if (!open_.count(threadLine)) {
                open_[threadLine] = ++openings_;
            }
            // The parent: the open line of the thread opened last, other than this one.
            std::string parent;
            std::int64_t latest = -1;
            for (const auto& [open, opening] : open_) {
                if (open.substr(0, open.find(':')) == thread && open != threadLine &&
                    opening > latest) {
                    latest = opening;
                    parent = open;
                }
            }
            pending_[key] = {e.Nanos, parent.empty() ? "" : parent.substr(parent.find(':') + 1),
                             parent.empty() ? "" : parent + "#" + std::to_string(latest)};
        } else if (e.StartOrStop == kStopEntry) {
            if (!open_.count(threadLine)) {
                return;
            }
            open_.erase(threadLine);
            if (!pending_.count(key)) {
                return;
            }
            const Pending start = pending_[key];
            std::uint64_t d =
                static_cast<std::uint64_t>(e.Nanos) - static_cast<std::uint64_t>(start.Nanos);
            if (static_cast<std::int64_t>(d) < 0) {
                d = 0 - d;
            }
            executions_.push_back({thread, line, start.ParentLine, start.ParentOpening,
                                   static_cast<std::int64_t>(d)});
            pending_.erase(key);
        }
    }

    Figures Compute(const ThreadChecks& checks) const {
        std::set<std::string> checked;
        for (const auto& [thread, position] : threads_) {
            if (position < checks.size() && checks[position]) {
                checked.insert(thread);
            }
        }
        Figures f;
        for (const std::string& thread : checked) {
            for (const std::string& line : started_.at(thread)) {
                f.Lines[std::stoi(line)].ScopeId = Scope(line);
            }
        }
        std::map<std::int32_t, std::set<std::string>> callers;                       // by callee
        std::map<std::pair<std::int32_t, std::int32_t>, std::set<std::string>> arcs; // openings
        for (const Execution& x : executions_) {
            if (!checked.count(x.Thread)) {
                continue;
            }
            Line& line = f.Lines[std::stoi(x.Line)];
            line.Hits = Add(line.Hits, 1);
            line.Total = Add(line.Total, x.Nanos);
            const std::int32_t scope = Scope(x.Line);
            if (x.ParentLine.empty()) {
                f.Run = Add(f.Run, x.Nanos);
            } else {
                Line& parent = f.Lines[std::stoi(x.ParentLine)];
                parent.Child = Add(parent.Child, x.Nanos);
            }
            const std::int32_t parentScope = x.ParentLine.empty() ? 0 : Scope(x.ParentLine);
            if (scope == 0 || (!x.ParentLine.empty() && parentScope == scope)) {
                continue;
            }
            f.Procedures[scope].Total = Add(f.Procedures[scope].Total, x.Nanos);
            if (parentScope != 0) {
                callers[scope].insert(x.ParentOpening);
                const std::pair<std::int32_t, std::int32_t> arc{std::stoi(x.ParentLine), scope};
                arcs[arc].insert(x.ParentOpening);
                f.Calls[arc].Inclusive = Add(f.Calls[arc].Inclusive, x.Nanos);
            }
        }
        for (auto& [arc, call] : f.Calls) {
            call.Calls = static_cast<std::int64_t>(arcs[arc].size());
            f.Lines[arc.first].CallsMade = Add(f.Lines[arc.first].CallsMade, call.Calls);
        }
        for (auto& [id, line] : f.Lines) {
            const auto self = static_cast<std::int64_t>(static_cast<std::uint64_t>(line.Total) -
                                                        static_cast<std::uint64_t>(line.Child));
            line.Self = self < 0 ? 0 : self;
            if (line.ScopeId != 0) {
                Procedure& procedure = f.Procedures[line.ScopeId];
                procedure.Self = Add(procedure.Self, line.Self);
                procedure.Hits = Add(procedure.Hits, line.Hits);
            }
        }
        for (auto& [scope, procedure] : f.Procedures) {
            procedure.Calls = static_cast<std::int64_t>(callers[scope].size());
            procedure.Name = names_.count(scope) ? names_.at(scope) : "";
            for (std::int32_t id = 1;
                 procedure.FirstLineId == 0 && scopes_.count(std::to_string(id)) != 0; ++id) {
                if (Scope(std::to_string(id)) == scope) {
                    procedure.FirstLineId = id;
                }
            }
        }
        return f;
    }

  private:
    struct Pending {
        std::int64_t Nanos = 0;
        std::string ParentLine;    // line id, empty for none
        std::string ParentOpening; // "<thread>:<line>#<opening>"
    };
    struct Execution {
        std::string Thread, Line, ParentLine, ParentOpening;
        std::int64_t Nanos = 0;
    };

    static std::int64_t Add(std::int64_t a, std::int64_t b) {
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) +
                                         static_cast<std::uint64_t>(b));
    }
    std::int32_t Scope(const std::string& line) const {
        const auto found = scopes_.find(line);
        return found == scopes_.end() ? 0 : found->second;
    }

    std::map<std::string, std::string> lineIds_; // "<file>:<line>" -> line id
    std::map<std::string, std::int32_t> scopes_; // line id -> scope of its first instruction
    std::map<std::int32_t, std::string> names_;  // scope id -> first name
    std::map<std::string, std::size_t> threads_; // thread -> position of its first start
    std::map<std::string, std::set<std::string>> started_; // thread -> line ids started
    std::map<std::string, std::int64_t> open_;             // "<thread>:<line>" -> its opening
    std::int64_t openings_ = 0;
    std::map<std::string, Pending> pending_; // occurrence key -> start
    std::vector<Execution> executions_;
};

// Where a profile differs from the reference's figures, one text per difference (none when
// they are the same).
inline std::vector<std::string> ProfileDifferences(const RunProfile& actual,
                                                   const ReferenceProfile::Figures& expected) {
    std::vector<std::string> differences;
    const auto check = [&](bool same, const std::string& what) {
        if (!same) {
            differences.push_back(what);
        }
    };
    check(actual.RunNanos == expected.Run, "run time");
    check(actual.Lines.size() == expected.Lines.size(), "number of lines");
    auto line = expected.Lines.begin();
    for (std::size_t i = 0; i < actual.Lines.size() && line != expected.Lines.end(); ++i, ++line) {
        const LineProfile& a = actual.Lines[i];
        const auto& [id, b] = *line;
        check(a.LineId == id && a.ScopeId == b.ScopeId && a.Hits == b.Hits &&
                  a.TotalNanos == b.Total && a.ChildNanos == b.Child && a.SelfNanos == b.Self &&
                  a.Calls == b.CallsMade,
              "line " + std::to_string(id));
    }
    check(actual.Procedures.size() == expected.Procedures.size(), "number of procedures");
    auto procedure = expected.Procedures.begin();
    for (std::size_t i = 0; i < actual.Procedures.size() && procedure != expected.Procedures.end();
         ++i, ++procedure) {
        const ProcedureProfile& a = actual.Procedures[i];
        const auto& [scope, b] = *procedure;
        check(a.ScopeId == scope && a.Name == b.Name && a.FirstLineId == b.FirstLineId &&
                  a.Calls == b.Calls && a.Hits == b.Hits && a.SelfNanos == b.Self &&
                  a.TotalNanos == b.Total,
              "procedure " + std::to_string(scope));
    }
    check(actual.Calls.size() == expected.Calls.size(), "number of call arcs");
    auto call = expected.Calls.begin();
    for (std::size_t i = 0; i < actual.Calls.size() && call != expected.Calls.end(); ++i, ++call) {
        const CallProfile& a = actual.Calls[i];
        const auto& [arc, b] = *call;
        check(a.CallerLineId == arc.first && a.CalleeScopeId == arc.second && a.Calls == b.Calls &&
                  a.InclusiveNanos == b.Inclusive,
              "calls from line " + std::to_string(arc.first) + " into scope " +
                  std::to_string(arc.second));
    }
    return differences;
}

} // namespace tickscope::testing
