#pragma once

// Writes a large recorded run (.tkr run information and binary .tkl entry log) of a made-up
// program: several threads running a main loop that calls procedures, which run loops and
// call further procedures, so lines nest several levels deep. Used by the benchmarks of
// attribution and of the report, and by anything that needs a run of millions of entries.

#include "runfiles/entry_record.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_information.h"
#include "source/program_info.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tickscope::bench {

struct GeneratedRunOptions {
    int Threads = 4;
    int Lines = 5000;                // lines of code of the program (at least 300)
    std::int64_t Entries = 20000000; // entry records to write
    std::uint64_t Seed = 1;
};

struct GeneratedRun {
    std::string RunInfoPath;  // <folder><name>.tkr
    std::string EntryLogPath; // <folder><name>.tkl
    std::int64_t Entries = 0;
    ProgramInfo Program;
    bool Written = false; // false when a file could not be written
};

namespace detail {

constexpr int kMainLines = 200;
constexpr int kProcedureLines = 30; // header, 28 body lines, EndProcedure
constexpr int kMaxDepth = 6;

// One step of a scope's execution: a probe of a line (start or stop), or a call.
struct Step {
    std::int32_t Line = 0;
    std::int8_t Instruction = 1;
    bool Start = true;
    int Call = -1; // procedure index to call, -1 for a probe
};

inline void Probe(std::vector<Step>& steps, int line, int instructions = 1) {
    for (int i = 1; i <= instructions; ++i) {
        steps.push_back({line, static_cast<std::int8_t>(i), true, -1});
        steps.push_back({line, static_cast<std::int8_t>(i), false, -1});
    }
}

inline void CallFrom(std::vector<Step>& steps, int line, int procedure) {
    steps.push_back({line, 1, true, -1});
    steps.push_back({0, 1, true, procedure});
    steps.push_back({line, 1, false, -1});
}

// Steps of procedure p (first line `first`): a loop of three rounds over five lines, then
// statements, two of which call later procedures.
inline std::vector<Step> ProcedureSteps(int p, int first, int procedures) {
    std::vector<Step> steps;
    const int loop = first + 1;
    steps.push_back({loop, 1, true, -1});
    for (int round = 0; round < 3; ++round) {
        for (int line = loop + 1; line <= loop + 5; ++line) {
            Probe(steps, line, line == loop + 2 ? 2 : 1);
        }
    }
    steps.push_back({loop, 1, false, -1});
    for (int line = loop + 6; line < first + kProcedureLines - 1; ++line) {
        const int offset = line - loop;
        if ((offset == 10 || offset == 20) && p + 1 < procedures) {
            CallFrom(steps, line, p + 1 + (p * 7 + offset) % std::min(9, procedures - p - 1));
        } else {
            Probe(steps, line);
        }
    }
    return steps;
}

inline ProgramInfo MakeProgram(int procedures) {
    ProgramInfo program;
    program.Path = "C:\\bench\\generated.pb";
    program.IsExecutable = true;
    program.SourceFileIds.Set(program.Path, 1);
    program.ScopeIds.Set(kMainScopeName, kMainScopeId);
    auto add = [&](int scope, const std::string& code) {
        LineOfCode line;
        line.SourceFileId = 1;
        line.LineNumber = static_cast<int>(program.LinesOfCode.size()) + 1;
        line.Code = code;
        line.AddInstruction(0, code.size()).ScopeId = scope;
        program.LinesOfCode.push_back(line);
    };
    for (int i = 1; i <= kMainLines; ++i) {
        add(kMainScopeId,
            i % 5 == 0 ? "Work" + std::to_string(i) + "(x)" : "x + " + std::to_string(i));
    }
    for (int p = 0; p < procedures; ++p) {
        const std::string name = "Work" + std::to_string(p);
        const int scope = p + 2;
        program.ScopeIds.Set(name, scope);
        add(scope, "Procedure.i " + name + "(x.i)");
        add(scope, "  For i = 1 To 3");
        for (int line = 2; line < kProcedureLines - 1; ++line) {
            add(scope,
                line == 3 ? "    a = i * 2 : b = a + x" : "    total + " + std::to_string(line));
        }
        add(scope, "EndProcedure");
    }
    return program;
}

} // namespace detail

// Writes <folder><name>.tkr and <folder><name>.tkl; `folder` ends with a separator.
inline GeneratedRun WriteGeneratedRun(const std::string& folder, const std::string& name,
                                      const GeneratedRunOptions& options = {}) {
    using namespace detail;
    GeneratedRun run;
    run.RunInfoPath = folder + name + ".tkr";
    run.EntryLogPath = folder + name + ".tkl";
    const int procedures =
        std::max(1, (std::max(options.Lines, 300) - kMainLines) / kProcedureLines);
    run.Program = MakeProgram(procedures);

    std::vector<std::vector<Step>> scopes;
    std::vector<Step> main;
    for (int line = 1; line <= kMainLines; ++line) {
        if (line % 5 == 0) {
            CallFrom(main, line, (line / 5 * 13) % procedures);
        } else {
            Probe(main, line);
        }
    }
    for (int p = 0; p < procedures; ++p) {
        scopes.push_back(ProcedureSteps(p, kMainLines + 1 + p * kProcedureLines, procedures));
    }
    scopes.push_back(main);
    const int mainScope = procedures;

    std::FILE* info = std::fopen(run.RunInfoPath.c_str(), "wb");
    std::FILE* log = std::fopen(run.EntryLogPath.c_str(), "wb");
    if (info == nullptr || log == nullptr) {
        if (info != nullptr) {
            std::fclose(info);
        }
        if (log != nullptr) {
            std::fclose(log);
        }
        return run;
    }
    const std::string text = EncodeRunInformation(WriteProgramInfo(run.Program), 4242);
    bool ok = std::fwrite(text.data(), 1, text.size(), info) == text.size();
    const unsigned char marker = kBinaryLogMarker;
    ok = std::fwrite(&marker, 1, 1, log) == 1 && ok;

    struct Position {
        int Scope;
        std::size_t Next;
    };
    struct ThreadRun {
        std::int64_t Id;
        std::int64_t Clock;
        std::vector<Position> Stack;
    };
    std::vector<ThreadRun> threads;
    for (int t = 0; t < std::max(1, options.Threads); ++t) {
        threads.push_back({0x1000 + 4 * t, 1000000 * t, {{mainScope, 0}}});
    }
    std::uint64_t random = options.Seed * 0x9E3779B97F4A7C15ULL + 1;
    auto next = [&random] {
        random ^= random << 13;
        random ^= random >> 7;
        random ^= random << 17;
        return random;
    };
    std::vector<unsigned char> buffer;
    buffer.reserve(kEntryRecordSize * 65536);
    std::size_t current = 0;
    for (std::int64_t written = 0; written < options.Entries;) {
        if ((next() & 63) == 0) {
            current = static_cast<std::size_t>(next() % threads.size()); // thread switch
        }
        ThreadRun& thread = threads[current];
        Position& at = thread.Stack.back();
        const std::vector<Step>& steps = scopes[static_cast<std::size_t>(at.Scope)];
        if (at.Next >= steps.size()) {
            thread.Stack.pop_back();
            if (thread.Stack.empty()) {
                thread.Stack.push_back({mainScope, 0});
            }
            continue;
        }
        const Step step = steps[at.Next++];
        if (step.Call >= 0) {
            if (thread.Stack.size() < static_cast<std::size_t>(kMaxDepth)) {
                thread.Stack.push_back({step.Call, 0});
            }
            continue;
        }
        thread.Clock += 20 + static_cast<std::int64_t>(next() % 400);
        EntryRecord entry;
        entry.ThreadId = thread.Id;
        entry.Stackframe = 0x7FFF0000 - 128 * static_cast<std::int64_t>(thread.Stack.size()) -
                           0x100000 * static_cast<std::int64_t>(current);
        entry.FileId = 1;
        entry.LineNumber = step.Line;
        entry.InstructionNumber = step.Instruction;
        entry.StartOrStop = step.Start ? kStartEntry : kStopEntry;
        entry.Nanos = thread.Clock;
        const EntryRecordBytes bytes = EncodeEntryRecord(entry);
        buffer.insert(buffer.end(), bytes.begin(), bytes.end());
        ++written;
        if (buffer.size() >= kEntryRecordSize * 65536) {
            ok = std::fwrite(buffer.data(), 1, buffer.size(), log) == buffer.size() && ok;
            buffer.clear();
        }
    }
    ok = std::fwrite(buffer.data(), 1, buffer.size(), log) == buffer.size() && ok;
    ok = std::fclose(log) == 0 && ok;
    ok = std::fclose(info) == 0 && ok;
    run.Entries = options.Entries;
    run.Written = ok;
    return run;
}

} // namespace tickscope::bench
