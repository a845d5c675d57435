// Build mode when things stand in its way: targets that cannot be written or must not be,
// a program information that cannot be written, a full disk, other users, odd temporary
// folders and include bombs. The target and tickscope.src are always whole or left as they
// were, the target is never written without its program information, every failure is told
// in one message, no temporary file stays behind, and the source files are never touched.

#include "instrument/build_mode.h"
#include "instrument/runtime_text.h"
#include "platform/file_writer.h"
#include "source/text_utils.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <linux/fs.h>
#include <map>
#include <memory>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tickscope {
namespace {

using testing::ReadFileBytes;
using testing::Snapshot;
using testing::TempFolder;
namespace fs = std::filesystem;

constexpr const char* kWithoutMonitoring = "; the program is compiled without monitoring code";

class YesRequesters : public Requesters {
  public:
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ShowMessage(const std::string& title, const std::string& text) override {
        Messages.push_back(title + ": " + text);
        if (!Watched.empty()) { // what stands there while the user reads the message
            WatchedAtMessage = fs::exists(Watched) ? ReadFileBytes(Watched) : "<absent>";
        }
    }
    std::string AskText(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::vector<std::string> Messages;
    std::string Watched;
    std::string WatchedAtMessage;
};

std::string PrivateFolderIn(const std::string& temp) {
    return temp + "tickscope-" + std::to_string(::getuid()) + "/";
}

bool HoldsTemporaryFiles(const fs::path& folder) {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        // The writer's temporary files, and an earlier file set aside while it is replaced.
        if (name.rfind(".tks-", 0) == 0 || EndsWith(name, ".last")) {
            return true;
        }
    }
    return false;
}

// Limits the size of files this process writes, as a full disk would: a write past the
// limit fails (EFBIG; build mode ignores SIGXFSZ). Restored on destruction.
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

// A folder that takes no new entries, even from root: the immutable flag. Not every file
// system has it; Active() tells.
class ImmutableFolder {
  public:
    explicit ImmutableFolder(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {
        int flags = 0;
        if (fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            active_ = ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~ImmutableFolder() {
        int flags = 0;
        if (active_ && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd_, FS_IOC_SETFLAGS, &flags);
        }
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool Active() const { return active_; }

  private:
    int fd_;
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
    std::string Folder; // the private folder it named

    // The target names the folder of its program information; the same with another one.
    std::string TargetFor(const std::string& temp) const {
        return ReplaceAll(Target, "IncludeBinary \"" + Folder,
                          "IncludeBinary \"" + PrivateFolderIn(temp));
    }
};

CleanBuild BuildCleanly(const Program& program) {
    TempFolder out;
    BuildSettings settings{program.Main, out.File("target.pb"), true, MonitoringRuntimeText(),
                           out.Folder()};
    YesRequesters requesters;
    RunBuildMode(settings, requesters);
    EXPECT_TRUE(requesters.Messages.empty());
    const std::string folder = PrivateFolderIn(out.Folder());
    return {ReadFileBytes(out.File("target.pb")), ReadFileBytes(folder + "tickscope.src"), folder};
}

// A build of `program` into `target` with the temporary folder `temp`: the messages.
void Build(const std::string& main, const std::string& target, const std::string& temp,
           YesRequesters& requesters) {
    BuildSettings settings{main, target, true, MonitoringRuntimeText(), temp};
    RunBuildMode(settings, requesters);
}

std::vector<std::string> Build(const std::string& main, const std::string& target,
                               const std::string& temp) {
    YesRequesters requesters;
    Build(main, target, temp, requesters);
    return requesters.Messages;
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

void ExpectOneMessage(const std::vector<std::string>& messages, const std::string& start) {
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(StartsWith(messages[0], "Tickscope: " + start)) << messages[0];
    EXPECT_TRUE(EndsWith(messages[0], kWithoutMonitoring)) << messages[0];
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
        const char* Message;     // the start of the message, "" for none
    };
    const Case cases[] = {
        {"target below a file", true, false, false, "could not write "},
        // Without its program information the target is not written either.
        {"temporary folder below a file", false, true, true,
         "could not use the folder for the program information in "},
        {"both below a file", true, true, false,
         "could not use the folder for the program information in "},
        {"old target replaced", false, false, true, ""},
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

        const auto messages = Build(program.Main, target, tempFolder);

        const bool targetWritten = !c.TargetBlocked && !c.TempFolderBlocked;
        ExpectWholeOrOld(target, clean.TargetFor(tempFolder), c.TargetExistsBefore ? &old : nullptr,
                         targetWritten ? Expect::Written : Expect::Untouched);
        ExpectWholeOrOld(PrivateFolderIn(tempFolder) + "tickscope.src", clean.Information, nullptr,
                         c.TempFolderBlocked ? Expect::Untouched : Expect::Written);
        EXPECT_EQ(fs::file_size(blocker), 11u) << "the blocking file was changed";
        EXPECT_FALSE(HoldsTemporaryFiles(out.Path()));
        EXPECT_EQ(Snapshot(program.Sources.Path()), sourcesBefore);
        if (*c.Message == '\0') {
            EXPECT_TRUE(messages.empty());
        } else {
            ExpectOneMessage(messages, c.Message);
        }
    }
}

TEST(BuildModeFaults, FullDiskLeavesOldFilesWhole) {
    const Program program;
    const CleanBuild clean = BuildCleanly(program);
    // Limits below, between and above the sizes of the two files.
    const std::size_t small = std::min(clean.Target.size(), clean.Information.size());
    const std::size_t large = std::max(clean.Target.size(), clean.Information.size());
    const rlim_t limits[] = {0,
                             1,
                             static_cast<rlim_t>(small / 2),
                             static_cast<rlim_t>(small + 1),
                             static_cast<rlim_t>(large - 1),
                             static_cast<rlim_t>(large + 1)};
    // The old information stands under its name, or aside where a killed build left it.
    for (const bool leftAside : {false, true}) {
        for (const rlim_t limit : limits) {
            SCOPED_TRACE("file size limit " + std::to_string(limit) +
                         (leftAside ? ", old information left aside" : ""));
            TempFolder out;
            const std::string oldTarget = "old target\r\n";
            const std::string oldInformation = "old information\r\n";
            const std::string target = out.Write("target.pb", oldTarget);
            const std::string information = PrivateFolderIn(out.Folder()) + "tickscope.src";
            out.Write("tickscope-" + std::to_string(::getuid()) +
                          (leftAside ? "/tickscope.src.last" : "/tickscope.src"),
                      oldInformation);
            const auto sourcesBefore = Snapshot(program.Sources.Path());
            YesRequesters requesters;
            requesters.Watched = information;
            {
                FileSizeLimit full(limit);
                if (!full.Active()) {
                    GTEST_SKIP() << "the file size limit cannot be set here";
                }
                Build(program.Main, target, out.Folder(), requesters);
            }
            // Each file is whole (when it fitted) or holds its old content, and the target is
            // only written after its program information.
            const bool informationFits = clean.Information.size() <= limit;
            const bool targetFits = clean.Target.size() <= limit;
            const std::string info = ReadFileBytes(information);
            EXPECT_EQ(info, informationFits ? clean.Information : oldInformation);
            const std::string now = ReadFileBytes(target);
            EXPECT_EQ(now,
                      informationFits && targetFits ? clean.TargetFor(out.Folder()) : oldTarget);
            if (informationFits && targetFits) {
                EXPECT_TRUE(requesters.Messages.empty());
            } else {
                ExpectOneMessage(requesters.Messages, "could not write ");
                EXPECT_EQ(requesters.WatchedAtMessage,
                          informationFits ? clean.Information : oldInformation);
            }
            EXPECT_FALSE(HoldsTemporaryFiles(out.Path()));
            EXPECT_EQ(Snapshot(program.Sources.Path()), sourcesBefore);
        }
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
    const auto messages = Build(program.Main, pipe, out.Folder());
    EXPECT_TRUE(fs::is_fifo(pipe)) << "the pipe was replaced by a file";
    EXPECT_FALSE(HoldsTemporaryFiles(out.Path()));
    ExpectOneMessage(messages, "could not write " + pipe + ": ");
}

// TARGET may name a file the program's directives named without reading it: a second
// XIncludeFile of the same content, a file too large to read, a folder. None is overwritten.
TEST(BuildModeFaults, TargetThatNamesAnyFileOfTheProgramIsRefused) {
    struct Case {
        const char* Name;
        const char* Target; // a file of the program's folder
    };
    const Case cases[] = {
        {"the main file", "main.pb"},
        {"an included file", "a.pbi"},
        {"a file XIncludeFile skipped for its content", "copy.pbi"},
        {"an include too large to read", "huge.pbi"},
        {"an include named through a link", "link.pbi"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder sources;
        TempFolder out;
        const std::string main = sources.Write("main.pb", "XIncludeFile \"a.pbi\"\n"
                                                          "XIncludeFile \"copy.pbi\"\n"
                                                          "IncludeFile \"huge.pbi\"\n"
                                                          "IncludeFile \"via.pbi\"\n");
        sources.Write("a.pbi", "x = 1\n");
        sources.Write("copy.pbi", "x = 1\n");
        sources.Write("huge.pbi", "y = 2\n");
        fs::resize_file(sources.Path() / "huge.pbi", std::uintmax_t{300} << 20); // sparse
        sources.Write("linked.pbi", "z = 3\n");
        fs::create_symlink(sources.Path() / "linked.pbi", sources.Path() / "via.pbi");
        const std::string target = std::string(c.Target) == "link.pbi" ? sources.File("linked.pbi")
                                                                       : sources.File(c.Target);
        std::map<std::string, std::string> before;
        for (const char* name : {"main.pb", "a.pbi", "copy.pbi", "linked.pbi"}) {
            before[name] = ReadFileBytes(sources.File(name));
        }
        const auto hugeSize = fs::file_size(sources.Path() / "huge.pbi");

        const auto messages = Build(main, target, out.Folder());

        EXPECT_EQ(fs::file_size(sources.Path() / "huge.pbi"), hugeSize);
        for (const auto& [name, bytes] : before) {
            EXPECT_EQ(ReadFileBytes(sources.File(name)), bytes) << name;
        }
        EXPECT_TRUE(Snapshot(out.Path()).empty()) << "nothing is written";
        ExpectOneMessage(messages, "the file to compile, " + target +
                                       ", is one of the program's source files");
    }
}

TEST(BuildModeFaults, FilesAreReadableAsTheUserWants) {
    const Program program;
    struct Case {
        const char* Name;
        mode_t Umask;
        int ExistingTargetMode; // -1: no target before
        mode_t TargetMode;
    };
    const Case cases[] = {
        {"umask 077, new target", 077, -1, 0600},
        {"umask 022, new target", 022, -1, 0644},
        {"umask 077, existing target keeps its mode", 077, 0664, 0664},
        {"umask 022, existing private target stays private", 022, 0600, 0600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder out;
        const std::string target = out.File("target.pb");
        if (c.ExistingTargetMode >= 0) {
            out.Write("target.pb", "old");
            fs::permissions(target, static_cast<fs::perms>(c.ExistingTargetMode));
        }
        const mode_t saved = ::umask(c.Umask);
        const auto messages = Build(program.Main, target, out.Folder());
        ::umask(saved);
        EXPECT_TRUE(messages.empty());
        struct stat info {};
        ASSERT_EQ(::stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.TargetMode);
        // The program information is its owner's alone, in a folder that is too.
        const std::string folder = PrivateFolderIn(out.Folder());
        ASSERT_EQ(::stat((folder + "tickscope.src").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u);
        ASSERT_EQ(::stat(folder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0700u);
    }
}

TEST(BuildModeFaults, AProgramInformationFolderOthersCouldTakeIsRefused) {
    const Program program;
    struct Case {
        const char* Name;
        std::function<void(const std::string& folder)> Prepare;
        const char* Message; // "" when the build goes on
        bool NeedsRoot;
    };
    const Case cases[] = {
        {"another user's folder",
         [](const std::string& folder) {
             fs::create_directories(folder);
             ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
         },
         "could not use the folder for the program information in ", true},
        {"a link to a folder of another place",
         [](const std::string& folder) {
             const std::string base = folder.substr(0, folder.size() - 1);
             fs::create_directories(base + "-elsewhere");
             fs::create_directory_symlink(base + "-elsewhere", base);
         },
         "could not use the folder for the program information in ", false},
        {"a file in its place",
         [](const std::string& folder) {
             std::ofstream(folder.substr(0, folder.size() - 1)) << "x";
         },
         "could not use the folder for the program information in ", false},
        {"the user's own folder, open to everyone",
         [](const std::string& folder) {
             fs::create_directories(folder);
             fs::permissions(folder, fs::perms::all);
         },
         "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.NeedsRoot && ::geteuid() != 0) {
            continue; // only root can give a folder to another user
        }
        TempFolder out;
        const std::string target = out.File("target.pb");
        c.Prepare(PrivateFolderIn(out.Folder()));
        const auto messages = Build(program.Main, target, out.Folder());
        if (*c.Message == '\0') {
            EXPECT_TRUE(messages.empty());
            EXPECT_TRUE(fs::exists(target));
            EXPECT_EQ(fs::status(PrivateFolderIn(out.Folder())).permissions() & fs::perms::mask,
                      fs::perms::owner_all);
        } else {
            ExpectOneMessage(messages, c.Message);
            EXPECT_FALSE(fs::exists(target));
            EXPECT_FALSE(
                fs::exists(out.Path() / ("tickscope-" + std::to_string(::getuid()) + "-elsewhere") /
                           "tickscope.src"));
        }
    }
}

TEST(BuildModeFaults, ATemporaryFolderWithAQuoteIsRefused) {
    const Program program;
    TempFolder out;
    const std::string temp = out.Folder() + "a\"b/";
    fs::create_directories(temp);
    const auto messages = Build(program.Main, out.File("target.pb"), temp);
    ExpectOneMessage(messages,
                     "the temporary folder " + PrivateFolderIn(temp) + " holds a double quote");
    EXPECT_FALSE(fs::exists(out.File("target.pb")));
    EXPECT_FALSE(fs::exists(PrivateFolderIn(temp) + "tickscope.src"));
}

TEST(BuildModeFaults, AnIncludeBombStopsWithAMessage) {
    // Twenty-one files of two lines, each including the next twice: 4,194,302 lines.
    TempFolder sources;
    TempFolder out;
    for (int level = 1; level <= 21; ++level) {
        const std::string next = "level" + std::to_string(level + 1) + ".pbi";
        sources.Write("level" + std::to_string(level) + ".pbi",
                      level < 21 ? "IncludeFile \"" + next + "\"\nIncludeFile \"" + next + "\"\n"
                                 : std::string("x = 1\ny = 2\n"));
    }
    const std::string main = sources.Write("main.pb", "IncludeFile \"level1.pbi\"\n");
    const auto before = Snapshot(sources.Path());
    const auto messages = Build(main, out.File("target.pb"), out.Folder());
    ExpectOneMessage(messages, "the program takes in files more than 100000 times at level");
    EXPECT_NE(messages[0].find(".pbi is read, included by level"), std::string::npos)
        << messages[0];
    EXPECT_TRUE(Snapshot(out.Path()).empty()) << "nothing is written";
    EXPECT_EQ(Snapshot(sources.Path()), before);
}

TEST(BuildModeFaults, TemporaryFilesOfAnEarlierRunAreRemoved) {
    const Program program;
    TempFolder out;
    const std::string target = out.File("target.pb");
    const std::string ours = platform::TemporaryNamePrefix("target.pb") + "Ab12Cd";
    const std::string others = platform::TemporaryNamePrefix("other.pb") + "Ab12Cd";
    out.Write(ours, "left by a killed build");
    out.Write(others, "a build of another file");
    const auto messages = Build(program.Main, target, out.Folder());
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(fs::exists(out.File(ours)));
    EXPECT_TRUE(fs::exists(out.File(others)));
}

TEST(BuildModeFaults, TargetsThatOnceCouldNeverBeWritten) {
    const Program program;
    struct Case {
        const char* Name;
        std::size_t NameLength;
        bool ImmutableFolder; // the folder takes no new files; the target itself is writable
    };
    const Case cases[] = {
        {"a name of 250 characters", 250, false},
        {"a name of 255 characters", 255, false},
        {"a folder that refuses new files", 9, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder out;
        TempFolder temp;
        const std::string name = std::string(c.NameLength - 3, 't') + ".pb";
        const std::string target = out.Write(name, "the IDE's copy");
        std::unique_ptr<ImmutableFolder> locked;
        if (c.ImmutableFolder) {
            locked = std::make_unique<ImmutableFolder>(out.Path().string());
            if (!locked->Active()) {
                std::printf("[ skipped  ] %s: no immutable folders on this file system\n", c.Name);
                continue;
            }
        }
        const auto messages = Build(program.Main, target, temp.Folder());
        locked.reset();
        EXPECT_TRUE(messages.empty()) << (messages.empty() ? "" : messages[0]);
        EXPECT_TRUE(StartsWith(ReadFileBytes(target), "Structure tickscope_struct_Entry"));
        EXPECT_FALSE(HoldsTemporaryFiles(out.Path()));
    }
}

} // namespace
} // namespace tickscope
