#include "analysis/callgrind_export.h"

#include "analysis/frame_names.h"
#include "analysis/id_names.h"
#include "analysis/wrapping_math.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace tickscope {

namespace {

constexpr const char* kNotInProgram = "(line not in the program)";

// Names written once in full as "(N) name", then as "(N)".
class CompressedNames {
  public:
    std::string Refer(const std::string& name) {
        const auto [found, inserted] = ids_.try_emplace(name, static_cast<int>(ids_.size()) + 1);
        // Built by appending: GCC 12 at -O3 warns falsely on "literal" + std::string.
        std::string id("(");
        id.append(std::to_string(found->second)).append(")");
        if (inserted) {
            id.append(" ").append(name);
        }
        return id;
    }

  private:
    std::unordered_map<std::string, int> ids_;
};

} // namespace

void WriteCallgrind(const LoadedRun& run, const RunProfile& profile, const std::string& creator,
                    OutputBuffer& out) {
    const ProgramInfo& program = run.Program;
    const IdNames ids(program);
    FrameNames procedureNames(program, FrameKind::Procedure);
    const auto lineOf = [&program](std::int32_t lineId) -> const LineOfCode* {
        return lineId >= 1 && static_cast<std::size_t>(lineId) <= program.LinesOfCode.size()
                   ? &program.LinesOfCode[static_cast<std::size_t>(lineId) - 1]
                   : nullptr;
    };
    // A file the run names no path for is told apart by its id.
    const auto fileOf = [&](std::int32_t lineId) {
        const LineOfCode* line = lineOf(lineId);
        if (line == nullptr) {
            return std::string(kNotInProgram);
        }
        const std::string& path = ids.FilePath(line->SourceFileId);
        if (!path.empty()) {
            return LabelText(path);
        }
        std::string name("(file ");
        return name.append(std::to_string(line->SourceFileId)).append(")");
    };
    // Positions are unsigned in the format ("-9" would read as 9 lines back): a negative
    // line number is written as 0, the unknown line.
    const auto lineNumberOf = [&](std::int32_t lineId) {
        const LineOfCode* line = lineOf(lineId);
        return line == nullptr ? 0 : std::max(0, line->LineNumber);
    };

    // Entries that name no line of the program are left out, as the other reports do.
    const auto inProgram = [&lineOf](const LineProfile& line) {
        return lineOf(line.LineId) != nullptr;
    };
    std::int64_t selfSum = 0;
    std::int64_t hitsSum = 0;
    for (const LineProfile& line : profile.Lines) {
        if (!inProgram(line)) {
            continue;
        }
        selfSum = WrappingAdd(selfSum, line.SelfNanos);
        hitsSum = WrappingAdd(hitsSum, line.Hits);
    }
    out.Write("# callgrind format\nversion: 1\ncreator: ");
    out.Write(LabelText(creator));
    out.Write("\ncmd: ");
    out.Write(LabelText(run.Record.Path));
    out.Write("\npositions: line\nevents: ns Hits\nsummary: ");
    out.WriteInteger(selfSum);
    out.Put(' ');
    out.WriteInteger(hitsSum);
    out.Write("\n");

    std::map<std::int32_t, const ProcedureProfile*> procedures;
    for (const ProcedureProfile& procedure : profile.Procedures) {
        procedures[procedure.ScopeId] = &procedure;
    }
    CompressedNames files;
    CompressedNames functions;
    std::string currentFile;
    std::string currentFunction;
    bool first = true;
    auto call = profile.Calls.begin();
    for (const LineProfile& line : profile.Lines) {
        if (!inProgram(line)) {
            continue;
        }
        const std::string file = fileOf(line.LineId);
        const std::string function = procedureNames.Name(line.ScopeId);
        if (first || file != currentFile) {
            out.Write("\nfl=");
            out.Write(files.Refer(file));
            out.Put('\n');
            currentFile = file;
            currentFunction.clear();
        }
        if (first || function != currentFunction) {
            if (!currentFunction.empty()) {
                out.Put('\n');
            }
            out.Write("fn=");
            out.Write(functions.Refer(function));
            out.Put('\n');
            currentFunction = function;
        }
        first = false;
        const std::int32_t number = lineNumberOf(line.LineId);
        out.WriteInteger(number);
        out.Put(' ');
        out.WriteInteger(line.SelfNanos);
        out.Put(' ');
        out.WriteInteger(line.Hits);
        out.Put('\n');
        // The calls are ordered by caller line, as the lines are.
        while (call != profile.Calls.end() && call->CallerLineId < line.LineId) {
            ++call;
        }
        for (; call != profile.Calls.end() && call->CallerLineId == line.LineId; ++call) {
            const auto callee = procedures.find(call->CalleeScopeId);
            const std::int32_t target =
                callee == procedures.end() ? 0 : callee->second->FirstLineId;
            // A callee without lines in the program stays in the caller's file.
            const std::string calleeFile = target == 0 ? currentFile : fileOf(target);
            if (calleeFile != currentFile) {
                out.Write("cfl=");
                out.Write(files.Refer(calleeFile));
                out.Put('\n');
            }
            out.Write("cfn=");
            out.Write(functions.Refer(procedureNames.Name(call->CalleeScopeId)));
            out.Write("\ncalls=");
            out.WriteInteger(call->Calls);
            out.Put(' ');
            out.WriteInteger(lineNumberOf(target));
            out.Put('\n');
            out.WriteInteger(number);
            out.Put(' ');
            out.WriteInteger(call->InclusiveNanos);
            out.Put('\n');
        }
    }
}

} // namespace tickscope
