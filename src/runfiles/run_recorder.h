#pragma once

#include "runfiles/entry_record.h"
#include "runfiles/run_information.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace tickscope {

// Where the recorder takes its time stamps, the run's name parts and the ids from. Empty
// functions fall back to the real sources.
struct RecorderSources {
    std::function<std::int64_t()> Nanoseconds;  // monotonic counter in ns (steady_clock)
    std::function<std::int64_t()> DateSeconds;  // platform::LocalDateSeconds
    std::function<std::int64_t()> Milliseconds; // milliseconds counter (steady_clock)
    std::function<std::int64_t()> ThreadId;     // platform::CurrentThreadId
    std::function<std::int64_t()> ProcessId;    // platform::CurrentProcessId
};

// Records a run the way an instrumented program's monitoring runtime does: the same run
// files, the same calibration and self-time correction, one re-entrant lock for all
// threads, and blocks of 1,000,000 records. Entries count only between a successful
// Begin() and End(); others are dropped.
class RunRecorder {
  public:
    static constexpr std::size_t kBlockEntries = 1000000;

    // `homeFolder` ends with the path separator.
    RunRecorder(std::string homeFolder, std::string programInformation,
                RecorderSources sources = {});
    ~RunRecorder(); // ends the run if it is still open
    RunRecorder(const RunRecorder&) = delete;
    RunRecorder& operator=(const RunRecorder&) = delete;

    // Creates <home>Tickscope, writes <base>.tkr, opens <base>.tkl with its marker byte and
    // starts timing. False when a file cannot be created or the run was begun before.
    bool Begin();
    // "<home>Tickscope<sep><date seconds>-<milliseconds>", empty before a successful Begin.
    const std::string& BaseName() const { return baseName_; }

    void AddStartEntry(std::int32_t fileId, std::int32_t lineNumber, std::int32_t instruction,
                       bool overrideStackframe, std::int64_t stackframe = 0);
    void AddStopEntry(std::int32_t fileId, std::int32_t lineNumber, std::int32_t instruction,
                      bool overrideStackframe, std::int64_t stackframe = 0);

    // Writes the remaining entries and closes the log. False when any write of the run
    // failed. Later calls do nothing and return the same answer.
    bool End();

  private:
    void AddEntry(std::int32_t fileId, std::int32_t lineNumber, std::int32_t instruction,
                  std::int8_t startOrStop, bool overrideStackframe, std::int64_t stackframe);
    std::int64_t ElapsedNanoseconds();
    void WriteBuffer();

    std::string homeFolder_;
    std::string programInformation_;
    RecorderSources sources_;
    std::string baseName_;

    std::recursive_mutex mutex_;
    std::unique_ptr<unsigned char[]> storage_; // kBlockEntries records, allocated once
    std::size_t entryCounter_ = 0;
    std::FILE* entriesFile_ = nullptr;
    bool recording_ = false;
    bool begun_ = false;
    bool writeFailed_ = false;

    std::int64_t start_ = 0;
    std::int64_t correction_ = 0;
    bool calibrating_ = true; // the first time stamp calibrates first
    std::int64_t qc_ = 0;
};

} // namespace tickscope
