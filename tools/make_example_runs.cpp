// make-example-runs: records the example runs of examples/program without a PureBasic
// compiler. It loads and instruments the example program exactly as build mode does, then
// replays the program's control flow through RunRecorder: every probe the instrumented text
// would execute, with the numbers the instrumenter gave it, on two threads with their own
// stack frames, and a simulated clock that gives each statement a plausible duration.
//
// Usage: make-example-runs [EXAMPLES_FOLDER]   (default "examples")
// Writes <EXAMPLES_FOLDER>/home/Tickscope/<date>-<milliseconds>.tkr and .tkl, three runs.
#include "instrument/instrumenter.h"
#include "instrument/probe_text.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_recorder.h"
#include "source/source_loader.h"
#include "source/text_utils.h"

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tickscope {
namespace {

// ---------------------------------------------------------------------------------------
// Simulated threads: each has its own clock; a thread may record an entry only while its
// clock is the smallest of the running threads, so the log comes out in time order and
// the same every time.

class Scheduler {
  public:
    void Enter(int thread, std::int64_t now) {
        std::lock_guard lock(mutex_);
        clocks_[thread] = now;
        changed_.notify_all();
    }
    void Leave(int thread) {
        std::lock_guard lock(mutex_);
        clocks_.erase(thread);
        changed_.notify_all();
    }
    void Advance(int thread, std::int64_t nanoseconds) {
        std::lock_guard lock(mutex_);
        clocks_[thread] += nanoseconds;
        changed_.notify_all();
    }
    std::int64_t Now(int thread) {
        std::lock_guard lock(mutex_);
        return clocks_[thread];
    }
    void WaitTurn(int thread) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
            for (const auto& [other, time] : clocks_) {
                if (other != thread &&
                    (time < clocks_[thread] || (time == clocks_[thread] && other < thread))) {
                    return false;
                }
            }
            return true;
        });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, std::int64_t> clocks_;
};

struct ThreadState {
    int Slot = 0; // scheduler slot
    std::int64_t WindowsThreadId = 0;
    std::int64_t StackBase = 0;
    int Depth = 0;           // procedure call depth
    std::uint32_t Noise = 1; // per-thread pseudo-random state for durations
};

thread_local ThreadState* tlsThread = nullptr;

// ---------------------------------------------------------------------------------------
// Replay of the instrumented program.

class Replay {
  public:
    Replay(ProgramInfo& program, const std::vector<std::vector<std::string>>& lineOutputs,
           RunRecorder& recorder, Scheduler& scheduler)
        : program_(program), lineOutputs_(lineOutputs), recorder_(recorder), scheduler_(scheduler) {
    }

    // The line of `file` (a file name) whose code, trimmed, reads `text`; the n-th of them.
    const LineOfCode& Find(const std::string& file, const std::string& text, int n = 1) {
        for (const LineOfCode& line : program_.LinesOfCode) {
            if (FileName(line.SourceFileId) == file && Trim(line.Code, " \t") == text && --n == 0) {
                return line;
            }
        }
        throw std::runtime_error("example line not found: " + file + ": " + text);
    }

    // Runs a whole line as straight code: its probes in order, each code element taking
    // its time; `nested` runs inside the first statement (the calls it makes).
    void Line(const LineOfCode& line, const std::function<void()>& nested = {}) {
        bool first = true;
        for (const std::string& element : OutputOf(line)) {
            if (const std::optional<ProbeCall> probe = ParseProbeText(element)) {
                Record(*probe);
            } else if (element == "tickscope_End()") {
                Spend(400);
                recorder_.End();
            } else if (!Trim(element, " \t").empty() && Trim(element, " \t").front() != ';') {
                Spend(Cost(element));
                if (first && nested) {
                    nested();
                }
                first = false;
            }
        }
    }

    // The index-th probe of a line (0 = first), checked to be of the expected kind.
    void ProbeOf(const LineOfCode& line, int index, bool start) {
        int seen = 0;
        for (const std::string& element : OutputOf(line)) {
            const std::optional<ProbeCall> probe = ParseProbeText(element);
            if (probe && seen++ == index) {
                if ((probe->Kind == ProbeKind::Start) != start) {
                    throw std::runtime_error("unexpected probe kind on line " +
                                             std::to_string(line.LineNumber));
                }
                Record(*probe);
                return;
            }
        }
        throw std::runtime_error("probe missing on line " + std::to_string(line.LineNumber));
    }
    void Start(const LineOfCode& line, int index = 0) { ProbeOf(line, index, true); }
    void Stop(const LineOfCode& line, int index = 1) { ProbeOf(line, index, false); }

    // For/ForEach ... Next with `count` passes: the stop after the head opens every pass,
    // the start before Next closes it, the stop after Next follows the last one.
    void ForLoop(const LineOfCode& head, const LineOfCode& next, int count,
                 const std::function<void(int)>& body) {
        Start(head);
        Spend(Cost(head.Code));
        for (int pass = 1; pass <= count; ++pass) {
            Stop(head);
            body(pass);
            Start(next, 0);
            Spend(30);
        }
        Stop(next, 1);
    }

    // While ... Wend: the condition is tested after the head's start and after every Wend.
    void WhileLoop(const LineOfCode& head, const LineOfCode& wend,
                   const std::function<bool()>& condition, const std::function<void()>& body) {
        Start(head);
        for (;;) {
            Spend(Cost(head.Code));
            if (!condition()) {
                break;
            }
            Stop(head);
            body();
            Start(wend, 0);
            Spend(25);
        }
        Stop(wend, 1);
    }

    // If ... EndIf without Else: the stop after the head opens the branch; both ways pass
    // the stop after EndIf.
    void IfBlock(const LineOfCode& head, const LineOfCode& endIf, bool condition,
                 const std::function<void()>& body) {
        Start(head);
        Spend(Cost(head.Code));
        if (condition) {
            Stop(head);
            body();
        }
        Stop(endIf, 0);
    }

    // A procedure body runs one frame deeper on its thread's stack.
    void Call(const std::function<void()>& body) {
        ++tlsThread->Depth;
        Spend(60);
        body();
        --tlsThread->Depth;
    }

    void Spend(std::int64_t nanoseconds) { scheduler_.Advance(tlsThread->Slot, nanoseconds); }
    Scheduler& Clock() { return scheduler_; }

  private:
    std::string FileName(int id) {
        for (const auto& [path, fileId] : program_.SourceFileIds) {
            if (fileId == id) {
                return std::filesystem::path(path).filename().string();
            }
        }
        return {};
    }

    void Record(const ProbeCall& probe) {
        ThreadState& thread = *tlsThread;
        scheduler_.WaitTurn(thread.Slot);
        const std::int64_t frame = thread.StackBase - 0x40 * thread.Depth;
        if (probe.Kind == ProbeKind::Start) {
            recorder_.AddStartEntry(probe.SourceFileId, probe.LineNumber, probe.InstructionNumber,
                                    probe.OverrideStackframe, frame);
        } else {
            recorder_.AddStopEntry(probe.SourceFileId, probe.LineNumber, probe.InstructionNumber,
                                   probe.OverrideStackframe, frame);
        }
        Spend(12); // the probe's own cost; the recorder's correction does not see it
    }

    // A plausible duration for one statement, with a little deterministic noise.
    std::int64_t Cost(std::string_view code) {
        std::uint32_t& noise = tlsThread->Noise;
        noise = noise * 1664525u + 1013904223u;
        const std::int64_t jitter = (noise >> 16) % 40;
        const std::string lower = LowerAscii(code);
        if (lower.find("delay(") != std::string::npos) {
            return 1'050'000 + jitter * 1000;
        }
        if (lower.find("createthread(") != std::string::npos) {
            return 85'000 + jitter * 100;
        }
        if (lower.find("debug ") != std::string::npos) {
            return 18'000 + jitter * 50;
        }
        if (lower.find("mid(") != std::string::npos || lower.find("lcase(") != std::string::npos) {
            return 140 + jitter * 2;
        }
        if (lower.find("counts(") != std::string::npos ||
            lower.find("newmap") != std::string::npos) {
            return 210 + jitter * 3;
        }
        return 35 + jitter;
    }

    // The written lines that stand for a line of the program.
    const std::vector<std::string>& OutputOf(const LineOfCode& line) const {
        return lineOutputs_[static_cast<std::size_t>(&line - program_.LinesOfCode.data())];
    }

    ProgramInfo& program_;
    const std::vector<std::vector<std::string>>& lineOutputs_;
    RunRecorder& recorder_;
    Scheduler& scheduler_;
};

// ---------------------------------------------------------------------------------------
// The example program, statement by statement (main.pb and worker.pbi).

struct RunSetup {
    std::int64_t DateSeconds;
    std::int64_t Milliseconds;
    std::int64_t ProcessId;
    std::int64_t MainThreadId;
    std::int64_t WorkerThreadId;
    std::string Text; // first program parameter: the text whose words are counted ("": default)
    int Rounds;       // second program parameter: passes of the main loop (0: default)
};

class ExampleProgram {
  public:
    ExampleProgram(Replay& replay, const RunSetup& setup) : r_(replay), setup_(setup) {}

    void Main(ThreadState& mainThread) {
        const std::string m = "main.pb";
        r_.Line(r_.Find("worker.pbi", "Global WorkerResult.q, WorkerSteps.i"));
        r_.Line(r_.Find(m, "Global NewMap Counts.i()"));
        r_.Line(r_.Find(m, "Global Statistics.WordStatistics"));
        // The command line of the run: a text and a number of rounds, or the defaults.
        r_.Line(r_.Find(m, "Define Text.s = ProgramParameter(0)"));
        std::string text = setup_.Text;
        r_.IfBlock(r_.Find(m, "If Text = \"\""), r_.Find(m, "EndIf", 2), text.empty(), [&] {
            r_.Line(r_.Find(m, "Text = \"the quick brown fox jumps over the lazy dog and the dog "
                               "sleeps\""));
            text = "the quick brown fox jumps over the lazy dog and the dog sleeps";
        });
        r_.Line(r_.Find(m, "Define Rounds.i = Val(ProgramParameter(1))"));
        int rounds = setup_.Rounds;
        r_.IfBlock(r_.Find(m, "If Rounds <= 0"), r_.Find(m, "EndIf", 3), rounds <= 0, [&] {
            r_.Line(r_.Find(m, "Rounds = 20"));
            rounds = 20;
        });
        r_.Line(r_.Find(m, "Define Round.i, Thread.i"));
        std::thread worker;
        r_.Line(r_.Find(m, "Thread = CreateThread(@Worker(), Rounds * 3)"), [&] {
            const std::int64_t now = r_.Clock().Now(mainThread.Slot) + 40'000;
            r_.Clock().Enter(1, now);
            worker = std::thread([this, rounds] { WorkerThread(rounds * 3); });
        });
        r_.ForLoop(r_.Find(m, "For Round = 1 To Rounds"), r_.Find(m, "Next", 1), rounds, [&](int) {
            r_.Line(r_.Find(m, "CountWords(Text)"), [&] { CountWords(text); });
        });
        r_.Line(r_.Find(m, "WaitThread(Thread)"), [&] {
            // The main thread sleeps until the worker has ended.
            r_.Clock().Leave(mainThread.Slot);
            worker.join();
            r_.Clock().Enter(mainThread.Slot,
                             std::max(workerEnd_, r_.Clock().Now(mainThread.Slot)));
        });
        std::vector<std::pair<std::string, int>> counts(counts_.begin(), counts_.end());
        r_.ForLoop(r_.Find(m, "ForEach Counts()"), r_.Find(m, "Next", 2),
                   static_cast<int>(counts.size()), [&](int pass) {
                       r_.Line(r_.Find(m, "Statistics\\Distinct + 1"));
                       r_.Line(r_.Find(m, "Debug MapKey(Counts()) + \" \" + "
                                          "Classify(Counts() / Rounds)"),
                               [&] { Classify(counts[pass - 1].second / rounds); });
                   });
        r_.Line(r_.Find(m, "Debug \"Sum of squares: \" + Str(WorkerResult) + \", words: \" + "
                           "Str(Statistics\\Words)"));
        r_.Line(r_.Find(m, "End")); // tickscope_End() ends the run here
    }

  private:
    std::string NextWord(const std::string& text, std::size_t& position) {
        std::string word;
        r_.Call([&] {
            const std::string m = "main.pb";
            const std::size_t length = text.size();
            r_.Line(r_.Find(m, "Protected Start.i, Length.i = Len(Text)"));
            r_.WhileLoop(
                r_.Find(m, "While *Position\\i <= Length And Mid(Text, *Position\\i, 1) = \" \""),
                r_.Find(m, "Wend", 1),
                [&] { return position <= length && text[position - 1] == ' '; },
                [&] {
                    r_.Line(r_.Find(m, "*Position\\i + 1", 1));
                    ++position;
                });
            const std::size_t start = position;
            r_.Line(r_.Find(m, "Start = *Position\\i"));
            r_.WhileLoop(
                r_.Find(m, "While *Position\\i <= Length And Mid(Text, *Position\\i, 1) <> \" \""),
                r_.Find(m, "Wend", 2),
                [&] { return position <= length && text[position - 1] != ' '; },
                [&] {
                    r_.Line(r_.Find(m, "*Position\\i + 1", 2));
                    ++position;
                });
            r_.Spend(90); // ProcedureReturn Mid(...) carries no probes
            word = text.substr(start - 1, position - start);
        });
        return word;
    }

    void CountWords(const std::string& text) {
        r_.Call([&] {
            const std::string m = "main.pb";
            r_.Line(r_.Find(m, "Protected Position.i = 1, Word.s"));
            std::size_t position = 1;
            const LineOfCode& repeat = r_.Find(m, "Repeat");
            const LineOfCode& forever = r_.Find(m, "ForEver");
            const LineOfCode& test = r_.Find(m, "If Word = \"\"");
            const LineOfCode& endIf = r_.Find(m, "EndIf", 1);
            r_.Start(repeat);
            r_.Spend(10);
            for (;;) {
                r_.Stop(repeat);
                std::string word;
                r_.Line(r_.Find(m, "Word = LCase(NextWord(Text, @Position))"),
                        [&] { word = LowerAscii(NextWord(text, position)); });
                r_.Start(test);
                r_.Spend(45);
                if (word.empty()) {
                    r_.Stop(test);
                    r_.Spend(5); // Break leaves the loop to the stop after ForEver
                    r_.Stop(forever, 1);
                    return;
                }
                r_.Stop(endIf, 0);
                r_.Line(r_.Find(m, "Counts(Word) + 1"));
                ++counts_[word];
                r_.Line(r_.Find(m, "Statistics\\Words + 1"));
                r_.Start(forever, 0);
                r_.Spend(10);
            }
        });
    }

    void Classify(int count) {
        r_.Call([&] {
            const std::string m = "main.pb";
            r_.Start(r_.Find(m, "Select Count"));
            r_.Spend(30);
            // The stop after the matching Case (or Default) opens its branch; every branch
            // returns, so EndSelect is never reached.
            const LineOfCode& branch = count == 1   ? r_.Find(m, "Case 1")
                                       : count <= 3 ? r_.Find(m, "Case 2, 3")
                                                    : r_.Find(m, "Default");
            r_.Stop(branch, 0);
            r_.Spend(40);
        });
    }

    std::int64_t SumOfSquares(int limit) {
        std::int64_t sum = 0;
        r_.Call([&] {
            const std::string w = "worker.pbi";
            r_.Line(r_.Find(w, "Protected Sum.q, Value.i"));
            r_.ForLoop(r_.Find(w, "For Value = 1 To Limit"), r_.Find(w, "Next", 1), limit,
                       [&](int value) {
                           r_.Line(r_.Find(w, "Sum + Value * Value"));
                           sum += static_cast<std::int64_t>(value) * value;
                       });
        });
        return sum;
    }

    void WorkerThread(int rounds) {
        ThreadState state{1, setup_.WorkerThreadId, 0x0322FE80, 0, 7};
        tlsThread = &state;
        std::int64_t result = 0;
        r_.Call([&] {
            const std::string w = "worker.pbi";
            r_.Line(r_.Find(w, "Protected Round.i"));
            const LineOfCode& test = r_.Find(w, "If Round % 20 = 0");
            r_.ForLoop(r_.Find(w, "For Round = 1 To Rounds"), r_.Find(w, "Next", 2), rounds,
                       [&](int round) {
                           r_.Line(
                               r_.Find(w, "WorkerResult + SumOfSquares(Round) : WorkerSteps + 1"),
                               [&] { result += SumOfSquares(round); });
                           r_.IfBlock(test, r_.Find(w, "EndIf"), round % 20 == 0,
                                      [&] { r_.Line(r_.Find(w, "Delay(1)")); });
                       });
        });
        workerEnd_ = r_.Clock().Now(state.Slot);
        r_.Clock().Leave(state.Slot);
        tlsThread = nullptr;
    }

    Replay& r_;
    const RunSetup& setup_;
    std::map<std::string, int> counts_;
    std::int64_t workerEnd_ = 0;
};

// ---------------------------------------------------------------------------------------

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The lines-of-code part of a program-information text.
std::string LinesPart(const std::string& text) {
    const auto at = text.find("LinesOfCode = ");
    return at == std::string::npos ? std::string() : text.substr(at);
}

int MakeRuns(const std::string& examples) {
    const std::string sourcePath = examples + "/program/main.pb";
    const std::string embedded = ReadFile(examples + "/program/tickscope.src");
    ProgramInfo program;
    LoadSource(sourcePath, "", program);
    if (program.LinesOfCode.empty()) {
        std::cerr << "make-example-runs: cannot read " << sourcePath << "\n";
        return 1;
    }
    InstrumentOptions options;
    options.ProbesForX86 = false;
    const InstrumentedTexts texts = InstrumentProgram(program, options);
    if (embedded.empty() || LinesPart(embedded) != LinesPart(texts.ProgramInfo)) {
        std::cerr << "make-example-runs: " << examples
                  << "/program/tickscope.src does not match the program; build it again\n";
        return 1;
    }

    const std::vector<RunSetup> runs = {
        {1796112000, 52731406, 3176, 4242, 5120, "", 0},
        {1796115600, 56345718, 7412, 8816, 9032,
         "a dog a cat a bird and a fox meet at the old oak tree by the river in the evening", 12},
        {1796202000, 142711035, 1288, 6604, 6992, "one two two three three three three", 25},
    };
    const std::string home = examples + "/home/";
    std::filesystem::create_directories(home);
    for (const RunSetup& setup : runs) {
        const std::string base = home + "Tickscope/" + std::to_string(setup.DateSeconds) + "-" +
                                 std::to_string(setup.Milliseconds);
        std::filesystem::remove(base + ".tkr");
        std::filesystem::remove(base + ".tkl");

        Scheduler scheduler;
        ThreadState mainThread{0, setup.MainThreadId, 0x0019FD20, 0, 3};
        RecorderSources sources;
        sources.Nanoseconds = [&scheduler] { return scheduler.Now(tlsThread->Slot); };
        sources.DateSeconds = [&setup] { return setup.DateSeconds; };
        sources.Milliseconds = [&setup] { return setup.Milliseconds; };
        sources.ThreadId = [] { return tlsThread->WindowsThreadId; };
        sources.ProcessId = [&setup] { return setup.ProcessId; };
        RunRecorder recorder(home, embedded, sources);

        tlsThread = &mainThread;
        scheduler.Enter(mainThread.Slot, 0);
        scheduler.Advance(mainThread.Slot, 2'500'000); // program start before tickscope_Begin
        if (!recorder.Begin()) {
            std::cerr << "make-example-runs: cannot create the run files in " << home << "\n";
            return 1;
        }
        Replay replay(program, texts.LineOutputs, recorder, scheduler);
        ExampleProgram(replay, setup).Main(mainThread);
        if (!recorder.End()) {
            std::cerr << "make-example-runs: writing " << recorder.BaseName() << " failed\n";
            return 1;
        }
        scheduler.Leave(mainThread.Slot);
        tlsThread = nullptr;
        std::cout << recorder.BaseName()
                  << ".tkl: " << std::filesystem::file_size(recorder.BaseName() + ".tkl")
                  << " bytes\n";
    }
    return 0;
}

} // namespace
} // namespace tickscope

int main(int argc, char** argv) {
    try {
        return tickscope::MakeRuns(argc > 1 ? argv[1] : "examples");
    } catch (const std::exception& error) {
        std::cerr << "make-example-runs: " << error.what() << "\n";
        return 1;
    }
}
