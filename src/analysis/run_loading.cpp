#include "analysis/run_loading.h"

#include "analysis/key_value_file.h"
#include "analysis/memory_stream.h"
#include "instrument/program_info_file.h"
#include "instrument/run_files.h"
#include "platform/platform.h"
#include "source/text_utils.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>

namespace tickscope {

namespace {

constexpr std::string_view kLinePrefix = "LineOfCode.";
constexpr std::string_view kSourceFilePrefix = "SourceFileId.";
constexpr std::string_view kScopePrefix = "ScopeId.";

// A count may run ahead of the highest index present by this much before it is taken as
// corrupt; the surplus only produces empty entries.
constexpr std::int64_t kCountSlack = 1000000;
// Instructions are per line, so the allowance is small: a run has many lines.
constexpr std::int64_t kInstructionSlack = 16;

// Number written in plain decimal without leading zeros, as the writer produces indexes;
// -1 for anything else (such keys are never looked up).
std::int64_t IndexValue(std::string_view digits) {
    if (digits.empty() || digits.size() > 9 || digits.front() == '0') {
        return -1;
    }
    std::int64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::int64_t EffectiveCount(std::int64_t count, std::int64_t highestIndex, std::int64_t slack) {
    if (count <= 0) {
        return 0;
    }
    return count > highestIndex + slack ? highestIndex : count;
}

// Sends progress to the sink, but only when the value moved by a visible amount (a
// thousandth of the maximum), so that millions of entries cost millions of comparisons,
// not millions of redraws.
class ProgressThrottle {
  public:
    explicit ProgressThrottle(ProgressSink& sink) : sink_(sink) {}

    void Open(const std::string& text, std::int64_t maximum) {
        granularity_ = std::max<std::int64_t>(1, maximum / 1000);
        last_ = 0;
        sink_.ShowProgress(0, text, maximum);
    }
    void Update(std::int64_t value) {
        const std::int64_t moved = value > last_ ? value - last_ : last_ - value;
        if (moved >= granularity_) {
            last_ = value;
            sink_.ShowProgress(value, std::string(), -1);
        }
    }
    void Announce(std::int64_t value, const std::string& text) {
        last_ = value;
        sink_.ShowProgress(value, text, -1);
    }

  private:
    ProgressSink& sink_;
    std::int64_t granularity_ = 1;
    std::int64_t last_ = 0;
};

void EmptyProgram(ProgramInfo& program) {
    program.LinesOfCode = {};
    program.ScopeIds.Clear();
    program.SourceFileIds.Clear();
}

// Highest index N of the keys "<prefix><N>" present in a group.
std::int64_t HighestIndex(const std::unordered_map<std::string, std::string>& keys,
                          std::string_view prefix) {
    std::int64_t highest = 0;
    for (const auto& entry : keys) {
        if (StartsWith(entry.first, prefix)) {
            highest =
                std::max(highest, IndexValue(std::string_view(entry.first).substr(prefix.size())));
        }
    }
    return highest;
}

// Fills `table` with "<prefix><i>" values -> i for i = 1 .. count.
void ReadIdTable(const KeyValueFile& file, std::string_view prefix, std::int64_t count,
                 IdTable& table) {
    std::string key(prefix);
    for (std::int64_t i = 1; i <= count; ++i) {
        key.resize(prefix.size());
        key += std::to_string(i);
        table.Set(file.ReadString(key), static_cast<int>(i));
    }
}

// Every "LineOfCode." line of the run-information file, gathered in one pass.
struct LineValues {
    std::unordered_map<std::string, std::string> Values;
    std::int64_t HighestLine = 0;
    std::unordered_map<std::int64_t, std::int64_t> HighestInstruction; // line -> index

    void Collect(const std::string& fileName);
    const std::string& Get(const std::string& key) const {
        static const std::string empty;
        const auto it = Values.find(key);
        return it == Values.end() ? empty : it->second;
    }

  private:
    void NoteIndexes(std::string_view key);
};

void LineValues::Collect(const std::string& fileName) {
    const auto block = ReadWholeFile(fileName, true);
    if (!block) {
        return;
    }
    MemoryTextStream stream(*block);
    while (!stream.AtEnd()) {
        const std::string_view line = stream.ReadMemoryLine();
        if (!StartsWith(line, kLinePrefix)) {
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue; // not a key line
        }
        const std::string_view key = Trim(line.substr(0, equals), " ");
        // The character after "=" is the separator's blank, whatever it holds.
        const std::string_view value =
            equals + 2 <= line.size() ? line.substr(equals + 2) : std::string_view();
        Values.insert_or_assign(std::string(key), std::string(value));
        NoteIndexes(key);
    }
}

// Keeps the highest line number, and per line the highest instruction number, among keys
// of the form LineOfCode.<N>.<field> and LineOfCode.<N>.Instruction.<M>.<field>.
void LineValues::NoteIndexes(std::string_view key) {
    key.remove_prefix(kLinePrefix.size());
    const auto dot = key.find('.');
    const std::int64_t line = IndexValue(key.substr(0, dot));
    if (line <= 0 || dot == std::string_view::npos) {
        return;
    }
    HighestLine = std::max(HighestLine, line);
    constexpr std::string_view kInstructionPart = "Instruction.";
    const std::string_view rest = key.substr(dot + 1);
    if (StartsWith(rest, kInstructionPart)) {
        const std::string_view tail = rest.substr(kInstructionPart.size());
        const std::int64_t instruction = IndexValue(tail.substr(0, tail.find('.')));
        std::int64_t& highest = HighestInstruction[line];
        highest = std::max(highest, instruction);
    }
}

LineOfCode BuildLine(const LineValues& values, std::int64_t n) {
    const std::string base = std::string(kLinePrefix) + std::to_string(n) + ".";
    LineOfCode line;
    line.SourceFileId = ParseInteger32(values.Get(base + "SourceFileId"));
    line.LineNumber = ParseInteger32(values.Get(base + "LineNumber"));
    line.Code = DecodeProgramInfoValue(values.Get(base + "Code"));
    const auto highest = values.HighestInstruction.find(n);
    const std::int64_t count = EffectiveCount(
        ParseInteger32(values.Get(base + "Instructions")),
        highest == values.HighestInstruction.end() ? 0 : highest->second, kInstructionSlack);
    line.Instructions.resize(static_cast<std::size_t>(count));
    std::string key;
    for (std::int64_t m = 1; m <= count; ++m) {
        Instruction& instruction = line.Instructions[static_cast<std::size_t>(m - 1)];
        key = base + "Instruction." + std::to_string(m) + ".";
        instruction.ScopeId = ParseInteger32(values.Get(key + "ScopeId"));
        instruction.Code = values.Get(key + "Code");
    }
    return line;
}

void FillThreadList(const ProgramInfo& program, const RunAnalysis& analysis, ListData& threadList) {
    std::unordered_map<int, const std::string*> scopeNames; // scope id -> first name
    for (const auto& [name, id] : program.ScopeIds) {
        scopeNames.try_emplace(id, &name);
    }
    threadList.Clear();
    for (const ThreadNode& thread : analysis.Threads()) {
        std::string scope;
        if (!thread.Lines.empty()) {
            const std::int32_t lineId = thread.Lines.front().LineId;
            if (lineId >= 1 && static_cast<std::size_t>(lineId) <= program.LinesOfCode.size()) {
                const LineOfCode& line = program.LinesOfCode[static_cast<std::size_t>(lineId - 1)];
                if (!line.Instructions.empty()) {
                    const auto it = scopeNames.find(line.Instructions.front().ScopeId);
                    if (it != scopeNames.end()) {
                        scope = *it->second;
                    }
                }
            }
        }
        threadList.AddRow({"", std::to_string(thread.ThreadId), scope});
    }
    threadList.SetAllChecked(true);
}

} // namespace

std::string EntryLogPath(const std::string& runFileName) {
    if (EndsWith(runFileName, ".tkr")) {
        return runFileName.substr(0, runFileName.size() - 4) + ".tkl";
    }
    return runFileName + ".tkl";
}

void LoadRun(RunCatalogue& catalogue, RunRecord& record, AnalyzerLists& lists,
             RunAnalysis& analysis, ProgressSink& progress) {
    // Only one run is loaded at a time: a program left in a record after the chosen one
    // would be memory that nothing reads any more, so every record is emptied.
    for (RunRecord& other : catalogue.Records) {
        EmptyProgram(other.Program);
    }
    EmptyProgram(record.Program);
    ProgramInfo& program = record.Program;

    const std::string logPath = EntryLogPath(record.FileName);
    const std::int64_t runSize = std::max<std::int64_t>(0, platform::FileSize(record.FileName));
    const std::int64_t logSize = std::max<std::int64_t>(0, platform::FileSize(logPath));
    const std::int64_t runBytes = runSize + logSize;

    // Header keys: the source files and scopes.
    KeyValueFile header;
    header.Open(record.FileName, [](std::string_view group, std::string_view key) {
        return group == kPreProgramInfosGroup &&
               (StartsWith(key, kSourceFilePrefix) || StartsWith(key, kScopePrefix));
    });
    header.UseGroup(kPreProgramInfosGroup);
    const auto& headerKeys = header.Group(kPreProgramInfosGroup);
    ReadIdTable(header, kSourceFilePrefix,
                EffectiveCount(record.SourceFileCount, HighestIndex(headerKeys, kSourceFilePrefix),
                               kCountSlack),
                program.SourceFileIds);
    lists.SourceFileList.Clear();
    for (const auto& [path, id] : program.SourceFileIds) {
        lists.SourceFileList.AddRow({std::to_string(id), path});
    }
    ReadIdTable(
        header, kScopePrefix,
        EffectiveCount(record.ScopeCount, HighestIndex(headerKeys, kScopePrefix), kCountSlack),
        program.ScopeIds);

    // Lines of code.
    ProgressThrottle throttle(progress);
    {
        LineValues values;
        values.Collect(record.FileName);
        const std::int64_t lineCount =
            EffectiveCount(record.LineCount, values.HighestLine, kCountSlack);
        const double sourceStep =
            lineCount > 0 ? static_cast<double>(runSize) / (static_cast<double>(lineCount) * 2.0)
                          : 0.0;
        double done = 0.0;
        throttle.Open("Loading sourcecode ...", runBytes);
        program.LinesOfCode.reserve(static_cast<std::size_t>(lineCount));
        for (std::int64_t n = 1; n <= lineCount; ++n) {
            done += sourceStep;
            throttle.Update(std::llround(done));
            program.LinesOfCode.push_back(BuildLine(values, n));
        }
        lists.ReportList.Clear();
        lists.ReportList.Rows.reserve(program.LinesOfCode.size());
        for (const LineOfCode& line : program.LinesOfCode) {
            done += sourceStep;
            throttle.Update(std::llround(done));
            lists.ReportList.AddRow({"", std::to_string(line.SourceFileId),
                                     std::to_string(line.LineNumber), "", "", line.Code});
        }
        throttle.Announce(std::llround(done), "Loading profiledata ...");
    }

    // Entries, streamed one by one into the attribution.
    ResetAttribution(analysis, lists.ReportList);
    EntryLogReader reader;
    if (reader.Open(logPath)) {
        EntryRecord entry;
        while (reader.Next(entry)) {
            AttributeEntry(analysis, entry);
            throttle.Update(runSize + reader.Position());
        }
        reader.Close();
    }

    lists.ReportList.SetAllChecked(true);
    FillThreadList(program, analysis, lists.ThreadList);
    progress.ShowProgress(runBytes, std::string(), -1);
}

} // namespace tickscope
