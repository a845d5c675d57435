#include "runfiles/run_recorder.h"

#include "platform/platform.h"
#include "runfiles/run_information.h"

#include <chrono>
#include <cstring>

namespace tickscope {

namespace {

std::int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool Exists(const std::string& path) {
    return platform::FileSize(path) >= 0;
}

std::FILE* CreateRunFile(const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        return nullptr;
    }
    return std::fopen(path.c_str(), "wb");
}

} // namespace

RunRecorder::RunRecorder(std::string homeFolder, std::string programInformation,
                         RecorderSources sources)
    : homeFolder_(std::move(homeFolder)), programInformation_(std::move(programInformation)),
      sources_(std::move(sources)),
      // Not zeroed: only the records written so far are ever read back.
      storage_(new unsigned char[kBlockEntries * kEntryRecordSize]) {
    if (!sources_.Nanoseconds) {
        sources_.Nanoseconds = SteadyNanoseconds;
    }
    if (!sources_.DateSeconds) {
        sources_.DateSeconds = platform::LocalDateSeconds;
    }
    if (!sources_.Milliseconds) {
        sources_.Milliseconds = SteadyMilliseconds;
    }
    if (!sources_.ThreadId) {
        sources_.ThreadId = platform::CurrentThreadId;
    }
    if (!sources_.ProcessId) {
        sources_.ProcessId = platform::CurrentProcessId;
    }
}

RunRecorder::~RunRecorder() {
    End();
}

bool RunRecorder::Begin() {
    std::lock_guard lock(mutex_);
    if (begun_) {
        return false;
    }
    begun_ = true;
    const std::string folder = RunFolder(homeFolder_);
    if (!platform::CreateFolder(folder)) {
        return false;
    }
    const std::int64_t date = sources_.DateSeconds();
    // Two runs begun in the same millisecond would share a name; never overwrite a run.
    std::int64_t milliseconds = sources_.Milliseconds();
    std::string base = folder + RunBaseName(date, milliseconds);
    while (Exists(base + ".tkr") || Exists(base + ".tkl")) {
        base = folder + RunBaseName(date, ++milliseconds);
    }
    std::FILE* information = CreateRunFile(base + ".tkr");
    if (!information) {
        return false;
    }
    const std::string text = EncodeRunInformation(programInformation_, sources_.ProcessId());
    const bool written = std::fwrite(text.data(), 1, text.size(), information) == text.size();
    if (std::fclose(information) != 0 || !written) {
        return false;
    }

    entriesFile_ = CreateRunFile(base + ".tkl");
    if (!entriesFile_) {
        return false;
    }
    const unsigned char marker = kBinaryLogMarker;
    // Flushed so that a run that never reaches End still holds a readable log.
    if (std::fwrite(&marker, 1, 1, entriesFile_) != 1 || std::fflush(entriesFile_) != 0) {
        writeFailed_ = true;
    }
    baseName_ = base;
    start_ = sources_.Nanoseconds();
    recording_ = true;
    return true;
}

void RunRecorder::AddStartEntry(std::int32_t fileId, std::int32_t lineNumber,
                                std::int32_t instruction, bool overrideStackframe,
                                std::int64_t stackframe) {
    AddEntry(fileId, lineNumber, instruction, kStartEntry, overrideStackframe, stackframe);
}

void RunRecorder::AddStopEntry(std::int32_t fileId, std::int32_t lineNumber,
                               std::int32_t instruction, bool overrideStackframe,
                               std::int64_t stackframe) {
    AddEntry(fileId, lineNumber, instruction, kStopEntry, overrideStackframe, stackframe);
}

std::int64_t RunRecorder::ElapsedNanoseconds() {
    if (calibrating_) {
        // Two nested entries measure the cost of one recording; their time stamps give qc,
        // then the counter is reset so that they never reach the log.
        calibrating_ = false;
        AddEntry(0, 0, 0, kStartEntry, false, 0);
        AddEntry(0, 0, 0, kStopEntry, false, 0);
        const std::int64_t q1 = DecodeEntryRecord(storage_.get()).Nanos;
        const std::int64_t q2 = DecodeEntryRecord(storage_.get() + kEntryRecordSize).Nanos;
        entryCounter_ = 0;
        qc_ = q2 - q1;
    }
    const std::int64_t q = sources_.Nanoseconds() - start_ - qc_;
    return q - correction_;
}

void RunRecorder::AddEntry(std::int32_t fileId, std::int32_t lineNumber, std::int32_t instruction,
                           std::int8_t startOrStop, bool overrideStackframe,
                           std::int64_t stackframe) {
    std::lock_guard lock(mutex_); // re-entered by the calibration's nested entries
    if (!recording_) {
        return;
    }
    const std::int64_t nanos = ElapsedNanoseconds();
    EntryRecord record;
    record.FileId = fileId;
    record.LineNumber = lineNumber;
    record.InstructionNumber = static_cast<std::int8_t>(static_cast<std::uint8_t>(instruction));
    record.ThreadId = sources_.ThreadId();
    record.Stackframe = overrideStackframe ? 0 : stackframe;
    record.StartOrStop = startOrStop;
    record.Nanos = nanos;
    const EntryRecordBytes bytes = EncodeEntryRecord(record);
    std::memcpy(storage_.get() + entryCounter_ * kEntryRecordSize, bytes.data(), bytes.size());
    ++entryCounter_;
    if (entryCounter_ == kBlockEntries) {
        WriteBuffer();
        entryCounter_ = 0;
    }
    correction_ += ElapsedNanoseconds() - nanos;
}

void RunRecorder::WriteBuffer() {
    const std::size_t bytes = entryCounter_ * kEntryRecordSize;
    // Flushed at once, so that a program that never reaches End keeps its full blocks.
    if (std::fwrite(storage_.get(), 1, bytes, entriesFile_) != bytes ||
        std::fflush(entriesFile_) != 0) {
        writeFailed_ = true;
    }
}

bool RunRecorder::End() {
    std::lock_guard lock(mutex_);
    if (recording_) {
        if (entryCounter_ > 0) {
            WriteBuffer();
        }
        entryCounter_ = 0;
        if (std::fclose(entriesFile_) != 0) {
            writeFailed_ = true;
        }
        entriesFile_ = nullptr;
        recording_ = false;
    }
    return begun_ && !baseName_.empty() && !writeFailed_;
}

} // namespace tickscope
