#include "analysis/timeline_export.h"

#include "analysis/folded_stacks.h"
#include "analysis/frame_names.h"
#include "analysis/id_names.h"
#include "analysis/run_loading.h"
#include "platform/platform.h"
#include "runfiles/entry_log_reader.h"
#include "runfiles/run_information.h"

#include <rapidjson/writer.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tickscope {

namespace {

// The text as a JSON string with its quotes, escaped by RapidJSON's writer. The exports
// write their structure and numbers themselves: it takes most of their time otherwise.
std::string JsonText(std::string_view text) {
    StringSink json;
    {
        OutputBuffer buffer(json);
        rapidjson::Writer<OutputBuffer> writer(buffer);
        writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    }
    return std::move(json.Text);
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

// Pieces of bytes kept per owner in one temporary file, to be read back owner by owner.
class TextSpill {
  public:
    TextSpill() : file_(platform::OpenScratchFile()) {}
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

    // Hands the owner's pieces, each whole, in order. Nothing may be appended after.
    template <class Visit> void ReadBack(std::size_t owner, Visit visit) {
        if (!Ok() || owner >= pieces_.size()) {
            return;
        }
        std::vector<char> piece;
        for (const Piece& stored : pieces_[owner]) {
            piece.resize(static_cast<std::size_t>(stored.Size));
            if (!SeekTo(stored.Offset) ||
                std::fread(piece.data(), 1, piece.size(), file_) != piece.size()) {
                failed_ = true;
                return;
            }
            visit(std::string_view(piece.data(), piece.size()));
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

// speedscope: the first thread's profile goes straight to the output, its events written
// as they come. The other threads' events wait as 13-byte records in memory up to a size,
// then in the temporary file (a third of their text), and are written as text at the end,
// profile by profile; then the frames they use. Written by hand (the numbers need no
// escaping; names are escaped by RapidJSON).
class SpeedscopeWriter final : public TimelineWriter {
  public:
    SpeedscopeWriter(const ProgramInfo& program, FrameKind frames, OutputBuffer& out,
                     const std::string& runName, const std::string& creator)
        : labels_(program), names_(program, frames), out_(out) {
        out_.Write(
            R"({"$schema":"https://www.speedscope.app/file-format-schema.json","exporter":)");
        out_.Write(JsonText(creator));
        out_.Write(R"(,"name":)");
        out_.Write(JsonText(runName));
        out_.Write(R"(,"profiles":[)");
    }

    bool SpillOk() const { return spill_.Ok(); }

    void BeginThread(std::int32_t thread, std::int64_t threadId,
                     std::int32_t firstLineId) override {
        if (threads_.size() <= static_cast<std::size_t>(thread)) {
            threads_.resize(static_cast<std::size_t>(thread) + 1);
        }
        const bool direct = direct_ < 0;
        auto events = std::make_unique<ThreadEvents>(spill_, direct ? &out_ : nullptr,
                                                     static_cast<std::size_t>(thread));
        events->Name = labels_.Label(threadId, firstLineId);
        if (direct) {
            direct_ = thread;
            WriteProfileHead(*events);
            events->Buffer.Put('[');
        }
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
        if (thread == direct_) {
            events.Buffer.Put(']');
        }
        Spill(static_cast<std::size_t>(thread));
    }

    void Finish() {
        std::size_t profiles = 0;
        for (std::size_t thread = 0; thread < threads_.size(); ++thread) {
            if (!threads_[thread]) {
                continue;
            }
            const ThreadEvents& events = *threads_[thread];
            if (static_cast<std::int32_t>(thread) != direct_) {
                out_.Put(',');
                WriteProfileHead(events);
                out_.Put('[');
                bool first = true;
                spill_.ReadBack(thread, [this, &first](std::string_view records) {
                    // Pieces hold whole records: a record is written in one piece.
                    for (std::size_t at = 0; at + kRecordSize <= records.size();
                         at += kRecordSize) {
                        std::int32_t frame = 0;
                        std::int64_t nanos = 0;
                        std::memcpy(&frame, records.data() + at + 1, sizeof frame);
                        std::memcpy(&nanos, records.data() + at + 5, sizeof nanos);
                        if (!first) {
                            out_.Put(',');
                        }
                        first = false;
                        WriteEvent(out_, records[at], frame, nanos);
                    }
                });
                out_.Put(']');
            }
            out_.Write(R"(,"startValue":)");
            out_.WriteInteger(events.Start);
            out_.Write(R"(,"endValue":)");
            out_.WriteInteger(events.End);
            out_.Put('}');
            ++profiles;
        }
        out_.Put(']');
        if (profiles > 0) {
            out_.Write(R"(,"activeProfileIndex":0)");
        }
        out_.Write(R"(,"shared":{"frames":[)");
        for (std::size_t index = 0; index < frameOrder_.size(); ++index) {
            const std::int32_t frame = frameOrder_[index];
            out_.Write(index == 0 ? R"({"name":)" : R"(,{"name":)");
            out_.Write(JsonText(names_.Name(frame)));
            if (const std::string file = names_.FilePath(frame); !file.empty()) {
                out_.Write(R"(,"file":)");
                out_.Write(JsonText(file));
            }
            if (const std::int32_t line = names_.LineNumber(frame); line > 0) {
                out_.Write(R"(,"line":)");
                out_.WriteInteger(line);
            }
            out_.Put('}');
        }
        out_.Write("]}}\n");
    }

  private:
    // Hands one thread's text to the output (the first thread's) or the temporary file.
    class SpillSink final : public TextSink {
      public:
        SpillSink(TextSpill& spill, OutputBuffer* direct, std::size_t owner)
            : spill_(spill), direct_(direct), owner_(owner) {}
        void Write(std::string_view text) override {
            if (direct_ != nullptr) {
                direct_->Write(text);
            } else {
                spill_.Append(owner_, text);
            }
        }

      private:
        TextSpill& spill_;
        OutputBuffer* direct_;
        std::size_t owner_;
    };
    // One thread's event array, written into a buffer of its own.
    struct ThreadEvents {
        ThreadEvents(TextSpill& spill, OutputBuffer* direct, std::size_t thread)
            : Sink(spill, direct, thread), Buffer(Sink, kThreadBuffer) {}
        SpillSink Sink;
        OutputBuffer Buffer;
        std::string Name;
        std::int64_t Start = 0;
        std::int64_t End = 0;
        bool HasEvents = false;
    };

    // Memory kept for one thread's events, and for all threads', before they go to the file.
    static constexpr std::size_t kThreadBuffer = std::size_t{64} << 10;
    static constexpr std::size_t kAllBuffers = std::size_t{16} << 20;

    // A waiting event: its type ('O', 'C'), frame index and time.
    static constexpr std::size_t kRecordSize = 1 + 4 + 8;

    static void WriteEvent(OutputBuffer& out, char type, std::int32_t index, std::int64_t nanos) {
        out.Write(R"({"type":")");
        out.Put(type);
        out.Write(R"(","frame":)");
        out.WriteInteger(index);
        out.Write(R"(,"at":)");
        out.WriteInteger(nanos);
        out.Put('}');
    }

    // The keys of a profile before its events; startValue and endValue follow them.
    void WriteProfileHead(const ThreadEvents& events) {
        out_.Write(R"({"type":"evented","name":)");
        out_.Write(JsonText(events.Name));
        out_.Write(R"(,"unit":"nanoseconds","events":)");
    }

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
        const std::size_t before = events.Buffer.Buffered();
        const bool later = events.HasEvents;
        if (!events.HasEvents) {
            events.HasEvents = true;
            events.Start = nanos;
        }
        const std::int32_t index = FrameIndex(frame);
        if (thread == direct_) {
            if (later) {
                events.Buffer.Put(',');
            }
            WriteEvent(events.Buffer, type[0], index, nanos);
        } else {
            // One Write, so that a record never spans two pieces of the temporary file.
            char record[kRecordSize];
            record[0] = type[0];
            std::memcpy(record + 1, &index, sizeof index);
            std::memcpy(record + 5, &nanos, sizeof nanos);
            events.Buffer.Write(std::string_view(record, kRecordSize));
        }
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
    std::int32_t direct_ = -1; // the thread written straight to the output
    std::size_t buffered_ = 0;
    FlatHashMap<std::uint32_t, std::int32_t, IntegerHasher> frameIndices_;
    std::vector<std::int32_t> frameOrder_;
};

// Trace Event format: events go straight to the output in the order they come, written by
// hand (the numbers need no escaping; names are escaped once, by RapidJSON).
class ChromeWriter final : public TimelineWriter {
  public:
    ChromeWriter(const ProgramInfo& program, FrameKind frames, OutputBuffer& out,
                 const std::string& processName)
        : labels_(program), names_(program, frames),
          category_(frames == FrameKind::Line ? "line" : "procedure"), out_(out) {
        out_.Write(R"({"traceEvents":[{"name":"process_name","ph":"M","pid":1,"args":{"name":)");
        out_.Write(JsonText(processName));
        out_.Write("}}");
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
        out_.Write(R"(,{"name":"thread_name","ph":"M","pid":1,"tid":)");
        out_.WriteInteger(tid);
        out_.Write(R"(,"args":{"name":)");
        out_.Write(JsonText(labels_.Label(threadId, firstLineId)));
        out_.Write("}}");
    }

    void Open(std::int32_t thread, std::int32_t frame, std::int64_t nanos) override {
        Event(thread, 'B', frame, nanos);
    }
    void Close(std::int32_t thread, std::int32_t frame, std::int64_t nanos) override {
        Event(thread, 'E', frame, nanos);
    }
    void EndThread(std::int32_t, std::int64_t) override {}

    void Finish() { out_.Write(R"(],"displayTimeUnit":"ns"})"); }

  private:
    static constexpr std::int64_t kSpareTids = std::int64_t{1} << 32;

    void Event(std::int32_t thread, char phase, std::int32_t frame, std::int64_t nanos) {
        out_.Put(',');
        out_.Write(EventHead(frame));
        out_.Put(phase);
        out_.Write(R"(","pid":1,"tid":)");
        out_.WriteInteger(tids_[static_cast<std::size_t>(thread)]);
        out_.Write(R"(,"ts":)");
        char ts[32];
        out_.Write(std::string_view(ts, MicrosecondsText(nanos, ts)));
        out_.Put('}');
    }

    // {"name":"<frame>","cat":"<category>","ph":"  made once per frame.
    const std::string& EventHead(std::int32_t frame) {
        auto [head, inserted] = heads_.try_emplace(frame);
        if (inserted) {
            head->second.append(R"({"name":)")
                .append(JsonText(names_.Name(frame)))
                .append(R"(,"cat":")")
                .append(category_)
                .append(R"(","ph":")");
        }
        return head->second;
    }

    ThreadLabels labels_;
    FrameNames names_;
    const char* category_;
    OutputBuffer& out_;
    std::vector<std::int64_t> tids_; // by thread
    std::unordered_set<std::int64_t> usedTids_;
    std::unordered_map<std::int32_t, std::string> heads_; // by frame
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
    std::vector<EntryRecord> batch(4096);
    while (const std::size_t count = reader.NextBatch(batch)) {
        for (std::size_t i = 0; i < count; ++i) {
            stream.Feed(batch[i]);
        }
        if (sink.Failed()) {
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
        SpeedscopeWriter writer(program, options.Timeline.Frames, out, runName, options.Creator);
        TimelineBuilder builder(lines, options.Timeline, writer);
        ExecutionStream stream(lines, builder);
        StreamEntries(record, stream, sink);
        builder.Finish();
        if (!writer.SpillOk()) {
            result.Failure = "cannot keep the events in a temporary file";
        } else {
            writer.Finish();
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
