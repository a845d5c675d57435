#include "runfiles/program_info_reader.h"

#include "platform/file_reading.h"
#include "runfiles/key_value_file.h"
#include "runfiles/memory_stream.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_information.h"
#include "source/source_reader.h"
#include "source/text_utils.h"

#include <algorithm>
#include <array>

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

// Run-information files of programs far larger than any real one are not read.
constexpr std::uint64_t kRunFileReadLimit = std::uint64_t{1} << 30;

std::int64_t EffectiveCount(std::int64_t count, std::int64_t highestIndex, std::int64_t slack) {
    if (count <= 0) {
        return 0;
    }
    return count > highestIndex + slack ? highestIndex : count;
}

// Highest index N of the keys "<prefix><N>" present in a group.
std::int64_t HighestIndex(const std::unordered_map<std::string, std::string>& keys,
                          std::string_view prefix) {
    std::int64_t highest = 0;
    for (const auto& entry : keys) {
        if (StartsWith(entry.first, prefix)) {
            highest = std::max(highest,
                               ParseKeyIndex(std::string_view(entry.first).substr(prefix.size())));
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

} // namespace

RunHeader ReadRunHeader(const std::string& runFile) {
    static constexpr std::array<std::string_view, 4> kHeaderKeys = {"Path", "LinesOfCode",
                                                                    "SourceFileIds", "ScopeIds"};
    KeyValueFile file;
    file.Open(runFile, [](std::string_view group, std::string_view key) {
        return group == kPreProgramInfosGroup &&
               std::find(kHeaderKeys.begin(), kHeaderKeys.end(), key) != kHeaderKeys.end();
    });
    file.UseGroup(kPreProgramInfosGroup);
    RunHeader header;
    header.Path = file.ReadString("Path");
    header.LineCount = ParseInteger32(file.ReadString("LinesOfCode"));
    header.SourceFileCount = ParseInteger32(file.ReadString("SourceFileIds"));
    header.ScopeCount = ParseInteger32(file.ReadString("ScopeIds"));
    return header;
}

void ProgramInfoReader::ReadTables(const std::string& runFile, const RunHeader& header,
                                   ProgramInfo& program) {
    KeyValueFile file;
    file.Open(runFile, [](std::string_view group, std::string_view key) {
        return group == kPreProgramInfosGroup &&
               (StartsWith(key, kSourceFilePrefix) || StartsWith(key, kScopePrefix));
    });
    file.UseGroup(kPreProgramInfosGroup);
    const auto& keys = file.Group(kPreProgramInfosGroup);
    ReadIdTable(
        file, kSourceFilePrefix,
        EffectiveCount(header.SourceFileCount, HighestIndex(keys, kSourceFilePrefix), kCountSlack),
        program.SourceFileIds);
    ReadIdTable(file, kScopePrefix,
                EffectiveCount(header.ScopeCount, HighestIndex(keys, kScopePrefix), kCountSlack),
                program.ScopeIds);
}

void ProgramInfoReader::CollectLines(const std::string& runFile) {
    values_.clear();
    highestLine_ = 0;
    highestInstruction_.clear();
    const auto bytes = platform::ReadWholeFile(runFile, kRunFileReadLimit);
    if (!bytes) {
        return;
    }
    std::string_view text(*bytes);
    text.remove_prefix(ByteOrderMarkLength(text));
    MemoryTextStream stream(text);
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
        values_.insert_or_assign(std::string(key), std::string(value));
        NoteIndexes(key);
    }
}

// Keeps the highest line number, and per line the highest instruction number, among keys
// of the form LineOfCode.<N>.<field> and LineOfCode.<N>.Instruction.<M>.<field>.
void ProgramInfoReader::NoteIndexes(std::string_view key) {
    key.remove_prefix(kLinePrefix.size());
    const auto dot = key.find('.');
    const std::int64_t line = ParseKeyIndex(key.substr(0, dot));
    if (line <= 0 || dot == std::string_view::npos) {
        return;
    }
    highestLine_ = std::max(highestLine_, line);
    constexpr std::string_view kInstructionPart = "Instruction.";
    const std::string_view rest = key.substr(dot + 1);
    if (StartsWith(rest, kInstructionPart)) {
        const std::string_view tail = rest.substr(kInstructionPart.size());
        const std::int64_t instruction = ParseKeyIndex(tail.substr(0, tail.find('.')));
        std::int64_t& highest = highestInstruction_[line];
        highest = std::max(highest, instruction);
    }
}

std::int64_t ProgramInfoReader::LineCount(std::int32_t declared) const {
    return EffectiveCount(declared, highestLine_, kCountSlack);
}

const std::string& ProgramInfoReader::Value(const std::string& key) const {
    static const std::string empty;
    const auto it = values_.find(key);
    return it == values_.end() ? empty : it->second;
}

LineOfCode ProgramInfoReader::BuildLine(std::int64_t n) const {
    const std::string base = std::string(kLinePrefix) + std::to_string(n) + ".";
    LineOfCode line;
    line.SourceFileId = ParseInteger32(Value(base + "SourceFileId"));
    line.LineNumber = ParseInteger32(Value(base + "LineNumber"));
    line.Code = DecodeProgramInfoValue(Value(base + "Code"));
    const auto highest = highestInstruction_.find(n);
    const std::int64_t count = EffectiveCount(
        ParseInteger32(Value(base + "Instructions")),
        highest == highestInstruction_.end() ? 0 : highest->second, kInstructionSlack);
    line.Instructions.resize(static_cast<std::size_t>(count));
    std::string key;
    for (std::int64_t m = 1; m <= count; ++m) {
        Instruction& instruction = line.Instructions[static_cast<std::size_t>(m - 1)];
        key = base + "Instruction." + std::to_string(m) + ".";
        instruction.ScopeId = ParseInteger32(Value(key + "ScopeId"));
        instruction.Code = Value(key + "Code");
    }
    return line;
}

} // namespace tickscope
