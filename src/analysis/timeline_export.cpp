#include "analysis/timeline_export.h"

#include "analysis/folded_stacks.h"
#include "analysis/frame_names.h"
#include "analysis/id_names.h"
#include "analysis/run_loading.h"
#include "runfiles/entry_log_reader.h"
#include "runfiles/run_information.h"

#include <rapidjson/writer.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace tickscope {

namespace {

// JSON is written with RapidJSON's Writer, which streams (a document model would hold a
// whole timeline of millions of events).
template <class Stream> using JsonWriter = rapidjson::Writer<Stream>;

template <class Stream> void WriteString(JsonWriter<Stream>& json, std::string_view text) {
    json.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

template <class Stream> void WriteKey(JsonWriter<Stream>& json, std::string_view key) {
    json.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
}

// "Thread 4242 (***main***)": the id as the threads list shows it and the scope of the
// thread's first line.
class ThreadLabels {
  public:
    explicit ThreadLabels(const ProgramInfo& program)
        : procedures_(LineProcedures(program.LinesOfCode)), names_(program) {}

    std::string Label(std::int64_t threadId, std::int32_t firstLineId) const {
        std::string label =
            "Thread " +
            std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(threadId)));
        const std::int32_t scope = static_cast<std::size_t>(firstLineId) < procedures_.size()
                                       ? procedures_[static_cast<std::size_t>(firstLineId)]
                                       : 0;
        const std::string& name = names_.ScopeName(scope);
        return name.empty() ? label : label + " (" + LabelText(name) + ")";
    }

  private:
    std::vector<std::int32_t> procedures_;
    IdNames names_;
};

// Pieces of text kept per owner in one temporary file, to be read back owner by owner.
class TextSpill {
  public:
    TextSpill() : file_(std::tmpfile()) {}
    ~TextSpill() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    TextSpill(const TextSpill&) = delete;
    TextSpill& operator=(const TextSpill&) = delete;

    bool Ok() const { return file_ != nullptr && !failed_; }

    void Append(std::size_t owner, std::string_view text) {
        if (!Ok() || text.empty()) {
            return;
        }
        if (pieces_.size() <= owner) {
            pieces_.resize(owner + 1);
        }
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
            failed_ = true;
            return;
        }
        pieces_[owner].push_back({size_, static_cast<std::int64_t>(text.size())});
        size_ += static_cast<std::int64_t>(text.size());
    }

    // Writes the owner's pieces in order. Nothing may be appended after the first copy.
    void CopyTo(std::size_t owner, OutputBuffer& out) {
        if (!Ok() || owner >= pieces_.size()) {
            return;
        }
        std::vector<char> chunk(std::size_t{1} << 20);
        for (const Piece& piece : pieces_[owner]) {
            if (!SeekTo(piece.Offset)) {
                failed_ = true;
                return;
            }
            for (std::int64_t left = piece.Size; left > 0;) {
                const auto want = static_cast<std::size_t>(
                    std::min<std::int64_t>(left, static_cast<std::int64_t>(chunk.size())));
                if (std::fread(chunk.data(), 1, want, file_) != want) {
                    failed_ = true;
                    return;
                }
                out.Write(std::string_view(chunk.data(), want));
                left -= static_cast<std::int64_t>(want);
            }
        }
    }

  private:
    bool SeekTo(std::int64_t offset) {
#ifdef _WIN32
        return _fseeki64(file_, offset, SEEK_SET) == 0;
#else
        return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
    }

    struct Piece {
        std::int64_t Offset = 0;
        std::int64_t Size = 0;
    };
    std::FILE* file_;
    bool failed_ = false;
    std::int64_t size_ = 0;
    std::vector<std::vector<Piece>> pieces_;
};

// speedscope: each thread's events are written as they come into its own JSON array, which
// waits in memory up to a size and then in the temporary file; at the end the profiles are
// written one after the other, then the frames they use.
class SpeedscopeWriter final : public TimelineWriter {
  public:
    SpeedscopeWriter(const ProgramInfo& program, FrameKind frames, OutputBuffer& out)
        : labels_(program), names_(program, frames), out_(out) {}

    bool SpillOk() const { return spill_.Ok(); }

    void BeginThread(std::int32_t thread, std::int64_t threadId,
                     std::int32_t firstLineId) override {
        if (threads_.size() <= static_cast<std::size_t>(thread)) {
            threads_.resize(static_cast<std::size_t>(thread) + 1);
        }
        auto events = std::make_unique<ThreadEvents>(spill_, static_cast<std::size_t>(thread));
        events->Name = labels_.Label(threadId, firstLineId);
        events->Json.StartArray();
        threads_[static_cast<std::size_t>(thread)] = std::move(events);
    }

    void Open(std::int32_t thread, std::int32_t frame, std::int64_t nanos) override {
        Event(thread, "O", frame, nanos);
    }
    void Close(std::int32_t thread, std::int32_t frame, std::int64_t nanos) override {
        Event(thread, "C", frame, nanos);
    }
    void EndThread(std::int32_t thread, std::int64_t nanos) override {
        ThreadEvents& events = *threads_[static_cast<std::size_t>(thread)];
        events.End = nanos;
        if (!events.HasEvents) {
            events.Start = nanos;
        }
        events.Json.EndArray();
        Spill(static_cast<std::size_t>(thread));
    }

    void Finish(const std::string& runName, const std::string& creator) {
        JsonWriter<OutputBuffer> json(out_);
        json.StartObject();
        WriteKey(json, "$schema");
        WriteString(json, "https://www.speedscope.app/file-format-schema.json");
        WriteKey(json, "exporter");
        WriteString(json, creator);
        WriteKey(json, "name");
        WriteString(json, runName);
        WriteKey(json, "profiles");
        json.StartArray();
        std::size_t profiles = 0;
        for (std::size_t thread = 0; thread < threads_.size(); ++thread) {
            if (!threads_[thread]) {
                continue;
            }
            const ThreadEvents& events = *threads_[thread];
            json.StartObject();
            WriteKey(json, "type");
            WriteString(json, "evented");
            WriteKey(json, "name");
            WriteString(json, events.Name);
            WriteKey(json, "unit");
            WriteString(json, "nanoseconds");
            WriteKey(json, "startValue");
            json.Int64(events.Start);
            WriteKey(json, "endValue");
            json.Int64(events.End);
            WriteKey(json, "events");
            json.RawValue("", 0, rapidjson::kArrayType); // the array itself is copied after
            spill_.CopyTo(thread, out_);
            json.EndObject();
            ++profiles;
        }
        json.EndArray();
        if (profiles > 0) {
            WriteKey(json, "activeProfileIndex");
            json.Int(0);
        }
        WriteKey(json, "shared");
        json.StartObject();
        WriteKey(json, "frames");
        json.StartArray();
        for (const std::int32_t frame : frameOrder_) {
            json.StartObject();
            WriteKey(json, "name");
            WriteString(json, names_.Name(frame));
            const std::string file = names_.FilePath(frame);
            if (!file.empty()) {
                WriteKey(json, "file");
                WriteString(json, file);
            }
            if (const std::int32_t line = names_.LineNumber(frame); line > 0) {
                WriteKey(json, "line");
                json.Int(line);
            }
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        json.EndObject();
        out_.Put('\n');
    }

  private:
    // Hands one thread's text to the temporary file.
    class SpillSink final : public TextSink {
      public:
        SpillSink(TextSpill& spill, std::size_t owner) : spill_(spill), owner_(owner) {}
        void Write(std::string_view text) override { spill_.Append(owner_, text); }

      private:
        TextSpill& spill_;
        std::size_t owner_;
    };
    // One thread's event array, written through RapidJSON into a buffer of its own.
    struct ThreadEvents {
        ThreadEvents(TextSpill& spill, std::size_t thread)
            : Sink(spill, thread), Buffer(Sink, kThreadBuffer), Json(Buffer) {}
        SpillSink Sink;
        OutputBuffer Buffer;
        JsonWriter<OutputBuffer> Json;
        std::string Name;
        std::int64_t Start = 0;
        std::int64_t End = 0;
        bool HasEvents = false;
    };

    // Memory kept for one thread's events, and for all threads', before they go to the file.
    static constexpr std::size_t kThreadBuffer = std::size_t{64} << 10;
    static constexpr std::size_t kAllBuffers = std::size_t{16} << 20;

    std::int32_t FrameIndex(std::int32_t frame) {
        const auto [index, inserted] = frameIndices_.Insert(static_cast<std::uint32_t>(frame));
        if (inserted) {
            *index = static_cast<std::int32_t>(frameOrder_.size());
            frameOrder_.push_back(frame);
        }
        return *index;
    }

    void Event(std::int32_t thread, const char* type, std::int32_t frame, std::int64_t nanos) {
        ThreadEvents& events = *threads_[static_cast<std::size_t>(thread)];
        if (!events.HasEvents) {
            events.HasEvents = true;
            events.Start = nanos;
        }
        const std::size_t before = events.Buffer.Buffered();
        auto& json = events.Json;
        json.StartObject();
        WriteKey(json, "type");
        json.String(type, 1);
        WriteKey(json, "frame");
        json.Int(FrameIndex(frame));
        WriteKey(json, "at");
        json.Int64(nanos);
        json.EndObject();
        // The buffer hands itself over when full (then it holds less than before).
        const std::size_t after = events.Buffer.Buffered();
        buffered_ = after >= before ? buffered_ + (after - before)
                                    : buffered_ - std::min(buffered_, before) + after;
        if (buffered_ >= kAllBuffers) {
            for (std::size_t other = 0; other < threads_.size(); ++other) {
                if (threads_[other]) {
                    Spill(other);
                }
            }
        }
    }

    void Spill(std::size_t thread) {
        OutputBuffer& buffer = threads_[thread]->Buffer;
        buffered_ -= std::min(buffered_, buffer.Buffered());
        buffer.Flush();
    }

    ThreadLabels labels_;
    FrameNames names_;
    OutputBuffer& out_;
    TextSpill spill_;
    std::vector<std::unique_ptr<ThreadEvents>> threads_;
    std::size_t buffered_ = 0;
    FlatHashMap<std::uint32_t, std::int32_t, IntegerHasher> frameIndices_;
    std::vector<std::int32_t> frameOrder_;
};

// Trace Event format: events go straight to the output in the order they come.
class ChromeWriter final : public TimelineWriter {
  public:
    ChromeWriter(const ProgramInfo& program, FrameKind frames, OutputBuffer& out,
                 const std::string& processName)
        : labels_(program), names_(program, frames),
          category_(frames == FrameKind::Line ? "line" : "procedure"), json_(out) {
        json_.StartObject();
        WriteKey(json_, "traceEvents");
        json_.StartArray();
        json_.StartObject();
        WriteKey(json_, "name");
        WriteString(json_, "process_name");
        WriteKey(json_, "ph");
        WriteString(json_, "M");
        WriteKey(json_, "pid");
        json_.Int(kProcess);
        WriteKey(json_, "args");
        json_.StartObject();
        WriteKey(json_, "name");
        WriteString(json_, processName);
        json_.EndObject();
        json_.EndObject();
    }

    void BeginThread(std::int32_t thread, std::int64_t threadId,
                     std::int32_t firstLineId) override {
        // The id as the threads list shows it, unless another thread has it already.
        auto tid = static_cast<std::int64_t>(static_cast<std::int32_t>(threadId));
        while (!usedTids_.insert(tid).second) {
            tid = kSpareTids + static_cast<std::int64_t>(usedTids_.size());
        }
        if (tids_.size() <= static_cast<std::size_t>(thread)) {
            tids_.resize(static_cast<std::size_t>(thread) + 1);
        }
        tids_[static_cast<std::size_t>(thread)] = tid;
        json_.StartObject();
        WriteKey(json_, "name");
        WriteString(json_, "thread_name");
        WriteKey(json_, "ph");
        WriteString(json_, "M");
        WriteKey(json_, "pid");
        json_.Int(kProcess);
        WriteKey(json_, "tid");
        json_.Int64(tid);
        WriteKey(json_, "args");
        json_.StartObject();
        WriteKey(json_, "name");
        WriteString(json_, labels_.Label(threadId, firstLineId));
        json_.EndObject();
        json_.EndObject();
    }

    void Open(std::int32_t thread, std::int32_t frame, std::int64_t nanos) override {
        Event(thread, "B", frame, nanos);
    }
    void Close(std::int32_t thread, std::int32_t frame, std::int64_t nanos) override {
        Event(thread, "E", frame, nanos);
    }
    void EndThread(std::int32_t, std::int64_t) override {}

    void Finish() {
        json_.EndArray();
        WriteKey(json_, "displayTimeUnit");
        WriteString(json_, "ns");
        json_.EndObject();
    }

  private:
    static constexpr int kProcess = 1;
    static constexpr std::int64_t kSpareTids = std::int64_t{1} << 32;

    // The frame's name as a JSON string literal, made once.
    const std::string& NameLiteral(std::int32_t frame) {
        auto [literal, inserted] = literals_.try_emplace(frame);
        if (inserted) {
            StringSink text;
            {
                OutputBuffer buffer(text);
                JsonWriter<OutputBuffer> json(buffer);
                WriteString(json, names_.Name(frame));
            }
            literal->second = std::move(text.Text);
        }
        return literal->second;
    }

    void Event(std::int32_t thread, const char* phase, std::int32_t frame, std::int64_t nanos) {
        json_.StartObject();
        WriteKey(json_, "name");
        const std::string& name = NameLiteral(frame);
        json_.RawValue(name.data(), name.size(), rapidjson::kStringType);
        WriteKey(json_, "cat");
        WriteString(json_, category_);
        WriteKey(json_, "ph");
        json_.String(phase, 1);
        WriteKey(json_, "pid");
        json_.Int(kProcess);
        WriteKey(json_, "tid");
        json_.Int64(tids_[static_cast<std::size_t>(thread)]);
        WriteKey(json_, "ts");
        char ts[32];
        json_.RawValue(ts, MicrosecondsText(nanos, ts), rapidjson::kNumberType);
        json_.EndObject();
    }

    ThreadLabels labels_;
    FrameNames names_;
    const char* category_;
    JsonWriter<OutputBuffer> json_;
    std::vector<std::int64_t> tids_; // by thread
    std::unordered_set<std::int64_t> usedTids_;
    std::unordered_map<std::int32_t, std::string> literals_;
};

void WriteFolded(const FoldedStacks& stacks, FrameNames& names, OutputBuffer& out) {
    std::unordered_map<std::int32_t, std::string> cleaned; // names without ";", made once
    std::string line;
    stacks.ForEachStack([&](const std::vector<std::int32_t>& frames, std::int64_t nanos) {
        line.clear();
        for (std::size_t i = 0; i < frames.size(); ++i) {
            auto [name, inserted] = cleaned.try_emplace(frames[i]);
            if (inserted) {
                name->second = names.Name(frames[i]);
                std::replace(name->second.begin(), name->second.end(), ';', ',');
            }
            if (i > 0) {
                line += ';';
            }
            line += name->second;
        }
        out.Write(line);
        out.Put(' ');
        out.WriteInteger(nanos);
        out.Put('\n');
    });
}

// Feeds the run's entries to the listener until the log ends or the sink fails.
void StreamEntries(const RunRecord& record, ExecutionStream& stream, ExportSink& sink) {
    EntryLogReader reader;
    if (!reader.Open(EntryLogPath(record.FileName))) {
        return; // a run without entries
    }
    EntryRecord entry;
    for (std::uint32_t count = 1; reader.Next(entry); ++count) {
        stream.Feed(entry);
        if (count % 65536 == 0 && sink.Failed()) {
            return;
        }
    }
}

} // namespace

TimelineResult ExportTimeline(const RunRecord& record, const TimelineExport& options,
                              ExportSink& sink) {
    TimelineResult result;
    const ProgramInfo program = LoadRunProgram(record);
    const std::vector<LineOfCode>& lines = program.LinesOfCode;
    OutputBuffer out(sink);
    const std::string runName = ProgramName(record) + " " + FormatTimestamp(record.Timestamp);
    switch (options.Format) {
    case TimelineFormat::Speedscope: {
        SpeedscopeWriter writer(program, options.Timeline.Frames, out);
        TimelineBuilder builder(lines, options.Timeline, writer);
        ExecutionStream stream(lines, builder);
        StreamEntries(record, stream, sink);
        builder.Finish();
        if (!writer.SpillOk()) {
            result.Failure = "cannot keep the events in a temporary file";
        } else {
            writer.Finish(runName, options.Creator);
        }
        result.ThreadIds = stream.ThreadIds();
        break;
    }
    case TimelineFormat::Chrome: {
        ChromeWriter writer(program, options.Timeline.Frames, out, runName);
        TimelineBuilder builder(lines, options.Timeline, writer);
        ExecutionStream stream(lines, builder);
        StreamEntries(record, stream, sink);
        builder.Finish();
        writer.Finish();
        out.Put('\n');
        result.ThreadIds = stream.ThreadIds();
        break;
    }
    case TimelineFormat::Folded: {
        FoldedStacks stacks(lines, options.Timeline.Frames, options.Timeline.Threads);
        ExecutionStream stream(lines, stacks);
        StreamEntries(record, stream, sink);
        FrameNames names(program, options.Timeline.Frames);
        WriteFolded(stacks, names, out);
        result.ThreadIds = stream.ThreadIds();
        break;
    }
    }
    out.Flush();
    return result;
}

} // namespace tickscope
