// Checks the attribution against a plain transcription of its rules with text-keyed tables,
// on randomized entry streams.
#include "analysis/attribution.h"
#include "analysis/attribution_fixtures.h"
#include "analysis/line_figures.h"
#include "analysis/profile_reference.h"
#include "analysis/random_runs.h"
#include "analysis/run_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>

namespace tickscope {
namespace {

using testing::RandomLines;
using testing::RandomProgram;
using testing::RandomStream;

// The rules written out with text keys, ordered maps and sets, as simple as possible.
class ReferenceAttribution {
  public:
    explicit ReferenceAttribution(const std::vector<LineOfCode>& lines) {
        for (std::size_t r = 0; r < lines.size(); ++r) {
            lineIds_[std::to_string(lines[r].SourceFileId) + ":" +
                     std::to_string(lines[r].LineNumber)] = static_cast<std::int32_t>(r + 1);
        }
    }

    void Attribute(const EntryRecord& e) {
        const std::string fileLine = std::to_string(e.FileId) + ":" + std::to_string(e.LineNumber);
        const std::int32_t lineId = lineIds_.count(fileLine) ? lineIds_[fileLine] : 0;
        const std::string lid = std::to_string(lineId);
        const std::string t = std::to_string(e.ThreadId);
        const std::string tl = t + ":" + lid;
        const std::string tli = tl + ":" + std::to_string(int{e.InstructionNumber});
        const std::string k = lid + "/" + std::to_string(int{e.InstructionNumber}) + "/" + t + "/" +
                              std::to_string(e.Stackframe);
        if (e.StartOrStop == 1) {
            if (!openLines_.count(tl)) {
                for (auto& [key, set] : openLines_) {
                    if (key.substr(0, key.find(':')) == t) {
                        set.insert(lid);
                    }
                }
                openLines_[tl] = {};
            }
            if (!instructionIndex_.count(tli)) {
                if (!threadIndex_.count(t)) {
                    threadIndex_[t] = threads_.size();
                    ThreadNode node;
                    node.ThreadId = static_cast<std::int32_t>(e.ThreadId);
                    threads_.push_back(node);
                }
                ThreadNode& node = threads_[threadIndex_[t]];
                if (!lineIndex_.count(tl)) {
                    lineIndex_[tl] = node.Lines.size();
                    node.Lines.push_back({lineId, {}});
                }
                ThreadLineNode& line = node.Lines[lineIndex_[tl]];
                instructionIndex_[tli] = {threadIndex_[t], lineIndex_[tl],
                                          line.Instructions.size()};
                InstructionFigures figures;
                figures.InstructionNumber = e.InstructionNumber;
                line.Instructions.push_back(figures);
            }
            pendingStarts_[k] = e.Nanos;
            pendingNodes_[k] = instructionIndex_[tli];
        } else if (e.StartOrStop == 2) {
            if (!openLines_.count(tl)) {
                return;
            }
            const std::string s = tl.substr(tl.find(':') + 1);
            invocations_[s].insert(openLines_[tl].begin(), openLines_[tl].end());
            openLines_.erase(tl);
            if (!pendingStarts_.count(k)) {
                return;
            }
            std::int64_t d =
                static_cast<std::int64_t>(static_cast<std::uint64_t>(e.Nanos) -
                                          static_cast<std::uint64_t>(pendingStarts_[k]));
            if (d < 0) {
                d = static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(d));
            }
            auto [p, l, i] = pendingNodes_[k];
            InstructionFigures& f = threads_[p].Lines[l].Instructions[i];
            f.Hits += 1;
            f.TotalNanos += d;
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

    std::vector<LineResult> Results(const ThreadChecks& threadChecks, TimeMode mode) const {
        struct Sums {
            std::int64_t Hits = 0, Total = 0, Max = 0, Min = 0;
        };
        std::map<std::string, Sums> figures;
        for (std::size_t p = 0; p < threads_.size(); ++p) {
            if (p < threadChecks.size() && threadChecks[p]) {
                for (const ThreadLineNode& line : threads_[p].Lines) {
                    Sums& s = figures[std::to_string(line.LineId)];
                    for (const InstructionFigures& f : line.Instructions) {
                        s.Hits += f.Hits;
                        s.Total += f.TotalNanos;
                        s.Max += f.MaxNanos;
                        s.Min += f.MinNanos;
                    }
                }
            }
        }
        std::vector<LineResult> results;
        for (const auto& [key, s] : figures) {
            std::int64_t time = s.Total;
            if (mode == TimeMode::Avg) {
                time = s.Hits != 0 ? s.Total / s.Hits : 0;
            } else if (mode == TimeMode::Max) {
                time = s.Max;
            } else if (mode == TimeMode::Min) {
                time = s.Min;
            }
            results.push_back({std::stoi(key), s.Hits, time});
        }
        std::sort(results.begin(), results.end(),
                  [](const LineResult& a, const LineResult& b) { return a.LineId < b.LineId; });
        return results;
    }

    const std::vector<ThreadNode>& Threads() const { return threads_; }
    const std::map<std::string, std::set<std::string>>& Invocations() const { return invocations_; }

  private:
    std::map<std::string, std::int32_t> lineIds_;
    std::map<std::string, std::set<std::string>> openLines_;
    std::map<std::string, std::size_t> threadIndex_;
    std::map<std::string, std::size_t> lineIndex_;
    std::map<std::string, std::tuple<std::size_t, std::size_t, std::size_t>> instructionIndex_;
    std::map<std::string, std::int64_t> pendingStarts_;
    std::map<std::string, std::tuple<std::size_t, std::size_t, std::size_t>> pendingNodes_;
    std::map<std::string, std::set<std::string>> invocations_;
    std::vector<ThreadNode> threads_;
};

void ExpectSameThreads(const std::vector<ThreadNode>& actual,
                       const std::vector<ThreadNode>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t p = 0; p < actual.size(); ++p) {
        SCOPED_TRACE("thread node " + std::to_string(p));
        EXPECT_EQ(actual[p].ThreadId, expected[p].ThreadId);
        ASSERT_EQ(actual[p].Lines.size(), expected[p].Lines.size());
        for (std::size_t l = 0; l < actual[p].Lines.size(); ++l) {
            const auto& a = actual[p].Lines[l];
            const auto& b = expected[p].Lines[l];
            EXPECT_EQ(a.LineId, b.LineId);
            ASSERT_EQ(a.Instructions.size(), b.Instructions.size());
            for (std::size_t i = 0; i < a.Instructions.size(); ++i) {
                const auto& fa = a.Instructions[i];
                const auto& fb = b.Instructions[i];
                EXPECT_EQ(std::tie(fa.InstructionNumber, fa.Hits, fa.TotalNanos, fa.MaxNanos,
                                   fa.MinNanos),
                          std::tie(fb.InstructionNumber, fb.Hits, fb.TotalNanos, fb.MaxNanos,
                                   fb.MinNanos));
            }
        }
    }
}

TEST(AttributionReferenceTest, RandomStreamsGiveTheSameFiguresAsTheReference) {
    for (std::uint64_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 random(seed);
        const std::vector<LineOfCode> lines = RandomLines(random);
        ReferenceAttribution reference(lines);
        RunAnalysis analysis;
        const std::size_t rowBytes = (lines.size() + 1) * sizeof(std::int32_t);
        // Flat arrays everywhere, for two threads, for a few invocation sets only, or none.
        const std::size_t budgets[] = {std::size_t{64} << 20, 2 * rowBytes, rowBytes / 2, 0};
        analysis.SetFlatTableBudget(budgets[seed % 4]);
        ResetAttribution(analysis, lines);
        for (const EntryRecord& e : RandomStream(random, 300 + static_cast<int>(seed) * 40)) {
            reference.Attribute(e);
            AttributeEntry(analysis, e);
        }
        ExpectSameThreads(analysis.Threads(), reference.Threads());

        for (std::int32_t id = 0; id <= analysis.LineCount(); ++id) {
            const auto found = reference.Invocations().find(std::to_string(id));
            const std::vector<std::int32_t>* members = analysis.InvocationsOf(id);
            if (found == reference.Invocations().end()) {
                EXPECT_EQ(members, nullptr) << "line " << id;
                continue;
            }
            ASSERT_NE(members, nullptr) << "line " << id;
            std::set<std::string> actual;
            for (std::int32_t m : *members) {
                actual.insert(std::to_string(m));
            }
            EXPECT_EQ(actual.size(), members->size()) << "duplicate members of line " << id;
            EXPECT_EQ(actual, found->second) << "line " << id;
        }

        for (const TimeMode mode : kTimeModes) {
            ThreadChecks threads(analysis.Threads().size());
            for (std::size_t p = 0; p < threads.size(); ++p) {
                threads[p] = random() % 3 != 0;
            }
            EXPECT_EQ(ComputeLineResults(analysis, threads, mode), reference.Results(threads, mode))
                << "mode " << TimeModeName(mode);
        }
    }
}

TEST(AttributionReferenceTest, RandomStreamsGiveTheSameProfileAsTheReference) {
    for (std::uint64_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 random(seed);
        const ProgramInfo program = RandomProgram(random);
        testing::ReferenceProfile reference(program);
        RunAnalysis analysis;
        // Flat arrays or hash tables for the lines of the threads.
        analysis.SetFlatTableBudget(seed % 2 == 0 ? std::size_t{64} << 20 : 0);
        ResetAttribution(analysis, program.LinesOfCode);
        for (const EntryRecord& e : RandomStream(random, 300 + static_cast<int>(seed) * 40)) {
            reference.Attribute(e);
            AttributeEntry(analysis, e);
        }
        for (int selection = 0; selection < 3; ++selection) {
            ThreadChecks threads(analysis.Threads().size(), true);
            for (std::size_t p = 0; selection > 0 && p < threads.size(); ++p) {
                threads[p] = random() % 3 != 0;
            }
            SCOPED_TRACE("selection " + std::to_string(selection));
            EXPECT_EQ(testing::ProfileDifferences(ComputeRunProfile(analysis, program, threads),
                                                  reference.Compute(threads)),
                      std::vector<std::string>{});
        }
    }
}

} // namespace

bool operator==(const LineResult& a, const LineResult& b) {
    return a.LineId == b.LineId && a.Hits == b.Hits && a.TimeNanos == b.TimeNanos;
}

} // namespace tickscope
