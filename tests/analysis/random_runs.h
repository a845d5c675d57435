#pragma once

// Random runs for the tests that compare the analysis with its references: lines of code,
// programs with procedures, and entry streams that mostly nest but hold every kind of
// damage the attribution has rules for.

#include "analysis/attribution_fixtures.h"
#include "common/statements.h"
#include "runfiles/entry_record.h"
#include "source/program_info.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace tickscope::testing {

// Files and lines beyond the small numbers, some of them rows of the report.
inline const std::vector<std::pair<std::int32_t, std::int32_t>> kFarPlaces = {
    {5000, 3}, {1, 2000000}, {-2, 4}, {2, -9}, {std::numeric_limits<std::int32_t>::max(), 1}};

// Lines of code: files 1 to 3 with lines 1 to 12, plus a line that repeats a file and line
// and lines far beyond the small numbers.
inline std::vector<LineOfCode> RandomLines(std::mt19937_64& random) {
    std::vector<ReportLine> rows;
    for (int file = 1; file <= 3; ++file) {
        for (int line = 1; line <= 12; ++line) {
            rows.push_back({file, line, ""});
        }
    }
    std::shuffle(rows.begin(), rows.end(), random);
    rows.push_back({2, 5, "duplicate"});
    for (const auto& [file, line] : kFarPlaces) {
        rows.push_back({file, line, "far"});
    }
    return LinesOf(rows);
}

struct RandomFrame {
    std::int32_t File, Line;
    std::int8_t Instruction;
    std::int64_t Stackframe;
};

// Mostly well-nested executions per thread (calls, loops, recursion through one line), mixed
// with stray stops, duplicate starts, mismatched keys, unknown lines and garbage kinds.
inline std::vector<EntryRecord> RandomStream(std::mt19937_64& random, int count) {
    const std::vector<std::int64_t> threads = {1, 2, (std::int64_t{1} << 32) | 1, -7,
                                               std::numeric_limits<std::int64_t>::min()};
    const std::vector<std::int8_t> instructions = {1, 2, 3, -1, -128, 127, 0};
    std::vector<std::vector<RandomFrame>> stacks(threads.size());
    std::vector<std::int64_t> clocks(threads.size(), 1000);
    auto pick = [&](auto n) { return static_cast<std::size_t>(random() % n); };
    std::vector<EntryRecord> entries;
    while (static_cast<int>(entries.size()) < count) {
        const std::size_t t = pick(threads.size());
        auto& stack = stacks[t];
        const int roll = static_cast<int>(pick(100));
        std::int64_t& clock = clocks[t];
        clock += static_cast<std::int64_t>(pick(500));
        if (pick(20) == 0) {
            clock -= static_cast<std::int64_t>(pick(2000)); // time running backwards
        }
        EntryRecord e;
        e.ThreadId = threads[t];
        e.Nanos = clock;
        if (roll < 45 && stack.size() < 8) {
            RandomFrame f{static_cast<std::int32_t>(1 + pick(3)),
                          static_cast<std::int32_t>(1 + pick(13)),
                          instructions[pick(instructions.size())],
                          static_cast<std::int64_t>(0x7000 - 16 * stack.size())};
            if (pick(12) == 0) {
                const auto& [file, line] = kFarPlaces[pick(kFarPlaces.size())];
                f.File = file;
                f.Line = line + static_cast<std::int32_t>(pick(2)); // the next one is no row
            }
            if (!stack.empty() && pick(5) == 0) {
                f.File = stack[pick(stack.size())].File; // recursion through an open line
                f.Line = stack[pick(stack.size())].Line;
            }
            if (pick(4) == 0) {
                f.Stackframe = 0;
            }
            stack.push_back(f);
            e.FileId = f.File;
            e.LineNumber = f.Line;
            e.InstructionNumber = f.Instruction;
            e.Stackframe = f.Stackframe;
            e.StartOrStop = 1;
            if (pick(10) == 0) {
                entries.push_back(e); // duplicate start
                e.Nanos += 3;
            }
        } else if (roll < 88 && !stack.empty()) {
            const RandomFrame f = stack.back();
            stack.pop_back();
            e.FileId = f.File;
            e.LineNumber = f.Line;
            e.InstructionNumber = f.Instruction;
            e.Stackframe = pick(15) == 0 ? f.Stackframe + 8 : f.Stackframe;
            if (pick(15) == 0) {
                e.InstructionNumber = static_cast<std::int8_t>(f.Instruction + 1);
            }
            e.StartOrStop = 2;
        } else {
            e.FileId = static_cast<std::int32_t>(pick(5));
            e.LineNumber = static_cast<std::int32_t>(pick(15));
            e.InstructionNumber = instructions[pick(instructions.size())];
            e.Stackframe = static_cast<std::int64_t>(0x7000 - 16 * pick(9));
            const std::int8_t kinds[] = {1, 2, 2, 0, 3, -1};
            e.StartOrStop = kinds[pick(6)];
        }
        entries.push_back(e);
    }
    return entries;
}

// The random lines with procedures: the main program, three procedures (one with two
// names, one with none), declarative lines (scope 0) and lines without instructions.
inline ProgramInfo RandomProgram(std::mt19937_64& random) {
    ProgramInfo program;
    program.LinesOfCode = RandomLines(random);
    for (LineOfCode& line : program.LinesOfCode) {
        const int scope = static_cast<int>(random() % 6);
        if (scope < 5) {
            testing::AddStatement(line, line.Code, scope);
        }
    }
    program.ScopeIds.Set(kMainScopeName, kMainScopeId);
    program.ScopeIds.Set("Alpha", 2);
    program.ScopeIds.Set("Beta", 3);
    program.ScopeIds.Set("BetaAgain", 3);
    return program;
}

} // namespace tickscope::testing
