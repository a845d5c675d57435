// The instrumenter from arbitrary source bytes to the written texts, for x86 and x64 probes.
// The program text must be the completed runtime followed by every line's output; each
// line's output must hold its instructions in order with nothing between them but probes
// (carrying a key of that line) and the generated calls; the x86 output must be the x64
// output with the register save lines around every probe; and the program information
// must read back as the loaded lines.

#include "../fuzz_support.h"

#include "instrument/instrumenter.h"
#include "instrument/runtime_text.h"
#include "runfiles/key_value_file.h"
#include "runfiles/program_info_file.h"
#include "source/program_info.h"
#include "source/source_loader.h"
#include "source/text_utils.h"

#include <charconv>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using tickscope::fuzz::InputReader;
using tickscope::fuzz::Show;

using Key = std::tuple<long long, long long, long long>;

constexpr std::string_view kX86Before = "! pushf\n! pushad\n";
constexpr std::string_view kX86After = "\n! popad\n! popf";

// Numbers of an x64 probe "tickscope_AddStartEntry(1, 2, 3, #False)"; false if it is none.
bool ParseProbe(std::string_view text, Key& key) {
    for (const std::string_view name : {"tickscope_AddStartEntry(", "tickscope_AddStopEntry("}) {
        if (!text.starts_with(name)) {
            continue;
        }
        std::string_view rest = text.substr(name.size());
        long long numbers[3];
        for (long long& number : numbers) {
            const std::string_view digits = rest.substr(0, rest.find(','));
            // Source text may hold anything that looks like a probe ("-", "1-2"): not a number.
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), number);
            if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
                return false;
            }
            rest.remove_prefix(digits.size());
            if (!rest.starts_with(", ")) {
                return false;
            }
            rest.remove_prefix(2);
        }
        key = {numbers[0], numbers[1], numbers[2]};
        return rest == "#True)" || rest == "#False)";
    }
    return false;
}

bool IsGeneratedCall(std::string_view text) {
    return text == "Define tickscopevar.b" || text == "tickscope_End()" ||
           text == "tickscope_InitHiresTiming() : tickscope_Begin()" ||
           text == "ProcedureDLL DetachProcess(Instance) : tickscope_End() : EndProcedure" ||
           text == "ProcedureDLL AttachProcess(Instance) : tickscope_InitHiresTiming() : "
                   "tickscope_Begin() : EndProcedure";
}

void CheckLine(const tickscope::LineOfCode& line, const std::vector<std::string>& out,
               std::size_t index) {
    std::set<Key> keys;
    for (const tickscope::Instruction& instruction : line.Instructions) {
        keys.insert({line.SourceFileId, line.LineNumber, instruction.InstructionNumber});
        const auto parts = tickscope::SplitInstructionKey(instruction.BlockKey);
        keys.insert({parts.SourceFileId, parts.LineNumber, parts.InstructionNumber});
    }
    const std::string where = "line " + std::to_string(index + 1) + " " + Show(line.Code);
    auto checkBetween = [&](std::string_view element) {
        Key key;
        if (ParseProbe(element, key)) {
            FUZZ_CHECK(keys.count(key) != 0, where + " probe " + Show(element));
        } else {
            FUZZ_CHECK(IsGeneratedCall(element), where + " stray element " + Show(element));
        }
    };
    std::size_t cursor = 0;
    for (const tickscope::Instruction& instruction : line.Instructions) {
        const std::string code(line.TextOf(instruction));
        while (cursor < out.size() && out[cursor] != code && out[cursor] != ";" + code) {
            checkBetween(out[cursor++]);
        }
        FUZZ_CHECK(cursor < out.size(), where + " lost instruction " + Show(code));
        // Probes and declarative blocks: statements of scope 0 stand unchanged.
        FUZZ_CHECK(instruction.ScopeId != 0 || out[cursor] == code,
                   where + " changed declarative statement");
        ++cursor;
    }
    while (cursor < out.size()) {
        checkBetween(out[cursor++]);
    }
}

std::string ExpectedProgram(const tickscope::ProgramInfo& program,
                            const tickscope::InstrumentedTexts& texts, const std::string& temp) {
    std::string text = tickscope::MonitoringRuntimeText();
    if (program.IsExecutable) {
        text += "tickscope_InitHiresTiming()\ntickscope_Begin()\n";
    }
    text = tickscope::ReplaceAll(text, tickscope::kTempFolderPlaceholder, temp);
    for (const std::vector<std::string>& output : texts.LineOutputs) {
        for (const std::string& element : output) {
            text += element;
            text += '\n';
        }
    }
    // Without lines the end call stands on its own after the runtime.
    if (program.LinesOfCode.empty()) {
        text += "tickscope_End()\n";
    }
    return text + "\r\n";
}

void CheckProgramInformation(const tickscope::ProgramInfo& program, const std::string& text) {
    FUZZ_CHECK(text == tickscope::WriteProgramInfo(program), "program information");
    tickscope::KeyValueFile file;
    file.Parse(text);
    FUZZ_CHECK(file.ReadString("Path") == program.Path, "Path");
    FUZZ_CHECK(tickscope::ParseInteger(file.ReadString("LinesOfCode")) ==
                   static_cast<std::int64_t>(program.LinesOfCode.size()),
               "LinesOfCode");
    FUZZ_CHECK(tickscope::ParseInteger(file.ReadString("ScopeIds")) ==
                   static_cast<std::int64_t>(program.ScopeIds.Size()),
               "ScopeIds");
    for (const auto& [name, id] : program.ScopeIds) {
        FUZZ_CHECK(file.ReadString("ScopeId." + std::to_string(id)) == name, Show(name));
    }
    for (std::size_t n = 1; n <= program.LinesOfCode.size(); ++n) {
        const tickscope::LineOfCode& line = program.LinesOfCode[n - 1];
        const std::string base = "LineOfCode." + std::to_string(n) + ".";
        FUZZ_CHECK(tickscope::ParseInteger(file.ReadString(base + "SourceFileId")) ==
                       line.SourceFileId,
                   base);
        FUZZ_CHECK(tickscope::ParseInteger(file.ReadString(base + "LineNumber")) == line.LineNumber,
                   base);
        FUZZ_CHECK(file.ReadString(base + "Code") == tickscope::EncodeProgramInfoValue(line.Code),
                   base + " " + Show(line.Code));
        FUZZ_CHECK(tickscope::ParseInteger(file.ReadString(base + "Instructions")) ==
                       static_cast<std::int64_t>(line.Instructions.size()),
                   base);
        for (std::size_t m = 1; m <= line.Instructions.size(); ++m) {
            const std::string key = base + "Instruction." + std::to_string(m) + ".";
            FUZZ_CHECK(tickscope::ParseInteger(file.ReadString(key + "ScopeId")) ==
                           line.Instructions[m - 1].ScopeId,
                       key);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputReader input(data, size);
    const std::string_view rest = input.Rest();
    // An optional second file after a 0xFE byte, included as "inc.pbi".
    const std::size_t split = rest.find('\xFE');
    const auto& scratch = tickscope::fuzz::ScratchFolder::Get();
    scratch.Empty();
    const std::string main = scratch.Write("main.pb", rest.substr(0, split));
    if (split != std::string_view::npos) {
        scratch.Write("inc.pbi", rest.substr(split + 1));
    }

    tickscope::ProgramInfo loaded;
    tickscope::LoadSource(main, "", loaded);
    const std::string temp = scratch.Path().string() + "/";

    tickscope::ProgramInfo forX86 = loaded;
    tickscope::ProgramInfo forX64 = loaded;
    tickscope::InstrumentOptions options;
    options.MonitoringRuntimeText = tickscope::MonitoringRuntimeText();
    options.TempFolder = temp;
    options.ProbesForX86 = true;
    const tickscope::InstrumentedTexts x86 = tickscope::InstrumentProgram(forX86, options);
    options.ProbesForX86 = false;
    const tickscope::InstrumentedTexts x64 = tickscope::InstrumentProgram(forX64, options);
    // Build mode writes the program as it is made, one line's output at a time.
    tickscope::StringSink streamed;
    tickscope::WriteInstrumentedProgram(loaded, options, streamed);
    FUZZ_CHECK(streamed.Text == x64.Program, "the streamed program text differs");

    FUZZ_CHECK(x64.ProgramInfo == x86.ProgramInfo, "program information differs by processor");
    FUZZ_CHECK(x86.Program == ExpectedProgram(forX86, x86, temp), "x86 program text");
    FUZZ_CHECK(x64.Program == ExpectedProgram(forX64, x64, temp), "x64 program text");
    CheckProgramInformation(forX64, x64.ProgramInfo);

    std::size_t ends = 0;
    for (std::size_t i = 0; i < forX64.LinesOfCode.size(); ++i) {
        const auto& a = x64.LineOutputs[i];
        const auto& b = x86.LineOutputs[i];
        FUZZ_CHECK(a.size() == b.size(), "line " + std::to_string(i + 1) + " outputs");
        for (std::size_t k = 0; k < a.size(); ++k) {
            Key key;
            if (ParseProbe(a[k], key) && a[k] != b[k]) {
                FUZZ_CHECK(b[k] == std::string(kX86Before) + a[k] + std::string(kX86After),
                           Show(b[k]));
            } else {
                FUZZ_CHECK(a[k] == b[k], Show(a[k]) + " / " + Show(b[k]));
            }
            ends += a[k].find("tickscope_End()") != std::string::npos;
        }
        CheckLine(forX64.LinesOfCode[i], a, i);
    }
    FUZZ_CHECK(forX64.LinesOfCode.empty() || ends >= 1, "no tickscope_End()");
    return 0;
}
