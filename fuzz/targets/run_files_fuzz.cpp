// The key = value reader and run loading on arbitrary run-information (.tkr) and entry-log
// (.tkl) bytes, binary and text logs alike. The input holds both files; they are written
// into a run folder, catalogued and loaded, and what comes out is compared with plain
// readings of the same bytes.

#include "../fuzz_support.h"

#include "analysis/attribution.h"
#include "analysis/progress.h"
#include "analysis/run_catalogue.h"
#include "analysis/run_loading.h"
#include "platform/file_reading.h"
#include "runfiles/entry_log_reader.h"
#include "runfiles/entry_record.h"
#include "runfiles/key_value_file.h"
#include "runfiles/memory_stream.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_information.h"
#include "source/text_utils.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using tickscope::EntryRecord;
using tickscope::fuzz::InputReader;
using tickscope::fuzz::Show;

using KeyMap = std::map<std::string, std::string>;

KeyMap Sorted(const std::unordered_map<std::string, std::string>& keys) {
    return KeyMap(keys.begin(), keys.end());
}

// Lines as the memory stream cuts them: a CR takes the next byte with it, an LF alone ends
// a line, and each line stops at its first zero byte.
std::vector<std::string> RefMemoryLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t position = 0;
    while (position < bytes.size()) {
        const std::size_t start = position;
        std::size_t cursor = position;
        std::size_t terminator = 0;
        while (cursor < bytes.size()) {
            if (bytes[cursor] == '\r') {
                cursor += 2;
                terminator = 2;
                break;
            }
            if (bytes[cursor] == '\n') {
                cursor += 1;
                terminator = 1;
                break;
            }
            ++cursor;
        }
        position = cursor;
        std::string line(bytes.substr(start, cursor - start - terminator));
        lines.push_back(line.substr(0, line.find('\0')));
    }
    return lines;
}

// Records of an entry log: after a 0 byte, whole 34-byte records; otherwise non-empty text
// lines from the first byte on.
std::vector<EntryRecord> RefEntries(std::string_view bytes) {
    std::vector<EntryRecord> records;
    if (bytes.empty()) {
        return records;
    }
    if (bytes[0] == 0) {
        for (std::size_t at = 1; at + tickscope::kEntryRecordSize <= bytes.size();
             at += tickscope::kEntryRecordSize) {
            records.push_back(tickscope::DecodeEntryRecord(
                reinterpret_cast<const unsigned char*>(bytes.data()) + at));
        }
        return records;
    }
    std::string line;
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
        if (i == bytes.size() || bytes[i] == '\r' || bytes[i] == '\n') {
            if (!line.empty()) {
                records.push_back(tickscope::DecodeEntryRecordText(line));
            }
            line.clear();
        } else {
            line += bytes[i];
        }
    }
    return records;
}

std::vector<EntryRecord> ReadAll(const std::string& path, std::size_t bufferSize) {
    tickscope::EntryLogReader reader(bufferSize);
    std::vector<EntryRecord> records;
    if (reader.Open(path)) {
        EntryRecord record;
        while (reader.Next(record)) {
            records.push_back(record);
        }
    }
    return records;
}

// The same through NextBatch, `batch` records at a time.
std::vector<EntryRecord> ReadAllInBatches(const std::string& path, std::size_t bufferSize,
                                          std::size_t batch) {
    tickscope::EntryLogReader reader(bufferSize);
    std::vector<EntryRecord> records;
    std::vector<EntryRecord> room(batch);
    if (reader.Open(path)) {
        while (const std::size_t count = reader.NextBatch(room)) {
            records.insert(records.end(), room.begin(),
                           room.begin() + static_cast<std::ptrdiff_t>(count));
        }
    }
    return records;
}

// Checks the progress calls of one load: opened once with the run's size as maximum, then
// values that never leave [0, maximum], closed with the maximum.
class CheckingProgress final : public tickscope::ProgressSink {
  public:
    explicit CheckingProgress(std::int64_t total) : total_(total) {}
    void ShowProgress(std::int64_t value, const std::string& text, std::int64_t maximum) override {
        ++calls_;
        if (calls_ == 1) {
            FUZZ_CHECK(value == 0 && maximum == total_ && !text.empty(), "progress opening");
        } else {
            FUZZ_CHECK(maximum == -1, "progress maximum " + std::to_string(maximum));
        }
        FUZZ_CHECK(value >= 0 && value <= total_,
                   "progress " + std::to_string(value) + " of " + std::to_string(total_));
        last_ = value;
    }
    void Finish() const { FUZZ_CHECK(calls_ >= 2 && last_ == total_, "progress not closed"); }

  private:
    std::int64_t total_;
    int calls_ = 0;
    std::int64_t last_ = -1;
};

// A declared count against the entries present: up to twice them (and 16 more) it stands,
// beyond that it is cut to them.
std::int64_t Count(std::int64_t declared, std::int64_t present) {
    if (declared <= 0) {
        return 0;
    }
    return declared > 2 * present + 16 ? present : declared;
}

bool PlainIndex(const std::string& digits) {
    return !digits.empty() && digits.size() <= 9 && digits[0] != '0' &&
           digits.find_first_not_of("0123456789") == std::string::npos;
}

// Distinct N among "<prefix><N>.<rest>" keys (or "<prefix><N>" when `whole`) written in
// plain decimal.
std::int64_t IndexesPresent(const std::vector<std::string>& keys, const std::string& prefix,
                            bool whole = false, bool needsDot = false) {
    std::set<std::string> indexes;
    for (const std::string& key : keys) {
        if (!key.starts_with(prefix)) {
            continue;
        }
        const std::size_t dot = key.find('.', prefix.size());
        if (needsDot && dot == std::string::npos) {
            continue;
        }
        const std::string digits =
            whole ? key.substr(prefix.size()) : key.substr(prefix.size(), dot - prefix.size());
        if (PlainIndex(digits)) {
            indexes.insert(digits);
        }
    }
    return static_cast<std::int64_t>(indexes.size());
}

void CheckKeyValueReader(const std::string& path, std::string_view bytes) {
    tickscope::KeyValueFile parsed;
    parsed.Parse(bytes);
    tickscope::KeyValueFile opened;
    FUZZ_CHECK(opened.Open(path), "cannot open the written file");
    tickscope::KeyValueFile filtered;
    auto filter = [](std::string_view group, std::string_view key) {
        return group == tickscope::kPreProgramInfosGroup && !key.empty() && key[0] != 'L';
    };
    FUZZ_CHECK(filtered.Open(path, filter), "cannot open the written file");
    for (const std::string group :
         {"", tickscope::kPreProgramInfosGroup, tickscope::kPostProgramInfosGroup}) {
        const KeyMap all = Sorted(parsed.Group(group));
        FUZZ_CHECK(Sorted(opened.Group(group)) == all, "group " + group);
        KeyMap kept;
        for (const auto& [key, value] : all) {
            FUZZ_CHECK(!key.empty(), "empty key");
            if (filter(group, key)) {
                kept[key] = value;
            }
        }
        FUZZ_CHECK(Sorted(filtered.Group(group)) == kept, "filtered group " + group);
    }
}

void CheckMemoryStream(const std::string& path, std::string_view bytes) {
    const std::string_view text = bytes.substr(tickscope::fuzz::MarkLength(bytes));
    const auto whole = tickscope::platform::ReadWholeFile(path);
    FUZZ_CHECK(whole.has_value(), "whole file");
    FUZZ_CHECK(*whole == bytes, "whole file bytes");
    const std::vector<std::string> expected = RefMemoryLines(text);
    tickscope::MemoryTextStream stream(text);
    std::size_t n = 0;
    while (!stream.AtEnd()) {
        const std::string_view line = stream.ReadMemoryLine();
        FUZZ_CHECK(n < expected.size() && line == expected[n], Show(line));
        ++n;
    }
    FUZZ_CHECK(n == expected.size(), "memory lines");
}

void CheckLoadedRun(const tickscope::LoadedRun& run, std::string_view runBytes,
                    const std::vector<EntryRecord>& entries) {
    const tickscope::RunRecord& record = run.Record;
    const tickscope::ProgramInfo& program = run.Program;
    const tickscope::RunAnalysis& analysis = run.Analysis;
    // The "LineOfCode." values as a plain reading of the file gives them.
    std::unordered_map<std::string, std::string> values;
    std::vector<std::string> lineKeys;
    for (const std::string& line :
         RefMemoryLines(runBytes.substr(tickscope::fuzz::MarkLength(runBytes)))) {
        const std::size_t equals = line.find('=');
        if (!line.starts_with("LineOfCode.") || equals == std::string::npos) {
            continue;
        }
        const std::string key(tickscope::Trim(std::string_view(line).substr(0, equals), " "));
        values[key] = equals + 2 <= line.size() ? line.substr(equals + 2) : std::string();
        lineKeys.push_back(key);
    }
    auto value = [&](const std::string& key) {
        const auto it = values.find(key);
        return it == values.end() ? std::string() : it->second;
    };

    const std::int64_t lineCount =
        Count(record.LineCount, IndexesPresent(lineKeys, "LineOfCode.", false, true));
    FUZZ_CHECK(static_cast<std::int64_t>(program.LinesOfCode.size()) == lineCount,
               "lines " + std::to_string(program.LinesOfCode.size()) + " expected " +
                   std::to_string(lineCount));
    FUZZ_CHECK(analysis.LineCount() == static_cast<std::int32_t>(program.LinesOfCode.size()),
               "line ids");
    for (std::size_t n = 1; n <= program.LinesOfCode.size(); ++n) {
        const tickscope::LineOfCode& line = program.LinesOfCode[n - 1];
        const std::string base = "LineOfCode." + std::to_string(n) + ".";
        FUZZ_CHECK(line.SourceFileId == tickscope::ParseInteger32(value(base + "SourceFileId")),
                   base);
        FUZZ_CHECK(line.LineNumber == tickscope::ParseInteger32(value(base + "LineNumber")), base);
        FUZZ_CHECK(line.Code == tickscope::DecodeProgramInfoValue(value(base + "Code")), base);
        const std::int64_t instructions =
            Count(tickscope::ParseInteger32(value(base + "Instructions")),
                  IndexesPresent(lineKeys, base + "Instruction."));
        FUZZ_CHECK(static_cast<std::int64_t>(line.Instructions.size()) == instructions,
                   base + " instructions");
        for (std::size_t m = 1; m <= line.Instructions.size(); ++m) {
            FUZZ_CHECK(line.Instructions[m - 1].ScopeId ==
                           tickscope::ParseInteger32(
                               value(base + "Instruction." + std::to_string(m) + ".ScopeId")),
                       base);
        }
    }

    // Source files and scopes: "<prefix><i>" value -> i for i = 1 .. count.
    tickscope::KeyValueFile header;
    header.Parse(runBytes);
    header.UseGroup(tickscope::kPreProgramInfosGroup);
    std::vector<std::string> headerKeys;
    for (const auto& [key, ignored] : header.Group(tickscope::kPreProgramInfosGroup)) {
        headerKeys.push_back(key);
    }
    const auto checkIds = [&](const tickscope::IdTable& table, const std::string& prefix,
                              std::int64_t count) {
        std::map<std::string, int> expectedIds;
        const std::int64_t n = Count(count, IndexesPresent(headerKeys, prefix, true));
        for (std::int64_t i = 1; i <= n; ++i) {
            expectedIds[header.ReadString(prefix + std::to_string(i))] = static_cast<int>(i);
        }
        using IdMap = std::map<std::string, int>;
        FUZZ_CHECK(IdMap(table.begin(), table.end()) == expectedIds, prefix);
    };
    checkIds(program.SourceFileIds, "SourceFileId.", record.SourceFileCount);
    checkIds(program.ScopeIds, "ScopeId.", record.ScopeCount);

    // The attribution saw exactly the records of the log.
    tickscope::RunAnalysis expected;
    tickscope::ResetAttribution(expected, program.LinesOfCode);
    for (const EntryRecord& entry : entries) {
        tickscope::AttributeEntry(expected, entry);
    }
    const auto& threads = analysis.Threads();
    FUZZ_CHECK(threads.size() == expected.Threads().size(), "threads");
    FUZZ_CHECK(run.Threads.size() == threads.size(), "thread names");
    for (std::size_t p = 0; p < threads.size(); ++p) {
        const auto& lines = threads[p].Lines;
        const auto& expectedLines = expected.Threads()[p].Lines;
        FUZZ_CHECK(threads[p].ThreadId == expected.Threads()[p].ThreadId, "thread id");
        FUZZ_CHECK(run.Threads[p].ThreadId == threads[p].ThreadId, "thread name id");
        FUZZ_CHECK(lines.size() == expectedLines.size(), "thread lines");
        for (std::size_t l = 0; l < lines.size(); ++l) {
            FUZZ_CHECK(lines[l].LineId == expectedLines[l].LineId, "line id");
            FUZZ_CHECK(lines[l].Instructions.size() == expectedLines[l].Instructions.size(),
                       "instructions");
            for (std::size_t i = 0; i < lines[l].Instructions.size(); ++i) {
                const auto& a = lines[l].Instructions[i];
                const auto& b = expectedLines[l].Instructions[i];
                FUZZ_CHECK(a.InstructionNumber == b.InstructionNumber && a.Hits == b.Hits &&
                               a.TotalNanos == b.TotalNanos && a.MaxNanos == b.MaxNanos &&
                               a.MinNanos == b.MinNanos,
                           "figures");
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    InputReader input(data, size);
    const std::size_t runLength = static_cast<std::size_t>(input.Bytes(2));
    const std::string_view rest = input.Rest();
    const std::string_view runBytes = rest.substr(0, std::min(runLength, rest.size()));
    const std::string_view logBytes = rest.substr(runBytes.size());

    const auto& scratch = tickscope::fuzz::ScratchFolder::Get();
    scratch.Empty();
    const std::string home = scratch.Path().string() + "/";
    const std::string runPath = scratch.Write("Tickscope/1386000000-42.tkr", runBytes);
    const std::string logPath = scratch.Write("Tickscope/1386000000-42.tkl", logBytes);
    FUZZ_CHECK(tickscope::EntryLogPath(runPath) == logPath, "entry log path");

    CheckKeyValueReader(runPath, runBytes);
    CheckMemoryStream(runPath, runBytes);

    // The log reads the same through any buffer size, and as a plain reading says.
    const std::vector<EntryRecord> entries = RefEntries(logBytes);
    FUZZ_CHECK(ReadAll(logPath, 68) == entries, "entries through a small buffer");
    FUZZ_CHECK(ReadAll(logPath, 1 << 20) == entries, "entries through a large buffer");
    FUZZ_CHECK(ReadAllInBatches(logPath, 68, 3) == entries, "entries in batches, small buffer");
    FUZZ_CHECK(ReadAllInBatches(logPath, 1 << 20, 512) == entries, "entries in large batches");

    tickscope::RunCatalogue catalogue;
    FUZZ_CHECK(tickscope::BuildRunCatalogue(home, catalogue), "catalogue");
    FUZZ_CHECK(catalogue.Records.size() == 1, "one run");
    tickscope::RunRecord& record = catalogue.Records.front();
    // The catalogue reads the header only: up to the first line of code or the process id.
    tickscope::KeyValueFile header;
    tickscope::KeyValueFile::ReadOptions headerOnly;
    headerOnly.StopAt = [](std::string_view group, std::string_view key) {
        return (group == tickscope::kPreProgramInfosGroup && key.starts_with("LineOfCode.")) ||
               group == tickscope::kPostProgramInfosGroup;
    };
    header.Parse(runBytes, headerOnly);
    header.UseGroup(tickscope::kPreProgramInfosGroup);
    FUZZ_CHECK(record.Timestamp == 1386000000, "timestamp");
    FUZZ_CHECK(record.Path == header.ReadString("Path"), "path");
    FUZZ_CHECK(record.LineCount == tickscope::ParseInteger32(header.ReadString("LinesOfCode")),
               "line count");
    FUZZ_CHECK(record.SourceFileCount ==
                   tickscope::ParseInteger32(header.ReadString("SourceFileIds")),
               "source file count");
    FUZZ_CHECK(record.ScopeCount == tickscope::ParseInteger32(header.ReadString("ScopeIds")),
               "scope count");
    FUZZ_CHECK(tickscope::ProgramNames(catalogue) ==
                   std::vector<std::string>{tickscope::ProgramName(record)},
               "program names");

    CheckingProgress progress(static_cast<std::int64_t>(runBytes.size() + logBytes.size()));
    const auto run = std::make_unique<tickscope::LoadedRun>(tickscope::LoadRun(record, progress));
    progress.Finish();
    CheckLoadedRun(*run, runBytes, entries);
    return 0;
}
