#pragma once

// Runs of a real program without a PureBasic compiler: the program is built by build mode,
// and a script says which of its lines run, how often and how long; the probes those lines
// carry in the built program are replayed through RunRecorder with a clock that moves only
// as the script says, so every figure of the run is known exactly.

#include "common/temp_folder.h"
#include "instrument/build_mode.h"
#include "instrument/instrumenter.h"
#include "instrument/probe_text.h"
#include "instrument/runtime_text.h"
#include "platform/platform.h"
#include "runfiles/run_recorder.h"
#include "source/source_loader.h"
#include "source/text_utils.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tickscope::testing {

// One line of the script: the line of `File` (a file name) whose trimmed code is `Code`
// (the `Occurrence`-th such line) runs `Times` times, each time taking `Nanos` of its own
// and running `Calls` inside it (the lines of a procedure it calls, one stack frame deeper).
struct ScriptedLine {
    std::string File;
    std::string Code;
    int Times = 1;
    std::int64_t Nanos = 100;
    std::vector<ScriptedLine> Calls;
    int Occurrence = 1;
};

// A line that runs once, with the lines of the procedures it calls.
inline ScriptedLine Runs(std::string file, std::string code, std::int64_t nanos,
                         std::vector<ScriptedLine> calls = {}) {
    return {std::move(file), std::move(code), 1, nanos, std::move(calls), 1};
}

// A line that runs `times` times.
inline ScriptedLine RunsTimes(std::string file, std::string code, int times, std::int64_t nanos,
                              std::vector<ScriptedLine> calls = {}) {
    return {std::move(file), std::move(code), times, nanos, std::move(calls), 1};
}

class ScriptedProgram {
  public:
    // Builds `mainFile` as build mode does for a 64-bit IDE, its outputs in `scratch`.
    // Throws std::runtime_error when it cannot.
    ScriptedProgram(const std::string& mainFile, const TempFolder& scratch) {
        class Yes : public Requesters {
          public:
            bool AskYesNo(const std::string&, const std::string&) override { return true; }
            void ShowMessage(const std::string&, const std::string& text) override {
                Message = text;
            }
            std::string AskText(const std::string&, const std::string&,
                                const std::string&) override {
                return {};
            }
            std::string Message;
        } yes;
        BuildSettings settings;
        settings.SourcePath = mainFile;
        settings.TargetPath = scratch.File("compiled.pb");
        settings.ProbesForX86 = false;
        settings.MonitoringRuntimeText = MonitoringRuntimeText();
        settings.TempFolder = scratch.Folder();
        RunBuildMode(settings, yes);
        if (!yes.Message.empty()) {
            throw std::runtime_error("build mode failed: " + yes.Message);
        }
        std::string why;
        const std::optional<std::string> folder =
            platform::PrivateBuildFolder(settings.TempFolder, why);
        if (!folder) {
            throw std::runtime_error(why);
        }
        information_ = ReadFileBytes(*folder + kProgramInfoFileName);

        // The probes of every line, as the built program holds them.
        LoadSource(mainFile, "", program_);
        InstrumentOptions options;
        options.ProbesForX86 = false;
        options.MonitoringRuntimeText = settings.MonitoringRuntimeText;
        options.TempFolder = *folder;
        InstrumentedTexts texts = InstrumentProgram(program_, options);
        lineOutputs_ = std::move(texts.LineOutputs);
        if (texts.ProgramInfo != information_ ||
            texts.Program != ReadFileBytes(settings.TargetPath)) {
            throw std::runtime_error("the replayed program is not the one build mode built");
        }
    }

    const ProgramInfo& Program() const { return program_; }

    // Records one run into <home>Tickscope/ on one thread, the clock starting at 0; returns
    // the path of its .tkr file. Throws std::runtime_error for a line the program does not
    // have or that carries no probes.
    std::string Record(const std::string& home, const std::vector<ScriptedLine>& script,
                       std::int64_t dateSeconds, std::int64_t threadId = 4242) {
        clock_ = 0;
        depth_ = 0;
        RecorderSources sources;
        sources.Nanoseconds = [this] { return clock_; };
        sources.DateSeconds = [dateSeconds] { return dateSeconds; };
        sources.Milliseconds = [] { return std::int64_t{500}; };
        sources.ThreadId = [threadId] { return threadId; };
        sources.ProcessId = [] { return std::int64_t{77}; };
        RunRecorder recorder(home, information_, sources);
        if (!recorder.Begin()) {
            throw std::runtime_error("cannot begin a run in " + home);
        }
        recorder_ = &recorder;
        for (const ScriptedLine& line : script) {
            Run(line);
        }
        recorder_ = nullptr;
        if (!recorder.End()) {
            throw std::runtime_error("cannot record a run in " + home);
        }
        return recorder.BaseName() + ".tkr";
    }

  private:
    // The index of the line in the program (and in its outputs).
    std::size_t Find(const ScriptedLine& step) const {
        int occurrence = step.Occurrence;
        for (std::size_t index = 0; index < program_.LinesOfCode.size(); ++index) {
            const LineOfCode& line = program_.LinesOfCode[index];
            if (FileNameOf(line.SourceFileId) == step.File && Trim(line.Code, " \t") == step.Code &&
                --occurrence == 0) {
                return index;
            }
        }
        throw std::runtime_error("no line " + step.File + ": " + step.Code);
    }

    std::string FileNameOf(int id) const {
        for (const auto& [path, fileId] : program_.SourceFileIds) {
            if (fileId == id) {
                return std::filesystem::path(path).filename().string();
            }
        }
        return {};
    }

    // Every probe of the line in order; its own time and its calls in its first statement.
    void Run(const ScriptedLine& step) {
        const std::vector<std::string>& outputs = lineOutputs_.at(Find(step));
        for (int time = 0; time < step.Times; ++time) {
            bool probed = false;
            bool first = true;
            for (const std::string& element : outputs) {
                if (const std::optional<ProbeCall> probe = ParseProbeText(element)) {
                    const std::int64_t frame = 0x7FFE0000 - 0x40 * depth_;
                    if (probe->Kind == ProbeKind::Start) {
                        recorder_->AddStartEntry(probe->SourceFileId, probe->LineNumber,
                                                 probe->InstructionNumber,
                                                 probe->OverrideStackframe, frame);
                    } else {
                        recorder_->AddStopEntry(probe->SourceFileId, probe->LineNumber,
                                                probe->InstructionNumber, probe->OverrideStackframe,
                                                frame);
                    }
                    probed = true;
                } else if (first && !Trim(element, " \t").empty()) {
                    first = false;
                    clock_ += step.Nanos;
                    ++depth_;
                    for (const ScriptedLine& call : step.Calls) {
                        Run(call);
                    }
                    --depth_;
                }
            }
            if (!probed) {
                throw std::runtime_error("no probes on " + step.File + ": " + step.Code);
            }
        }
    }

    ProgramInfo program_;
    std::vector<std::vector<std::string>> lineOutputs_;
    std::string information_;
    RunRecorder* recorder_ = nullptr;
    std::int64_t clock_ = 0;
    int depth_ = 0;
};

} // namespace tickscope::testing
