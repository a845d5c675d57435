#pragma once

// Run files for the fault tests: programs, entry logs, checksums of a run folder, and
// comparisons of attribution results.

#include "analysis/attribution.h"
#include "analysis/progress.h"
#include "analysis/run_catalogue.h"
#include "analysis/run_loading.h"
#include "runfiles/entry_record.h"
#include "runfiles/program_info_file.h"
#include "source/program_info.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace tickscope::testing {

namespace fs = std::filesystem;

// FNV-1a of every regular file below a folder, with its size, by relative path. Files of
// more than 256 MiB (sparse test files of gigabytes) are told by their size and time of
// last change instead of their bytes.
inline std::map<std::string, std::pair<std::uintmax_t, std::uint64_t>>
Checksums(const fs::path& folder) {
    std::map<std::string, std::pair<std::uintmax_t, std::uint64_t>> sums;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string name = fs::relative(entry.path(), folder).string();
        if (entry.file_size() > (std::uintmax_t{256} << 20)) {
            sums[name] = {
                entry.file_size(),
                static_cast<std::uint64_t>(entry.last_write_time().time_since_epoch().count())};
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        std::uint64_t hash = 1469598103934665603ULL;
        char buffer[1 << 16];
        std::uintmax_t size = 0;
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
            for (std::streamsize i = 0; i < in.gcount(); ++i) {
                hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ULL;
            }
            size += static_cast<std::uintmax_t>(in.gcount());
        }
        sums[name] = {size, hash};
    }
    return sums;
}

// A program of `lines` lines in one file, each with one instruction of the main scope.
inline std::string ProgramInformation(int lines, const std::string& path = "C:\\src\\demo.pb") {
    ProgramInfo program;
    program.Path = path;
    program.SourceFileIds.Set(path, 1);
    program.ScopeIds.Set(kMainScopeName, 1);
    for (int n = 1; n <= lines; ++n) {
        LineOfCode& line = program.LinesOfCode.emplace_back();
        line.SourceFileId = 1;
        line.LineNumber = n;
        line.Code = "x = " + std::to_string(n);
        line.AddInstruction(0, line.Code.size()).ScopeId = 1;
    }
    return WriteProgramInfo(program);
}

// `pairs` executions: start and stop of line (i % lines) + 1, 100 ns each, one thread.
inline std::vector<EntryRecord> Executions(int pairs, int lines) {
    std::vector<EntryRecord> records;
    for (int i = 0; i < pairs; ++i) {
        EntryRecord start{1234, 64, 1, i % lines + 1, 1, kStartEntry, 1000LL * i};
        EntryRecord stop = start;
        stop.StartOrStop = kStopEntry;
        stop.Nanos += 100;
        records.push_back(start);
        records.push_back(stop);
    }
    return records;
}

inline std::string LogBytes(const std::vector<EntryRecord>& records, bool text) {
    std::string bytes;
    if (!text) {
        bytes += '\0';
    }
    for (const EntryRecord& record : records) {
        if (text) {
            bytes += EncodeEntryRecordText(record) + "\r\n";
        } else {
            const auto encoded = EncodeEntryRecord(record);
            bytes.append(reinterpret_cast<const char*>(encoded.data()), encoded.size());
        }
    }
    return bytes;
}

struct CataloguedRun {
    RunCatalogue Catalogue;
    LoadedRun Run;
    bool Catalogued = false;
};

inline void CatalogueAndLoadFirst(const std::string& home, CataloguedRun& run,
                                  ProgressSink& progress) {
    run.Catalogued = BuildRunCatalogue(home, run.Catalogue);
    if (run.Catalogued && !run.Catalogue.Records.empty()) {
        run.Run = LoadRun(run.Catalogue.Records.front(), progress);
    }
}

inline std::int64_t TotalHits(const RunAnalysis& analysis) {
    std::int64_t hits = 0;
    for (const ThreadNode& thread : analysis.Threads()) {
        for (const ThreadLineNode& line : thread.Lines) {
            for (const InstructionFigures& figures : line.Instructions) {
                hits += figures.Hits;
            }
        }
    }
    return hits;
}

inline bool SameFigures(const RunAnalysis& a, const RunAnalysis& b) {
    if (a.Threads().size() != b.Threads().size()) {
        return false;
    }
    for (std::size_t t = 0; t < a.Threads().size(); ++t) {
        const auto& x = a.Threads()[t].Lines;
        const auto& y = b.Threads()[t].Lines;
        if (x.size() != y.size()) {
            return false;
        }
        for (std::size_t l = 0; l < x.size(); ++l) {
            if (x[l].LineId != y[l].LineId ||
                x[l].Instructions.size() != y[l].Instructions.size()) {
                return false;
            }
            for (std::size_t i = 0; i < x[l].Instructions.size(); ++i) {
                const auto& p = x[l].Instructions[i];
                const auto& q = y[l].Instructions[i];
                if (p.Hits != q.Hits || p.TotalNanos != q.TotalNanos || p.MaxNanos != q.MaxNanos ||
                    p.MinNanos != q.MinNanos) {
                    return false;
                }
            }
        }
    }
    return true;
}

} // namespace tickscope::testing
