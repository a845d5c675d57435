// Time attribution on arbitrary entry streams, compared entry for entry with a plain
// implementation of the pairing rules over text-keyed tables: the same threads, lines,
// instruction figures, invocations and per-line results for every thread selection and
// time mode; and at the end the same self times, run time, procedure figures and calls as
// the plain reference of those rules.

#include "../../tests/analysis/profile_reference.h"
#include "../fuzz_support.h"

#include "analysis/attribution.h"
#include "analysis/line_figures.h"
#include "analysis/run_profile.h"
#include "runfiles/entry_record.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace {

using tickscope::EntryRecord;
using tickscope::fuzz::InputReader;

std::int64_t Wrap(std::uint64_t value) {
    return static_cast<std::int64_t>(value);
}
std::int64_t Add(std::int64_t a, std::int64_t b) {
    return Wrap(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}
std::string Text(std::int64_t value) {
    return std::to_string(value);
}

// ---- the reference: every table keyed by decimal texts, as the rules name them ----

struct RefFigures {
    std::int32_t InstructionNumber = 0;
    std::int64_t Hits = 0, TotalNanos = 0, MaxNanos = 0, MinNanos = 0;
};
struct RefLine {
    std::int32_t LineId = 0;
    std::vector<RefFigures> Instructions;
};
struct RefThread {
    std::int32_t ThreadId = 0;
    std::vector<RefLine> Lines;
};
struct NodePath {
    std::size_t Thread = 0, Line = 0, Instruction = 0;
};

class ReferenceAttribution {
  public:
    void Reset(const std::vector<tickscope::LineOfCode>& lines) {
        *this = ReferenceAttribution();
        for (std::size_t r = 0; r < lines.size(); ++r) {
            lineIdTable_[Text(lines[r].SourceFileId) + ":" + Text(lines[r].LineNumber)] =
                static_cast<std::int32_t>(r + 1);
        }
    }

    void Attribute(const EntryRecord& e) {
        const auto found = lineIdTable_.find(Text(e.FileId) + ":" + Text(e.LineNumber));
        const std::int32_t lineId = found == lineIdTable_.end() ? 0 : found->second;
        const std::string s = Text(lineId);
        const std::string k =
            s + "/" + Text(e.InstructionNumber) + "/" + Text(e.ThreadId) + "/" + Text(e.Stackframe);
        const std::string t = Text(e.ThreadId);
        const std::string tl = t + ":" + s;
        const std::string tli = tl + ":" + Text(e.InstructionNumber);
        if (e.StartOrStop == 1) {
            if (openLines_.count(tl) == 0) {
                for (auto& [key, members] : openLines_) {
                    if (key.substr(0, key.find(':')) == t) {
                        members.insert(s);
                    }
                }
                openLines_[tl];
            }
            if (threadIndex_.count(tli) == 0) {
                if (threadIndex_.count(t) == 0) {
                    threadIndex_[t] = {Threads.size(), 0, 0};
                    Threads.push_back(
                        {static_cast<std::int32_t>(static_cast<std::uint32_t>(e.ThreadId)), {}});
                }
                NodePath path = threadIndex_[t];
                if (threadIndex_.count(tl) == 0) {
                    path.Line = Threads[path.Thread].Lines.size();
                    Threads[path.Thread].Lines.push_back({lineId, {}});
                    threadIndex_[tl] = path;
                }
                path = threadIndex_[tl];
                auto& instructions = Threads[path.Thread].Lines[path.Line].Instructions;
                path.Instruction = instructions.size();
                instructions.push_back({e.InstructionNumber, 0, 0, 0, 0});
                threadIndex_[tli] = path;
            }
            pendingStarts_[k] = e.Nanos;
            pendingNodes_[k] = threadIndex_[tli];
        } else if (e.StartOrStop == 2) {
            const auto open = openLines_.find(tl);
            if (open == openLines_.end()) {
                return;
            }
            Invocations[s].insert(open->second.begin(), open->second.end());
            openLines_.erase(open);
            const auto pending = pendingStarts_.find(k);
            if (pending == pendingStarts_.end()) {
                return;
            }
            std::int64_t d = Wrap(static_cast<std::uint64_t>(e.Nanos) -
                                  static_cast<std::uint64_t>(pending->second));
            if (d < 0) {
                d = Wrap(0 - static_cast<std::uint64_t>(d));
            }
            const NodePath path = pendingNodes_[k];
            RefFigures& f = Threads[path.Thread].Lines[path.Line].Instructions[path.Instruction];
            f.Hits = Add(f.Hits, 1);
            f.TotalNanos = Add(f.TotalNanos, d);
            if (f.MinNanos == 0 || d < f.MinNanos) {
                f.MinNanos = d;
            }
            if (d > f.MaxNanos) {
                f.MaxNanos = d;
            }
            pendingStarts_.erase(k);
            pendingNodes_.erase(k);
        }
    }

    // LineId text -> (hits, statistic).
    std::map<std::string, std::pair<std::int64_t, std::int64_t>>
    LineResults(const tickscope::ThreadChecks& threads, const std::string& mode) const {
        struct Sums {
            std::int64_t Hits = 0, Total = 0, Max = 0, Min = 0;
        };
        std::map<std::string, Sums> figures;
        for (std::size_t p = 0; p < Threads.size(); ++p) {
            if (p >= threads.size() || !threads[p]) {
                continue;
            }
            for (const RefLine& line : Threads[p].Lines) {
                Sums& sums = figures[Text(line.LineId)];
                for (const RefFigures& f : line.Instructions) {
                    sums.Hits = Add(sums.Hits, f.Hits);
                    sums.Total = Add(sums.Total, f.TotalNanos);
                    sums.Max = Add(sums.Max, f.MaxNanos);
                    sums.Min = Add(sums.Min, f.MinNanos);
                }
            }
        }
        std::map<std::string, std::pair<std::int64_t, std::int64_t>> results;
        for (const auto& [id, sums] : figures) {
            std::int64_t time = sums.Total;
            if (mode == "avg") {
                // 64-bit division; the one quotient that overflows wraps.
                time = sums.Hits == 0    ? 0
                       : sums.Hits == -1 ? Wrap(0 - static_cast<std::uint64_t>(sums.Total))
                                         : sums.Total / sums.Hits;
            } else if (mode == "max") {
                time = sums.Max;
            } else if (mode == "min") {
                time = sums.Min;
            }
            results[id] = {sums.Hits, time};
        }
        return results;
    }

    std::vector<RefThread> Threads;
    std::map<std::string, std::set<std::string>> Invocations;

  private:
    std::map<std::string, std::int32_t> lineIdTable_;
    std::map<std::string, std::set<std::string>> openLines_;
    std::map<std::string, NodePath> threadIndex_; // t, tl and tli
    std::map<std::string, std::int64_t> pendingStarts_;
    std::map<std::string, NodePath> pendingNodes_;
};

// ---- input decoding ----

const std::int32_t kOddFields[] = {
    -1, -2, 4095, 4096, 1 << 20, (1 << 20) - 1, 2147483647, -2147483647 - 1, 1000000, 5000, -5,
    3,  0,  1,    2,    6};

// A file id or line number: mostly small, now and then one at the edges of the flat tables
// or of 32 bits.
std::int32_t LineField(InputReader& input) {
    const std::uint8_t b = input.Byte();
    if (b < 0xF0) {
        return b % 6;
    }
    static const std::int32_t kOdd[] = {
        -1, -2, 4095, 4096, 1 << 20, (1 << 20) - 1, 2147483647, -2147483647 - 1, 1000000, 5000, -5,
        3,  0,  1,    2,    6};
    return kOdd[b & 0x0F];
}

EntryRecord NextEntry(InputReader& input, std::int64_t& clock) {
    static const std::int64_t kThreads[] = {
        7, 0x100000007LL, -1, 0, std::numeric_limits<std::int64_t>::min(), 4242};
    static const std::int64_t kFrames[] = {0, 8, -8, std::numeric_limits<std::int64_t>::max()};
    static const std::int8_t kKinds[] = {1, 2, 1, 2, 0, 3, -1, 2};
    const std::uint8_t a = input.Byte();
    const std::uint8_t b = input.Byte();
    const std::uint8_t c = input.Byte();
    const std::uint8_t d = input.Byte();
    EntryRecord e;
    e.ThreadId = kThreads[a % 6];
    e.Stackframe = kFrames[(a >> 3) & 3];
    e.FileId = b & 7;
    e.LineNumber = (b >> 3) & 7;
    if (a & 0x80) {
        e.FileId = e.FileId == 7 ? -1 : e.FileId;
        e.LineNumber = (b & 0x80) ? std::numeric_limits<std::int32_t>::min() : e.LineNumber;
    } else if ((a & 0x40) && (c & 0x40)) {
        e.LineNumber = kOddFields[b & 0x0F]; // stray numbers, as lines of code may have them
    }
    e.InstructionNumber =
        (c & 0x80) ? static_cast<std::int8_t>(c) : static_cast<std::int8_t>(c % 4);
    e.StartOrStop = kKinds[d & 7];
    if ((d & 0xC0) == 0xC0) {
        e.Nanos = static_cast<std::int64_t>(input.Bytes(8)); // anything, overflow included
    } else {
        clock += (d >> 3) & 7 ? ((d >> 3) & 7) * 100 : 0;
        e.Nanos = (d & 0x40) ? clock - 50 : clock; // now and then a step back
    }
    return e;
}

void Compare(const tickscope::RunAnalysis& analysis, const ReferenceAttribution& reference,
             std::int32_t rows) {
    const auto& threads = analysis.Threads();
    FUZZ_CHECK(threads.size() == reference.Threads.size(),
               "threads " + Text(static_cast<std::int64_t>(threads.size())));
    for (std::size_t p = 0; p < threads.size(); ++p) {
        const auto& lines = threads[p].Lines;
        const auto& refLines = reference.Threads[p].Lines;
        FUZZ_CHECK(threads[p].ThreadId == reference.Threads[p].ThreadId, "thread id");
        FUZZ_CHECK(lines.size() == refLines.size(), "lines of thread " + Text(threads[p].ThreadId));
        for (std::size_t l = 0; l < lines.size(); ++l) {
            FUZZ_CHECK(lines[l].LineId == refLines[l].LineId, "line id");
            const auto& figures = lines[l].Instructions;
            const auto& refFigures = refLines[l].Instructions;
            FUZZ_CHECK(figures.size() == refFigures.size(), "instructions");
            for (std::size_t i = 0; i < figures.size(); ++i) {
                const std::string where = "thread " + Text(threads[p].ThreadId) + " line " +
                                          Text(lines[l].LineId) + " instruction " +
                                          Text(figures[i].InstructionNumber);
                FUZZ_CHECK(figures[i].InstructionNumber == refFigures[i].InstructionNumber, where);
                FUZZ_CHECK(figures[i].Hits == refFigures[i].Hits, where);
                FUZZ_CHECK(figures[i].TotalNanos == refFigures[i].TotalNanos, where);
                FUZZ_CHECK(figures[i].MaxNanos == refFigures[i].MaxNanos, where);
                FUZZ_CHECK(figures[i].MinNanos == refFigures[i].MinNanos, where);
            }
        }
    }
    std::size_t keys = 0;
    for (std::int32_t id = 0; id <= rows; ++id) {
        const std::vector<std::int32_t>* members = analysis.InvocationsOf(id);
        const auto found = reference.Invocations.find(Text(id));
        FUZZ_CHECK((members != nullptr) == (found != reference.Invocations.end()),
                   "invocation key of line " + Text(id));
        if (members == nullptr) {
            continue;
        }
        ++keys;
        std::set<std::string> texts;
        for (const std::int32_t member : *members) {
            FUZZ_CHECK(texts.insert(Text(member)).second, "invocation listed twice");
        }
        if (analysis.InvocationsComplete()) {
            FUZZ_CHECK(texts == found->second, "invocations of line " + Text(id));
        } else { // beyond its allowance: what was followed is right, the rest is missing
            FUZZ_CHECK(std::includes(found->second.begin(), found->second.end(), texts.begin(),
                                     texts.end()),
                       "invocations of line " + Text(id) + " beyond the allowance");
        }
    }
    FUZZ_CHECK(keys == reference.Invocations.size(), "invocation keys");
}

void CompareProfile(const tickscope::RunAnalysis& analysis, const tickscope::ProgramInfo& program,
                    const tickscope::testing::ReferenceProfile& reference,
                    const tickscope::ThreadChecks& threads) {
    const std::vector<std::string> differences = tickscope::testing::ProfileDifferences(
        tickscope::ComputeRunProfile(analysis, program, threads), reference.Compute(threads));
    FUZZ_CHECK(differences.empty(), differences.empty() ? "" : differences.front());
}

tickscope::ThreadChecks ThreadSelection(const tickscope::RunAnalysis& analysis,
                                        std::uint8_t checks) {
    tickscope::ThreadChecks threads;
    const std::size_t rows = std::min<std::size_t>(analysis.Threads().size(), checks & 7) + 1;
    for (std::size_t p = 0; p < rows; ++p) {
        threads.push_back(((checks >> (p % 8)) & 1) != 0 || (checks & 8));
    }
    return threads;
}

void CompareResults(const tickscope::RunAnalysis& analysis, const ReferenceAttribution& reference,
                    std::uint8_t checks, std::uint8_t modeByte) {
    const tickscope::ThreadChecks threads = ThreadSelection(analysis, checks);
    const tickscope::TimeMode mode = tickscope::kTimeModes[modeByte & 3];
    const std::string modeName(tickscope::TimeModeName(mode));
    const auto results = tickscope::ComputeLineResults(analysis, threads, mode);
    const auto expected = reference.LineResults(threads, modeName);
    FUZZ_CHECK(results.size() == expected.size(),
               "results " + Text(static_cast<std::int64_t>(results.size())));
    for (const tickscope::LineResult& result : results) {
        const auto found = expected.find(Text(result.LineId));
        FUZZ_CHECK(found != expected.end(), "result for line " + Text(result.LineId));
        FUZZ_CHECK(result.Hits == found->second.first, "hits of line " + Text(result.LineId));
        FUZZ_CHECK(result.TimeNanos == found->second.second,
                   "time of line " + Text(result.LineId) + " mode " + modeName);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputReader input(data, size);
    const std::uint8_t header = input.Byte();
    const std::uint8_t checks = input.Byte();
    const std::uint8_t modeByte = input.Byte();

    std::vector<tickscope::LineOfCode> lines;
    const int rows = header % 24;
    for (int r = 0; r < rows; ++r) {
        tickscope::LineOfCode& line = lines.emplace_back();
        line.SourceFileId = LineField(input);
        line.LineNumber = LineField(input);
        // The procedure follows from the place: the main program, procedures 2 and 3, scope
        // 0, or no instruction at all.
        const auto place = static_cast<std::uint32_t>(line.SourceFileId) +
                           static_cast<std::uint32_t>(line.LineNumber);
        if (place % 5 != 4) {
            line.AddInstruction(0, 0).ScopeId = static_cast<int>(place % 4);
        }
    }
    tickscope::ProgramInfo program;
    program.LinesOfCode = lines;
    program.ScopeIds.Set(tickscope::kMainScopeName, tickscope::kMainScopeId);
    program.ScopeIds.Set("Second", 2);

    std::vector<EntryRecord> entries;
    std::int64_t clock = 1000;
    while (!input.AtEnd()) {
        entries.push_back(NextEntry(input, clock));
    }

    tickscope::RunAnalysis analysis;
    // Now and then the invocations get a tiny work allowance, so that its end is reached.
    if (header & 0x40) {
        analysis.SetInvocationWorkAllowance(checks & 0x1F, modeByte & 3);
    }
    // Now and then the analysis has held another run before, which Reset must forget.
    if (header & 0x80) {
        std::vector<tickscope::LineOfCode> other(1);
        other[0].SourceFileId = 1;
        other[0].LineNumber = 1;
        tickscope::ResetAttribution(analysis, other);
        for (const EntryRecord& entry : entries) {
            tickscope::AttributeEntry(analysis, entry);
        }
    }
    ReferenceAttribution reference;
    tickscope::testing::ReferenceProfile profile(program);
    tickscope::ResetAttribution(analysis, lines);
    reference.Reset(lines);
    // Compared entry for entry at first; then fed in batches of 16, as the loader feeds
    // them, and compared after each batch.
    for (std::size_t i = 0; i < entries.size();) {
        const std::size_t end = i < 64 ? i + 1 : std::min(entries.size(), i + 16);
        if (i < 64) {
            tickscope::AttributeEntry(analysis, entries[i]);
        } else {
            tickscope::AttributeEntries(analysis, std::span(entries).subspan(i, end - i));
        }
        for (; i < end; ++i) {
            reference.Attribute(entries[i]);
            profile.Attribute(entries[i]);
        }
        Compare(analysis, reference, rows);
    }
    Compare(analysis, reference, rows);
    for (const std::uint8_t selection : {checks, static_cast<std::uint8_t>(~checks)}) {
        CompareProfile(analysis, program, profile, ThreadSelection(analysis, selection));
    }
    CompareResults(analysis, reference, checks, modeByte);
    CompareResults(analysis, reference, static_cast<std::uint8_t>(~checks),
                   static_cast<std::uint8_t>(modeByte >> 3));
    return 0;
}
