#include "instrument/build_mode.h"

#include "instrument/file_set_aside.h"
#include "instrument/instrumenter.h"
#include "platform/file_reading.h"
#include "platform/file_writer.h"
#include "platform/platform.h"
#include "runfiles/program_info_file.h"
#include "source/source_loader.h"

#include <new>
#include <optional>

namespace tickscope {

namespace {

constexpr const char* kQuestionText = "Build executable with Tickscope monitoring-code?";
constexpr const char* kWithoutMonitoring = "; the program is compiled without monitoring code";

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes into a FileWriter; its first failure is kept and reported by Commit.
class WriterSink final : public TextSink {
  public:
    explicit WriterSink(platform::FileWriter& writer) : writer_(writer) {}
    void Write(std::string_view text) override { writer_.Write(text); }

  private:
    platform::FileWriter& writer_;
};

// Whether `target` is, by its real path, the source file or any file a directive named
// (read, skipped or unreadable): such a file is never overwritten.
bool NamesSourceFile(const std::string& target, const LoadDetails& details,
                     const std::string& sourcePath) {
    const std::optional<std::string> real = platform::RealPath(target);
    if (!real) {
        return false; // a file that does not exist yet is no source
    }
    if (platform::RealPath(sourcePath) == real) {
        return true;
    }
    for (const std::string& named : details.NamedFiles) {
        if (platform::RealPath(named) == real) {
            return true;
        }
    }
    return false;
}

class Build {
  public:
    Build(const BuildSettings& settings, Requesters& requesters,
          const std::function<void()>& whenWritten)
        : settings_(settings), requesters_(requesters), whenWritten_(whenWritten) {}

    void Run() {
        if (settings_.TargetPath.empty()) {
            return Tell("no file to compile was given (the tool's second argument)");
        }
        std::string why;
        const std::optional<std::string> folder =
            platform::PrivateBuildFolder(settings_.TempFolder, why);
        if (!folder) {
            return Tell("could not use the folder for the program information in " +
                        settings_.TempFolder + ": " + why);
        }
        // The folder stands in a PureBasic string, which cannot hold a double quote.
        if (folder->find('"') != std::string::npos) {
            return Tell("the temporary folder " + *folder +
                        " holds a double quote, which the compiler cannot include from");
        }

        ProgramInfo program;
        LoadDetails details;
        LoadSource(settings_.SourcePath, "", program, details);
        if (!details.Failure.empty()) {
            return Tell(details.Failure);
        }
        if (program.SourceFileIds.Empty()) {
            return Tell("could not read " + FileNameOf(settings_.SourcePath) + ": " +
                        platform::ReadProblem(settings_.SourcePath, platform::kDefaultReadLimit));
        }
        if (NamesSourceFile(settings_.TargetPath, details, settings_.SourcePath)) {
            return Tell("the file to compile, " + settings_.TargetPath +
                        ", is one of the program's source files and is not overwritten");
        }

        // The program information first: the target includes it, so it must be in place.
        const std::string information = *folder + kProgramInfoFileName;
        FileSetAside lastInformation(information);
        platform::FileWriter writer;
        if (!writer.Open(information, {platform::FileAccess::Private, false})) {
            lastInformation.Restore();
            return Tell("could not write " + information + ": " + writer.Error());
        }
        WriterSink informationSink(writer);
        WriteProgramInfo(program, informationSink);
        if (!writer.Commit()) {
            lastInformation.Restore();
            return Tell("could not write " + information + ": " + writer.Error());
        }
        lastInformation.Replaced();

        InstrumentOptions options;
        options.ProbesForX86 = settings_.ProbesForX86;
        options.MonitoringRuntimeText = settings_.MonitoringRuntimeText;
        options.TempFolder = *folder;
        if (!writer.Open(settings_.TargetPath, {platform::FileAccess::Default, true})) {
            return Tell("could not write " + settings_.TargetPath + ": " + writer.Error());
        }
        WriterSink targetSink(writer);
        WriteInstrumentedProgram(program, options, targetSink);
        if (!writer.Commit()) {
            return Tell("could not write " + settings_.TargetPath + ": " + writer.Error());
        }
        lastInformation.Finish(); // the caller may end the process at once
        if (whenWritten_) {
            whenWritten_();
        }
    }

    void Tell(const std::string& what) {
        requesters_.ShowMessage(kTickscopeTitle, what + kWithoutMonitoring);
    }

  private:
    const BuildSettings& settings_;
    Requesters& requesters_;
    const std::function<void()>& whenWritten_;
};

} // namespace

void RunBuildMode(const BuildSettings& settings, Requesters& requesters,
                  const std::function<void()>& whenWritten) {
    // A file-size limit makes a write fail instead of ending the process, so that no
    // temporary file is left behind.
    platform::IgnoreFileSizeLimitSignal();
    if (!requesters.AskYesNo(kTickscopeTitle, kQuestionText)) {
        return;
    }
    Build build(settings, requesters, whenWritten);
    try {
        build.Run();
    } catch (const std::bad_alloc&) {
        build.Tell("there is not enough memory to instrument " + FileNameOf(settings.SourcePath));
    }
}

} // namespace tickscope
