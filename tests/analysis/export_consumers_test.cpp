// The exports of tickscope-report read by their consumers: callgrind_annotate reads the
// Callgrind file, speedscope's published JSON schema checks its file, and the timelines and
// folded stacks are checked for what the viewers rely on. The runs: the bundled example runs
// and random runs (nested executions mixed with damage) whose sources are written beside.
#include "analysis/random_runs.h"
#include "common/csv.h"
#include "common/report_tool.h"
#include "common/temp_folder.h"
#include "runfiles/entry_record.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_information.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace tickscope {
namespace {

using testing::ProcessResult;
using testing::ShellQuote;

const std::string kSourceDir = TICKSCOPE_SOURCE_DIR;
const std::string kSchema = kSourceDir + "/../shared/formats/speedscope-file-format-schema.json";

// A shell command's standard output and error, and its exit code.
ProcessResult Shell(const std::string& command) {
    return testing::RunShellCommand(command + " 2>&1 </dev/null");
}

bool HasCommand(const std::string& command) {
    return Shell("command -v " + command + " >/dev/null").ExitCode == 0;
}

// The runs: every example run, then random runs written into the test's folder.
struct RunCase {
    std::string Name;
    std::string Run;              // the .tkr
    bool SelfAddsUpToRun = false; // no damage: the self times add up to the run time
};

// Executions that nest on three threads, no line open twice in a stack, the clock always
// moving on: the self times add up to the run time.
std::vector<EntryRecord> NestedStream(std::mt19937_64& random, int count) {
    std::vector<EntryRecord> entries;
    std::int64_t clock = 1000;
    std::vector<std::pair<std::int32_t, std::int32_t>> open;
    const auto entry = [&](std::int64_t thread, std::int8_t kind) {
        EntryRecord e;
        e.ThreadId = thread;
        e.FileId = open.back().first;
        e.LineNumber = open.back().second;
        e.InstructionNumber = 1;
        e.Stackframe = 0x7000 - 16 * static_cast<std::int64_t>(open.size());
        e.StartOrStop = kind;
        e.Nanos = clock;
        entries.push_back(e);
        clock += 1 + static_cast<std::int64_t>(random() % 400);
    };
    const std::function<void(std::int64_t)> execute = [&](std::int64_t thread) {
        std::pair<std::int32_t, std::int32_t> line;
        do {
            line = {static_cast<std::int32_t>(1 + random() % 3),
                    static_cast<std::int32_t>(1 + random() % 12)};
        } while (std::find(open.begin(), open.end(), line) != open.end());
        open.push_back(line);
        entry(thread, 1);
        while (open.size() < 6 && static_cast<int>(entries.size()) < count && random() % 2 == 0) {
            execute(thread);
        }
        entry(thread, 2);
        open.pop_back();
    };
    while (static_cast<int>(entries.size()) < count) {
        execute(static_cast<std::int64_t>(1 + random() % 3));
    }
    return entries;
}

void WriteRandomRun(const testing::TempFolder& home, std::uint64_t seed, bool nested,
                    RunCase& run) {
    std::mt19937_64 random(seed);
    ProgramInfo program = testing::RandomProgram(random);
    // Files 1 to 3 are real files of 12 lines; the far files have no path.
    for (int file = 1; file <= 3; ++file) {
        std::string text;
        for (int line = 1; line <= 12; ++line) {
            text += "x" + std::to_string(file) + " + " + std::to_string(line) + "\n";
        }
        const std::string path = home.Write("src/file" + std::to_string(file) + ".pb", text);
        program.SourceFileIds.Set(path, file);
    }
    program.Path = home.File("src/file1.pb");
    const std::string name = "Tickscope/" + std::to_string(1796000000 + seed) + "-1";
    run.Run = home.Write(name + ".tkr", EncodeRunInformation(WriteProgramInfo(program), 77));
    std::string log(1, static_cast<char>(kBinaryLogMarker));
    const int count = 200 + 60 * static_cast<int>(seed);
    for (const EntryRecord& entry :
         nested ? NestedStream(random, count) : testing::RandomStream(random, count)) {
        const EntryRecordBytes bytes = EncodeEntryRecord(entry);
        log.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    home.Write(name + ".tkl", log);
    run.Name = (nested ? "nested" : "damaged") + std::to_string(seed);
    run.SelfAddsUpToRun = nested;
}

class ExportConsumersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(TICKSCOPE_REPORT_BINARY)) {
            GTEST_SKIP() << "tickscope-report is not built: " << TICKSCOPE_REPORT_BINARY;
        }
        for (const auto& entry :
             std::filesystem::directory_iterator(kSourceDir + "/examples/home/Tickscope")) {
            if (entry.path().extension() == ".tkr") {
                runs_.push_back({entry.path().filename().string(), entry.path().string(), true});
            }
        }
        ASSERT_FALSE(runs_.empty());
        for (std::uint64_t seed = 1; seed <= 12; ++seed) {
            WriteRandomRun(home_, seed, seed % 2 == 0, runs_.emplace_back());
        }
    }

    // The tool's output for the run, checked to have succeeded.
    std::string Export(const RunCase& run, std::vector<std::string> args) {
        args.insert(args.begin(), run.Run);
        const ProcessResult result = testing::RunReportTool(args, home_.Folder());
        EXPECT_EQ(result.ExitCode, 0) << run.Name << " " << result.Err;
        return result.Out;
    }

    testing::TempFolder home_;
    testing::TempFolder scratch_;
    std::vector<RunCase> runs_;
};

// --- what the CSV and the JSON report say ----------------------------------------------

// Milliseconds with up to six decimals ("0.004521") as nanoseconds.
std::int64_t Nanos(const std::string& milliseconds) {
    return std::llround(std::stod(milliseconds) * 1e6);
}

struct LineCost {
    std::int64_t Nanos = 0;
    std::int64_t Hits = 0;
};
using Place = std::pair<std::string, std::int32_t>; // path, line number

// Self time and hits per place of the CSV report (equal places add up), and their sums.
struct CsvFigures {
    std::map<Place, LineCost> Lines;
    LineCost Total;
};

CsvFigures ReadCsvFigures(const std::string& csv) {
    CsvFigures figures;
    const auto records = testing::ParseCsv(csv);
    EXPECT_EQ(records.front().at(7), "self_ms");
    for (std::size_t i = 1; i < records.size(); ++i) {
        const auto& record = records[i];
        if (record.at(7).empty() && record.at(2).empty()) {
            continue; // no results
        }
        LineCost& cost = figures.Lines[{record.at(9), std::stoi(record.at(1))}];
        const std::int64_t nanos = record.at(7).empty() ? 0 : Nanos(record.at(7));
        const std::int64_t hits = record.at(2).empty() ? 0 : std::stoll(record.at(2));
        cost.Nanos += nanos;
        cost.Hits += hits;
        figures.Total.Nanos += nanos;
        figures.Total.Hits += hits;
    }
    return figures;
}

std::int64_t RunNanos(const std::string& json) {
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    EXPECT_FALSE(document.HasParseError());
    return std::llround(document["run_ms"].GetDouble() * 1e6);
}

// --- callgrind_annotate -----------------------------------------------------------------

std::int64_t Number(const std::string& text) {
    std::string digits;
    for (const char c : text) {
        if (c != ',') {
            digits += c;
        }
    }
    return digits == "." ? 0 : std::stoll(digits);
}

// What callgrind_annotate shows: the program totals and, per annotated source line, its
// costs (call lines "=> callee" left out).
struct Annotated {
    LineCost Total;
    std::map<Place, LineCost> Lines;
};

Annotated ReadAnnotation(const std::string& text) {
    Annotated annotated;
    const std::regex totals(R"(^\s*([\d,]+)\s+([\d,]+)\s+PROGRAM TOTALS$)");
    const std::regex source(R"(^-- Auto-annotated source: (.*)$)");
    const std::regex skip(R"(^-- line (\d+) -+$)");
    const std::regex cost(R"(^\s*([\d,]+|\.)\s+([\d,]+|\.)  (.*)$)");
    std::istringstream lines(text);
    std::string line;
    std::string file;
    std::int32_t number = 0;
    int header = 0; // lines of the section's head still to come
    std::smatch match;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back(); // of a source with CRLF line ends ("." takes no CR)
        }
        if (std::regex_match(line, match, totals)) {
            annotated.Total = {Number(match[1]), Number(match[2])};
        } else if (std::regex_match(line, match, source)) {
            file = match[1];
            number = 1;
            header = 3; // a rule, the event names, a blank line
        } else if (header > 0) {
            --header;
        } else if (file.empty()) {
        } else if (line.rfind("-----", 0) == 0 || line.empty()) {
            file.clear();
        } else if (std::regex_match(line, match, skip)) {
            number = std::stoi(match[1]);
        } else if (std::regex_match(line, match, cost)) {
            if (match[3].str().rfind("=> ", 0) == 0) {
                continue; // a call's inclusive cost
            }
            // Lines past the file's end come last, as "<bogus line N>".
            std::smatch bogus;
            const std::string code = match[3];
            if (std::regex_match(code, bogus, std::regex(R"(<bogus line (\d+)>)"))) {
                number = std::stoi(bogus[1]);
            }
            if (match[1] != "." || match[2] != ".") {
                annotated.Lines[{file, number}] = {Number(match[1]), Number(match[2])};
            }
            ++number;
        }
    }
    return annotated;
}

TEST_F(ExportConsumersTest, CallgrindAnnotateShowsTheSelfTimesOfTheCsv) {
    if (!HasCommand("callgrind_annotate")) {
        GTEST_SKIP() << "callgrind_annotate (valgrind) is not installed";
    }
    for (const RunCase& run : runs_) {
        SCOPED_TRACE(run.Name);
        const std::string file = scratch_.File(run.Name + ".callgrind");
        Export(run, {"--format", "callgrind", "--output", file});
        // Relative paths (the example runs') are found from the source folder.
        const ProcessResult annotate =
            Shell("cd " + ShellQuote(kSourceDir) +
                  " && callgrind_annotate --threshold=100 --show-percs=no --context=100000 " +
                  ShellQuote(file));
        ASSERT_EQ(annotate.ExitCode, 0) << annotate.Out;
        const Annotated annotated = ReadAnnotation(annotate.Out);
        const CsvFigures csv = ReadCsvFigures(Export(run, {"--format", "csv"}));

        EXPECT_EQ(annotated.Total.Nanos, csv.Total.Nanos);
        EXPECT_EQ(annotated.Total.Hits, csv.Total.Hits);
        if (run.SelfAddsUpToRun) {
            EXPECT_EQ(annotated.Total.Nanos, RunNanos(Export(run, {"--format", "json"})));
        }
        // Every line of a file callgrind_annotate found, with its figures, and no other.
        std::size_t shown = 0;
        for (const auto& [place, figures] : csv.Lines) {
            if (place.first.empty() ||
                !std::filesystem::exists(std::filesystem::path(kSourceDir) / place.first) ||
                place.second < 1 || (figures.Nanos == 0 && figures.Hits == 0)) {
                continue; // not annotated: no such file, or the unknown line 0
            }
            const auto found = annotated.Lines.find(place);
            ASSERT_NE(found, annotated.Lines.end()) << place.first << ":" << place.second;
            EXPECT_EQ(found->second.Nanos, figures.Nanos) << place.first << ":" << place.second;
            EXPECT_EQ(found->second.Hits, figures.Hits) << place.first << ":" << place.second;
            ++shown;
        }
        EXPECT_GT(shown, 0u);
        for (const auto& [place, figures] : annotated.Lines) {
            EXPECT_TRUE(csv.Lines.count(place)) << place.first << ":" << place.second;
        }
    }
}

// --- the timelines ----------------------------------------------------------------------

// One event of a timeline: a frame opened or closed at a time in nanoseconds.
struct TimelineEvent {
    bool Open = false;
    std::string Frame;
    std::int64_t Nanos = 0;
    bool operator==(const TimelineEvent&) const = default;
};
using Timelines = std::vector<std::vector<TimelineEvent>>; // per thread, in file order

// Balanced, in time order, and no frame shorter than `minNanos`.
void ExpectNested(const Timelines& timelines, std::int64_t minNanos) {
    for (const auto& events : timelines) {
        std::vector<const TimelineEvent*> open;
        std::int64_t last = std::numeric_limits<std::int64_t>::min();
        for (const TimelineEvent& event : events) {
            EXPECT_GE(event.Nanos, last);
            last = event.Nanos;
            if (event.Open) {
                open.push_back(&event);
                continue;
            }
            ASSERT_FALSE(open.empty()) << "a close without an open: " << event.Frame;
            EXPECT_EQ(open.back()->Frame, event.Frame);
            EXPECT_GE(event.Nanos - open.back()->Nanos, minNanos) << event.Frame;
            open.pop_back();
        }
        EXPECT_TRUE(open.empty());
    }
}

rapidjson::Document ParseJson(const std::string& text) {
    rapidjson::Document document;
    document.Parse(text.c_str(), text.size());
    EXPECT_FALSE(document.HasParseError()) << text.substr(0, 200);
    return document;
}

Timelines SpeedscopeTimelines(const rapidjson::Document& file) {
    Timelines timelines;
    const auto& frames = file["shared"]["frames"];
    for (const auto& profile : file["profiles"].GetArray()) {
        EXPECT_STREQ(profile["type"].GetString(), "evented");
        EXPECT_STREQ(profile["unit"].GetString(), "nanoseconds");
        auto& events = timelines.emplace_back();
        for (const auto& event : profile["events"].GetArray()) {
            const auto frame = event["frame"].GetUint();
            EXPECT_LT(frame, frames.Size());
            events.push_back({event["type"].GetString()[0] == 'O',
                              frames[frame]["name"].GetString(), event["at"].GetInt64()});
            EXPECT_GE(events.back().Nanos, profile["startValue"].GetInt64());
            EXPECT_LE(events.back().Nanos, profile["endValue"].GetInt64());
        }
    }
    return timelines;
}

// The chrome file's B/E events per thread in thread order, with their times read as written
// ("ts" in microseconds, three decimals) and the thread names.
Timelines ChromeTimelines(const rapidjson::Document& file, std::vector<std::string>& names) {
    Timelines timelines;
    std::map<std::int64_t, std::size_t> threads; // tid -> index
    const std::regex microseconds(R"(-?\d+\.\d{3})");
    for (const auto& event : file["traceEvents"].GetArray()) {
        const std::string phase = event["ph"].GetString();
        EXPECT_TRUE(event["pid"].IsInt());
        if (phase == "M") {
            if (std::string(event["name"].GetString()) == "thread_name") {
                EXPECT_TRUE(threads.emplace(event["tid"].GetInt64(), timelines.size()).second);
                timelines.emplace_back();
                names.push_back(event["args"]["name"].GetString());
            }
            continue;
        }
        EXPECT_TRUE(phase == "B" || phase == "E") << phase;
        const auto thread = threads.find(event["tid"].GetInt64());
        EXPECT_NE(thread, threads.end()) << "an event before its thread's name";
        if (thread == threads.end()) {
            continue;
        }
        const double ts = event["ts"].GetDouble();
        timelines[thread->second].push_back(
            {phase == "B", event["name"].GetString(), std::llround(ts * 1000.0)});
    }
    return timelines;
}

struct TimelineCase {
    std::vector<std::string> Args;
    std::int64_t MinNanos = 0;
};

const std::vector<TimelineCase> kTimelineCases = {
    {{}, 0},
    {{"--frames", "line"}, 0},
    {{"--frames", "line", "--min-us", "1"}, 1000},
    {{"--frames", "procedure", "--min-us", "3"}, 3000},
};

TEST_F(ExportConsumersTest, SpeedscopeFilesPassTheSchemaAndNest) {
    const bool schema = std::filesystem::exists(kSchema);
    if (schema && Shell("python3 -c 'import jsonschema'").ExitCode != 0) {
        GTEST_SKIP() << "python3-jsonschema is not installed";
    }
    std::string files; // for the schema, checked at once (python starts slowly)
    for (const RunCase& run : runs_) {
        for (const TimelineCase& c : kTimelineCases) {
            std::vector<std::string> args = {"--format", "speedscope"};
            args.insert(args.end(), c.Args.begin(), c.Args.end());
            SCOPED_TRACE(run.Name + " " + ::testing::PrintToString(c.Args));
            const std::string text = Export(run, args);
            const rapidjson::Document file = ParseJson(text);
            ASSERT_TRUE(file.IsObject());
            EXPECT_EQ(std::string(file["$schema"].GetString()),
                      "https://www.speedscope.app/file-format-schema.json");
            ExpectNested(SpeedscopeTimelines(file), c.MinNanos);
            files += " " + ShellQuote(scratch_.Write(
                               "speedscope" + std::to_string(files.size()) + ".json", text));
        }
    }
    if (!schema) {
        std::printf("speedscope's schema is not at %s: the files are not checked by it\n",
                    kSchema.c_str());
        return;
    }
    const ProcessResult valid = Shell("python3 -c 'import json, sys, jsonschema\n"
                                      "schema = json.load(open(sys.argv[1]))\n"
                                      "for name in sys.argv[2:]:\n"
                                      "    jsonschema.validate(json.load(open(name)), schema)' " +
                                      ShellQuote(kSchema) + files);
    EXPECT_EQ(valid.ExitCode, 0) << valid.Out;
}

TEST_F(ExportConsumersTest, ChromeTracesNestPerThreadAsSpeedscopesTimelines) {
    for (const RunCase& run : runs_) {
        for (const TimelineCase& c : kTimelineCases) {
            SCOPED_TRACE(run.Name + " " + ::testing::PrintToString(c.Args));
            std::vector<std::string> args = c.Args;
            args.insert(args.begin(), {"--format", "chrome"});
            const std::string text = Export(run, args);
            // Times in microseconds with the nanoseconds as three decimals.
            EXPECT_FALSE(std::regex_search(text, std::regex(R"("ts":(?!-?\d+\.\d{3}[,}]))")));
            const rapidjson::Document trace = ParseJson(text);
            ASSERT_TRUE(trace.IsObject());
            std::vector<std::string> names;
            const Timelines chrome = ChromeTimelines(trace, names);
            ExpectNested(chrome, c.MinNanos);

            args[1] = "speedscope";
            const rapidjson::Document speedscope = ParseJson(Export(run, args));
            const Timelines same = SpeedscopeTimelines(speedscope);
            // Chrome's times start at the run's first entry, speedscope's too.
            EXPECT_EQ(chrome, same);
            ASSERT_EQ(names.size(), speedscope["profiles"].Size());
            for (std::size_t i = 0; i < names.size(); ++i) {
                EXPECT_EQ(names[i],
                          speedscope["profiles"][static_cast<rapidjson::SizeType>(i)]["name"]
                              .GetString());
            }
        }
    }
}

// --- folded stacks ----------------------------------------------------------------------

TEST_F(ExportConsumersTest, FoldedStacksWeighTheSelfTimes) {
    const std::regex stackLine(R"(^([^;\n]+(;[^;\n]+)*) (\d+)$)");
    for (const RunCase& run : runs_) {
        const CsvFigures csv = ReadCsvFigures(Export(run, {"--format", "csv"}));
        for (const char* frames : {"procedure", "line"}) {
            SCOPED_TRACE(run.Name + " " + frames);
            const std::string text = Export(run, {"--format", "folded", "--frames", frames});
            std::istringstream lines(text);
            std::string line;
            std::int64_t sum = 0;
            std::map<std::string, int> stacks;
            while (std::getline(lines, line)) {
                std::smatch match;
                ASSERT_TRUE(std::regex_match(line, match, stackLine)) << line;
                EXPECT_EQ(++stacks[match[1]], 1) << "a stack twice: " << line;
                for (const char c : line) {
                    EXPECT_GE(static_cast<unsigned char>(c), 0x20) << line;
                }
                sum += std::stoll(match[3]);
            }
            if (run.SelfAddsUpToRun) {
                EXPECT_EQ(sum, csv.Total.Nanos);
                EXPECT_EQ(sum, RunNanos(Export(run, {"--format", "json"})));
            }
        }
    }
}

// --- the output file --------------------------------------------------------------------

TEST_F(ExportConsumersTest, OutputFileHoldsWhatStandardOutputGets) {
    const RunCase& run = runs_.back();
    const std::vector<std::vector<std::string>> outputs = {
        {"--format", "callgrind"}, {"--format", "speedscope", "--frames", "line"},
        {"--format", "chrome"},    {"--format", "folded"},
        {"--format", "csv"},       {"--threads-list"},
    };
    for (const auto& args : outputs) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const std::string out = Export(run, args);
        EXPECT_FALSE(out.empty());
        std::vector<std::string> toFile = args;
        const std::string file = scratch_.File("output");
        toFile.insert(toFile.end(), {"--output", file});
        EXPECT_EQ(Export(run, toFile), "");
        EXPECT_EQ(testing::ReadFileBytes(file), out);

        // A full disk: exit code 1, one line on standard error.
        std::vector<std::string> full = args;
        full.insert(full.begin(), run.Run);
        const ProcessResult failed = testing::RunReportTool(full, home_.Folder(), "> /dev/full");
        EXPECT_EQ(failed.ExitCode, 1);
        EXPECT_EQ(failed.Err.find('\n'), failed.Err.size() - 1) << failed.Err;
    }
    // The run's own files are never the output.
    for (const std::string& own : {run.Run, EntryLogPath(run.Run)}) {
        const std::string before = testing::ReadFileBytes(own);
        const ProcessResult refused = testing::RunReportTool(
            {run.Run, "--format", "folded", "--output", own}, home_.Folder());
        EXPECT_EQ(refused.ExitCode, 2);
        EXPECT_EQ(testing::ReadFileBytes(own), before);
    }
}

} // namespace
} // namespace tickscope
