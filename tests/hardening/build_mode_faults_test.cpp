// Build mode when its two files cannot be written: a target below a regular file, a
// read-only folder, a disk that fills up. The target and tickscope.src are always whole or
// left as they were, never half written, no temporary file stays behind, and the source
// files are never touched.

#include "instrument/build_mode.h"
#include "instrument/runtime_text.h"
#include "source/text_utils.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tickscope {
namespace {

using testing::ReadFileBytes;
using testing::Snapshot;
using testing::TempFolder;
namespace fs = std::filesystem;

class YesRequesters : public Requesters {
  public:
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ShowMessage(const std::string&, const std::string&) override { ++Messages; }
    std::string AskText(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    int Messages = 0;
};

bool HoldsTemporaryFiles(const fs::path& folder) {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (entry.path().filename().string().find(".tmp") != std::string::npos) {
            return true;
        }
    }
    return false;
}

// Limits the size of files this process writes, as a full disk would: a write past the
// limit fails (EFBIG) instead of raising SIGXFSZ. Restored on destruction. Works as root.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    bool Active() const { return active_; }

  private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
    bool active_ = false;
};

struct Program {
    TempFolder Sources;
    std::string Main;
    Program() {
        std::string text = "IncludeFile \"inc.pbi\"\r\n";
        for (int i = 0; i < 200; ++i) {
            text += "x = x + " + std::to_string(i) + " : Debug x\r\n";
        }
        Main = Sources.Write("main.pb", text);
        Sources.Write("inc.pbi", "Procedure P()\nEndProcedure\n");
    }
};

// What a build writes where nothing stands in its way.
struct CleanBuild {
    std::string Target;
    std::string Information;
    std::string Folder;

    // The target names the temporary folder; the same build with another folder.
    std::string TargetFor(const std::string& folder) const {
        return ReplaceAll(Target, "IncludeBinary \"" + Folder, "IncludeBinary \"" + folder);
    }
};

CleanBuild BuildCleanly(const Program& program) {
    TempFolder out;
    BuildSettings settings{program.Main, out.File("target.pb"), true, MonitoringRuntimeText(),
                           out.Folder()};
    YesRequesters requesters;
    RunBuildMode(settings, requesters);
    return {ReadFileBytes(out.File("target.pb")), ReadFileBytes(out.File("tickscope.src")),
            out.Folder()};
}

enum class Expect { Written, Untouched };

// A file after a failed or successful write: complete, or exactly its old content (or
// absent when there was none), never anything between.
void ExpectWholeOrOld(const std::string& path, const std::string& complete, const std::string* old,
                      Expect expect) {
    const bool exists = fs::exists(path);
    const std::string now = exists ? ReadFileBytes(path) : std::string();
    if (expect == Expect::Written) {
        EXPECT_EQ(now, complete) << path;
        return;
    }
    if (old == nullptr) {
        EXPECT_FALSE(exists && fs::is_regular_file(path)) << path << " was created";
    } else {
        EXPECT_EQ(now, *old) << path << " was changed";
    }
}

TEST(BuildModeFaults, WritesThatCannotHappenLeaveNothingHalfDone) {
    const Program program;
    const CleanBuild clean = BuildCleanly(program);
    ASSERT_FALSE(clean.Target.empty());
    ASSERT_FALSE(clean.Information.empty());

    struct Case {
        const char* Name;
        bool TargetBlocked;      // the target's folder is below a regular file
        bool TempFolderBlocked;  // the temporary folder is below a regular file
        bool TargetExistsBefore; // an old target stands there
    };
    const Case cases[] = {
        {"target below a file", true, false, false},
        {"temporary folder below a file", false, true, true},
        {"both below a file", true, true, false},
        {"old target replaced", false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder out;
        const std::string blocker = out.Write("plain-file", "I am a file");
        const std::string targetFolder = c.TargetBlocked ? blocker + "/sub/" : out.Folder();
        const std::string tempFolder =
            c.TempFolderBlocked ? blocker + "/tmp/" : out.Folder() + "t/";
        fs::create_directories(out.Path() / "t");
        const std::string target = targetFolder + "target.pb";
        const std::string old = "old target";
        if (c.TargetExistsBefore) {
            out.Write("target.pb", old);
        }
        const auto sourcesBefore = Snapshot(program.Sources.Path());

        BuildSettings settings{program.Main, target, true, MonitoringRuntimeText(), tempFolder};
        YesRequesters requesters;
        RunBuildMode(settings, requesters);

        ExpectWholeOrOld(target, clean.TargetFor(tempFolder), c.TargetExistsBefore ? &old : nullptr,
                         c.TargetBlocked ? Expect::Untouched : Expect::Written);
        ExpectWholeOrOld(tempFolder + "tickscope.src", clean.Information, nullptr,
                         c.TempFolderBlocked ? Expect::Untouched : Expect::Written);
        EXPECT_EQ(fs::file_size(blocker), 11u) << "the blocking file was changed";
        EXPECT_FALSE(HoldsTemporaryFiles(out.Path()));
        EXPECT_EQ(Snapshot(program.Sources.Path()), sourcesBefore);
        EXPECT_EQ(requesters.Messages, 0) << "build mode reports nothing";
    }
}

TEST(BuildModeFaults, FullDiskLeavesOldFilesWhole) {
    const Program program;
    const CleanBuild clean = BuildCleanly(program);
    // Limits below, between and above the sizes of the two files.
    const std::size_t small = std::min(clean.Target.size(), clean.Information.size());
    const std::size_t large = std::max(clean.Target.size(), clean.Information.size());
    const rlim_t limits[] = {0, 1, static_cast<rlim_t>(small / 2), static_cast<rlim_t>(small + 1),
                             static_cast<rlim_t>(large - 1)};
    for (const rlim_t limit : limits) {
        SCOPED_TRACE("file size limit " + std::to_string(limit));
        TempFolder out;
        const std::string oldTarget = "old target\r\n";
        const std::string oldInformation = "old information\r\n";
        const std::string target = out.Write("target.pb", oldTarget);
        const std::string information = out.Write("tickscope.src", oldInformation);
        const auto sourcesBefore = Snapshot(program.Sources.Path());
        BuildSettings settings{program.Main, target, true, MonitoringRuntimeText(), out.Folder()};
        YesRequesters requesters;
        {
            FileSizeLimit full(limit);
            if (!full.Active()) {
                GTEST_SKIP() << "the file size limit cannot be set here";
            }
            RunBuildMode(settings, requesters);
        }
        // Each file is whole (when it fitted) or holds its old content.
        const std::string now = ReadFileBytes(target);
        EXPECT_TRUE(now == oldTarget || now == clean.TargetFor(out.Folder())) << now.size();
        EXPECT_EQ(now != oldTarget, clean.Target.size() <= limit);
        const std::string info = ReadFileBytes(information);
        EXPECT_TRUE(info == oldInformation || info == clean.Information) << info.size();
        EXPECT_EQ(info == clean.Information, clean.Information.size() <= limit);
        EXPECT_FALSE(HoldsTemporaryFiles(out.Path()));
        EXPECT_EQ(Snapshot(program.Sources.Path()), sourcesBefore);
    }
}

// A target that is no regular file (a device such as /dev/null, here a named pipe that
// stands in for one) must never be replaced by a renamed temporary file: as root, that
// would swap a system device for a plain file.
TEST(BuildModeFaults, TargetThatIsNoRegularFileIsNotReplaced) {
    const Program program;
    TempFolder out;
    const std::string pipe = out.File("target.pb");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    BuildSettings settings{program.Main, pipe, true, MonitoringRuntimeText(), out.Folder()};
    YesRequesters requesters;
    RunBuildMode(settings, requesters);
    EXPECT_TRUE(fs::is_fifo(pipe)) << "the pipe was replaced by a file";
    EXPECT_FALSE(HoldsTemporaryFiles(out.Path()));
    EXPECT_TRUE(fs::is_regular_file(out.Path() / "tickscope.src")) << "the other file is written";
}

TEST(BuildModeFaults, ReadOnlyTargetFolderKeepsItsFiles) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root: folder permissions do not stop writes";
    }
    const Program program;
    TempFolder out;
    const std::string old = "old target";
    const std::string target = out.Write("ro/target.pb", old);
    fs::permissions(out.Path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    BuildSettings settings{program.Main, target, true, MonitoringRuntimeText(),
                           out.Folder() + "ro/"};
    YesRequesters requesters;
    RunBuildMode(settings, requesters);
    fs::permissions(out.Path() / "ro", fs::perms::owner_all);
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_FALSE(fs::exists(out.Path() / "ro" / "tickscope.src"));
    EXPECT_FALSE(HoldsTemporaryFiles(out.Path()));
}

} // namespace
} // namespace tickscope
