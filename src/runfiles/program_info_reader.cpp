#include "runfiles/program_info_reader.h"

#include "platform/file_reading.h"
#include "platform/platform.h"
#include "runfiles/key_value_file.h"
#include "runfiles/memory_stream.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_information.h"
#include "source/source_reader.h"
#include "source/text_utils.h"

#include <algorithm>
#include <array>
#include <unordered_set>

namespace tickscope {

namespace {

constexpr std::string_view kLinePrefix = "LineOfCode.";
constexpr std::string_view kSourceFilePrefix = "SourceFileId.";
constexpr std::string_view kScopePrefix = "ScopeId.";
constexpr std::string_view kInstructionPart = "Instruction.";

// Run-information files of programs far larger than any real one are not read.
constexpr std::uint64_t kRunFileReadLimit = std::uint64_t{1} << 30;
// The header of a valid file is far shorter: its source files and scopes.
constexpr std::uint64_t kHeaderReadLimit = std::uint64_t{64} << 20;

// Number of distinct indices N of the keys "<prefix><N>" present in a group.
std::int64_t IndexesPresent(const std::unordered_map<std::string, std::string>& keys,
                            std::string_view prefix) {
    std::unordered_set<std::int64_t> indexes;
    for (const auto& entry : keys) {
        if (StartsWith(entry.first, prefix)) {
            const std::int64_t index =
                ParseKeyIndex(std::string_view(entry.first).substr(prefix.size()));
            if (index > 0) {
                indexes.insert(index);
            }
        }
    }
    return static_cast<std::int64_t>(indexes.size());
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

std::uint64_t InstructionKey(std::int64_t slot, std::int64_t m) {
    return (static_cast<std::uint64_t>(slot) << 32) ^ static_cast<std::uint64_t>(m);
}

} // namespace

std::int64_t BoundedCount(std::int64_t declared, std::int64_t present) {
    if (declared <= 0) {
        return 0;
    }
    return declared > 2 * present + 16 ? present : declared;
}

RunHeader ReadRunHeader(const std::string& runFile) {
    static constexpr std::array<std::string_view, 4> kHeaderKeys = {"Path", "LinesOfCode",
                                                                    "SourceFileIds", "ScopeIds"};
    KeyValueFile::ReadOptions options;
    options.Keep = [](std::string_view group, std::string_view key) {
        return group == kPreProgramInfosGroup &&
               std::find(kHeaderKeys.begin(), kHeaderKeys.end(), key) != kHeaderKeys.end();
    };
    // The lines of code follow the header; the process id stands after them.
    options.StopAt = [](std::string_view group, std::string_view key) {
        return (group == kPreProgramInfosGroup && StartsWith(key, kLinePrefix)) ||
               group == kPostProgramInfosGroup;
    };
    options.MaxBytes = kHeaderReadLimit;
    KeyValueFile file;
    file.Open(runFile, options);
    file.UseGroup(kPreProgramInfosGroup);
    RunHeader header;
    header.Path = file.ReadString("Path");
    header.LineCount = ParseInteger32(file.ReadString("LinesOfCode"));
    header.SourceFileCount = ParseInteger32(file.ReadString("SourceFileIds"));
    header.ScopeCount = ParseInteger32(file.ReadString("ScopeIds"));
    return header;
}

void ProgramInfoReader::ReadTables(const RunHeader& header, ProgramInfo& program) const {
    // The tables are parsed from the bytes already read; a file too large to read its
    // lines counts as one that cannot be read at all.
    KeyValueFile file;
    file.Parse(bytes_, [](std::string_view group, std::string_view key) {
        return group == kPreProgramInfosGroup &&
               (StartsWith(key, kSourceFilePrefix) || StartsWith(key, kScopePrefix));
    });
    file.UseGroup(kPreProgramInfosGroup);
    const auto& keys = file.Group(kPreProgramInfosGroup);
    ReadIdTable(file, kSourceFilePrefix,
                BoundedCount(header.SourceFileCount, IndexesPresent(keys, kSourceFilePrefix)),
                program.SourceFileIds);
    ReadIdTable(file, kScopePrefix,
                BoundedCount(header.ScopeCount, IndexesPresent(keys, kScopePrefix)),
                program.ScopeIds);
}

void ProgramInfoReader::CollectLines(const std::string& runFile, std::int64_t declaredLines) {
    *this = ProgramInfoReader();
    std::optional<std::string> bytes =
        platform::ReadWholeFile(runFile, kRunFileReadLimit, platform::ReadExtent::SizeWhenOpened);
    if (!bytes) {
        return;
    }
    bytes_ = std::move(*bytes);
    // The writer gives every line four keys, more than kMinBytesPerLine bytes: room for the
    // declared lines is made at once, but never more than the file could hold.
    constexpr std::int64_t kMinBytesPerLine = 100;
    const std::int64_t room =
        std::min(declaredLines, static_cast<std::int64_t>(bytes_.size()) / kMinBytesPerLine);
    if (room > 0) {
        lines_.reserve(static_cast<std::size_t>(room));
        slotsByLine_.reserve(static_cast<std::size_t>(room));
    }
    std::string_view text(bytes_);
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
        // The character after "=" is the separator's blank, whatever it holds.
        Note(Trim(line.substr(0, equals), " "),
             equals + 2 <= line.size() ? line.substr(equals + 2) : std::string_view());
    }
}

std::int64_t ProgramInfoReader::SlotOf(std::int64_t n) const {
    if (n <= static_cast<std::int64_t>(slotsByLine_.size())) {
        const std::int64_t slot = slotsByLine_[static_cast<std::size_t>(n - 1)];
        if (slot >= 0) {
            return slot;
        }
    }
    const auto found = lineSlots_.find(n);
    return found == lineSlots_.end() ? -1 : found->second;
}

ProgramInfoReader::LineValues* ProgramInfoReader::LineSlot(std::int64_t n, bool create) {
    if (n == lastLine_) {
        return &lines_[static_cast<std::size_t>(lastSlot_)];
    }
    std::int64_t slot = SlotOf(n);
    if (slot < 0) {
        if (!create) {
            return nullptr;
        }
        slot = static_cast<std::int64_t>(lines_.size());
        lines_.emplace_back();
        // Numbers near the lines present (as a written file has them, 1, 2, 3, ...) are
        // indexed directly; far ones, which only a damaged file holds, by the map, so that
        // the index stays in proportion to the lines present.
        if (n <= 2 * static_cast<std::int64_t>(lines_.size()) + 16) {
            if (n > static_cast<std::int64_t>(slotsByLine_.size())) {
                slotsByLine_.resize(static_cast<std::size_t>(n), -1);
            }
            slotsByLine_[static_cast<std::size_t>(n - 1)] = slot;
        } else {
            lineSlots_.emplace(n, slot);
        }
    }
    lastLine_ = n;
    lastSlot_ = slot;
    return &lines_[static_cast<std::size_t>(slot)];
}

const ProgramInfoReader::LineValues* ProgramInfoReader::FindLine(std::int64_t n) const {
    const std::int64_t slot = n > 0 ? SlotOf(n) : -1;
    return slot < 0 ? nullptr : &lines_[static_cast<std::size_t>(slot)];
}

// Keeps the value of a key "LineOfCode.<N>.<field>" or "LineOfCode.<N>.Instruction.<M>.<field>"
// where N and M are plain decimals; other keys are never looked up, but their N still counts
// as a line the file holds.
void ProgramInfoReader::Note(std::string_view key, std::string_view value) {
    key.remove_prefix(kLinePrefix.size());
    const auto dot = key.find('.');
    const std::int64_t n = ParseKeyIndex(key.substr(0, dot));
    if (n <= 0 || dot == std::string_view::npos) {
        return;
    }
    LineValues& line = *LineSlot(n, true);
    const std::string_view field = key.substr(dot + 1);
    if (field == "SourceFileId") {
        line.SourceFileId = value;
    } else if (field == "LineNumber") {
        line.LineNumber = value;
    } else if (field == "Code") {
        line.Code = value;
    } else if (field == "Instructions") {
        line.Instructions = value;
    } else if (StartsWith(field, kInstructionPart)) {
        const std::string_view tail = field.substr(kInstructionPart.size());
        const auto end = tail.find('.');
        const std::int64_t m = ParseKeyIndex(tail.substr(0, end));
        if (m > 0) {
            NoteInstruction(
                line, lastSlot_, m,
                end == std::string_view::npos ? std::string_view() : tail.substr(end + 1), value);
        }
    }
}

void ProgramInfoReader::NoteInstruction(LineValues& line, std::int64_t slot, std::int64_t m,
                                        std::string_view field, std::string_view value) {
    const auto index = static_cast<std::size_t>(m - 1);
    InstructionValues* values = nullptr;
    if (index < line.DenseInstructions.size()) {
        values = &line.DenseInstructions[index];
    } else if (index == line.DenseInstructions.size()) {
        values = &line.DenseInstructions.emplace_back();
        if (sparseInstructions_.count(InstructionKey(slot, m)) != 0) {
            values->Present = true; // already counted where it stood before
        }
    } else {
        values = &sparseInstructions_[InstructionKey(slot, m)];
    }
    if (!values->Present) {
        values->Present = true;
        ++line.DistinctInstructions;
    }
    if (field == "ScopeId") {
        values->ScopeId = value;
        values->HasScopeId = true;
    }
}

std::string_view ProgramInfoReader::InstructionScopeId(const LineValues& line, std::int64_t slot,
                                                       std::int64_t m) const {
    // A key stored in order is always newer than one stored out of order before it.
    const auto index = static_cast<std::size_t>(m - 1);
    if (index < line.DenseInstructions.size() && line.DenseInstructions[index].HasScopeId) {
        return line.DenseInstructions[index].ScopeId;
    }
    const auto sparse = sparseInstructions_.find(InstructionKey(slot, m));
    return sparse == sparseInstructions_.end() ? std::string_view() : sparse->second.ScopeId;
}

std::int64_t ProgramInfoReader::LineCount(std::int32_t declared) const {
    return BoundedCount(declared, static_cast<std::int64_t>(lines_.size()));
}

LineOfCode ProgramInfoReader::BuildLine(std::int64_t n) const {
    LineOfCode built;
    const LineValues* line = FindLine(n);
    if (line == nullptr) {
        return built;
    }
    built.SourceFileId = ParseInteger32(line->SourceFileId);
    built.LineNumber = ParseInteger32(line->LineNumber);
    built.Code = DecodeProgramInfoValue(line->Code);
    const std::int64_t count =
        BoundedCount(ParseInteger32(line->Instructions), line->DistinctInstructions);
    built.Instructions.resize(static_cast<std::size_t>(count));
    const std::int64_t slot = line - lines_.data();
    for (std::int64_t m = 1; m <= count; ++m) {
        built.Instructions[static_cast<std::size_t>(m - 1)].ScopeId =
            ParseInteger32(InstructionScopeId(*line, slot, m));
    }
    return built;
}

} // namespace tickscope
