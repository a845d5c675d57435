#pragma once

// Writes a run whose program information is large: the program built from copies of the
// PureBasic corpus (corpus_program.h) is loaded as build mode loads it, and its program
// information goes into a run-information file with an empty entry log beside it. For timing
// how long the program information of a large real program takes to load.

#include "corpus_program.h"

#include "platform/file_writer.h"
#include "runfiles/program_info_file.h"
#include "runfiles/run_information.h"
#include "source/source_loader.h"

#include <cstdint>
#include <string>

namespace tickscope::bench {

struct ProgramInfoRun {
    std::string RunInfoPath; // <folder><name>.tkr; empty when it could not be written
    std::size_t Lines = 0;
    std::uint64_t Bytes = 0; // size of the run-information file
};

namespace detail {

class WriterSink final : public TextSink {
  public:
    explicit WriterSink(platform::FileWriter& writer) : writer_(writer) {}
    void Write(std::string_view text) override {
        writer_.Write(text);
        Bytes += text.size();
    }
    std::uint64_t Bytes = 0;

  private:
    platform::FileWriter& writer_;
};

} // namespace detail

// `folder` ends with a separator; the copies of the corpus are written into a scratch folder
// and removed again.
inline ProgramInfoRun WriteProgramInfoRun(const std::string& folder, const std::string& name,
                                          std::size_t minimumLines) {
    ProgramInfoRun run;
    ProgramInfo program;
    {
        const testing::TempFolder scratch;
        const CorpusProgram source =
            WriteCorpusProgram(TICKSCOPE_CORPUS_DIR, scratch.Path(), minimumLines);
        if (source.MainPath.empty()) {
            return run;
        }
        LoadSource(source.MainPath, "", program);
    }
    // The run file is what EncodeRunInformation makes of the program information, streamed.
    constexpr std::int64_t kProcessId = 4242;
    const std::string frame = EncodeRunInformation("", kProcessId);
    const std::string head = std::string("[") + kPreProgramInfosGroup + "]\r\n";
    const std::string path = folder + name + ".tkr";
    platform::FileWriter writer;
    detail::WriterSink sink(writer);
    if (!writer.Open(path, {})) {
        return run;
    }
    sink.Write(head);
    WriteProgramInfo(program, sink);
    sink.Write(std::string_view(frame).substr(head.size()));
    if (!writer.Commit() || !platform::WriteFileAtomically(EntryLogPath(path), "")) {
        return run;
    }
    run.RunInfoPath = path;
    run.Lines = program.LinesOfCode.size();
    run.Bytes = sink.Bytes;
    return run;
}

} // namespace tickscope::bench
