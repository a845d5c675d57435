#include "instrument/build_mode.h"
#include "source/text_utils.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

namespace tickscope {
namespace {

using testing::ReadFileBytes;
using testing::Snapshot;
using testing::TempFolder;
namespace fs = std::filesystem;

class ScriptedRequesters : public Requesters {
  public:
    explicit ScriptedRequesters(bool answer) : answer_(answer) {}
    bool AskYesNo(const std::string& title, const std::string& text) override {
        ++Questions;
        Title = title;
        Text = text;
        return answer_;
    }
    void ShowMessage(const std::string& title, const std::string& text) override {
        ++Messages;
        Title = title;
        Message = text;
    }
    std::string AskText(const std::string&, const std::string&, const std::string&) override {
        ++Messages;
        return {};
    }
    int Questions = 0;
    int Messages = 0;
    std::string Title;
    std::string Text;
    std::string Message;

  private:
    bool answer_;
};

// The folder of the user's build files below a temporary folder.
std::string PrivateFolder(const TempFolder& temp) {
    return temp.Folder() + "tickscope-" + std::to_string(::getuid()) + "/";
}
std::string PrivateName(const std::string& file) {
    return "tickscope-" + std::to_string(::getuid()) + "/" + file;
}

// A two-file program: CR LF in the main file, LF in the included one.
struct SmallProgram {
    TempFolder Sources;
    std::string Main;
    SmallProgram() {
        Main = Sources.Write("main.pb", "; demo\r\n"
                                        "IncludeFile \"inc.pbi\"\r\n"
                                        "Procedure Twice(x)\r\n"
                                        "  ProcedureReturn x * 2\r\n"
                                        "EndProcedure\r\n"
                                        "For i = 1 To 3 : Twice(i) : Next\r\n"
                                        "Select i\r\n"
                                        "  Case 4\r\n"
                                        "    Debug \"four\"\r\n"
                                        "EndSelect\r\n");
        Sources.Write("inc.pbi", "\xEF\xBB\xBFGlobal g = 1\n"); // with a byte-order mark
    }
};

TEST(BuildModeTest, NoAnswerLoadsAndWritesNothing) {
    SmallProgram program;
    TempFolder out;
    const auto sourcesBefore = Snapshot(program.Sources.Path());
    BuildSettings settings{program.Main, out.File("target.pb"), false, "RT\n", out.Folder()};
    ScriptedRequesters requesters(false);
    RunBuildMode(settings, requesters);
    EXPECT_EQ(requesters.Questions, 1);
    EXPECT_EQ(requesters.Title, "Tickscope");
    EXPECT_EQ(requesters.Text, "Build executable with Tickscope monitoring-code?");
    EXPECT_TRUE(Snapshot(out.Path()).empty());
    EXPECT_EQ(Snapshot(program.Sources.Path()), sourcesBefore);
}

TEST(BuildModeTest, YesWritesProgramInformationAndProbedProgram) {
    SmallProgram program;
    TempFolder out;
    const auto sourcesBefore = Snapshot(program.Sources.Path());
    const std::string folder = program.Sources.Folder();
    BuildSettings settings{program.Main, out.File("target.pb"), false,
                           "RT \"{tickscope.tempfolder}tickscope.src\"\n", out.Folder()};
    ScriptedRequesters requesters(true);
    RunBuildMode(settings, requesters);
    EXPECT_EQ(requesters.Messages, 0);

    const auto written = Snapshot(out.Path());
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(Snapshot(program.Sources.Path()), sourcesBefore);

    const std::string expectedInfo =
        "Path = " + folder +
        "main.pb\r\n\r\n"
        "SourceFileIds = 2\r\n"
        "SourceFileId.1 = " +
        folder +
        "main.pb\r\n"
        "SourceFileId.2 = " +
        folder +
        "inc.pbi\r\n\r\n"
        "ScopeIds = 2\r\n"
        "ScopeId.1 = ***main***\r\n"
        "ScopeId.2 = Twice\r\n\r\n"
        "LinesOfCode = 11\r\n"
        "LineOfCode.1.SourceFileId = 1\r\nLineOfCode.1.LineNumber = 1\r\n"
        "LineOfCode.1.Code = ;\\bdemo\r\nLineOfCode.1.Instructions = 1\r\n"
        "LineOfCode.1.Instruction.1.ScopeId = 1\r\nLineOfCode.1.Instruction.1.Code = ;\\bdemo\r\n"
        "LineOfCode.2.SourceFileId = 1\r\nLineOfCode.2.LineNumber = 2\r\n"
        "LineOfCode.2.Code = IncludeFile\\b\"inc.pbi\"\r\nLineOfCode.2.Instructions = 1\r\n"
        "LineOfCode.2.Instruction.1.ScopeId = 1\r\n"
        "LineOfCode.2.Instruction.1.Code = IncludeFile\\b\"inc.pbi\"\r\n"
        "LineOfCode.3.SourceFileId = 2\r\nLineOfCode.3.LineNumber = 1\r\n"
        "LineOfCode.3.Code = Global\\bg\\b{EQU}\\b1\r\nLineOfCode.3.Instructions = 1\r\n"
        "LineOfCode.3.Instruction.1.ScopeId = 1\r\n"
        "LineOfCode.3.Instruction.1.Code = Global\\bg\\b{EQU}\\b1\r\n"
        "LineOfCode.4.SourceFileId = 1\r\nLineOfCode.4.LineNumber = 3\r\n"
        "LineOfCode.4.Code = Procedure\\bTwice(x)\r\nLineOfCode.4.Instructions = 1\r\n"
        "LineOfCode.4.Instruction.1.ScopeId = 2\r\n"
        "LineOfCode.4.Instruction.1.Code = Procedure\\bTwice(x)\r\n"
        "LineOfCode.5.SourceFileId = 1\r\nLineOfCode.5.LineNumber = 4\r\n"
        "LineOfCode.5.Code = \\b\\bProcedureReturn\\bx\\b*\\b2\r\nLineOfCode.5.Instructions = 1\r\n"
        "LineOfCode.5.Instruction.1.ScopeId = 2\r\n"
        "LineOfCode.5.Instruction.1.Code = \\b\\bProcedureReturn\\bx\\b*\\b2\r\n"
        "LineOfCode.6.SourceFileId = 1\r\nLineOfCode.6.LineNumber = 5\r\n"
        "LineOfCode.6.Code = EndProcedure\r\nLineOfCode.6.Instructions = 1\r\n"
        "LineOfCode.6.Instruction.1.ScopeId = 2\r\nLineOfCode.6.Instruction.1.Code = "
        "EndProcedure\r\n"
        "LineOfCode.7.SourceFileId = 1\r\nLineOfCode.7.LineNumber = 6\r\n"
        "LineOfCode.7.Code = For\\bi\\b{EQU}\\b1\\bTo\\b3\\b:\\bTwice(i)\\b:\\bNext\r\n"
        "LineOfCode.7.Instructions = 3\r\n"
        "LineOfCode.7.Instruction.1.ScopeId = 1\r\n"
        "LineOfCode.7.Instruction.1.Code = For\\bi\\b{EQU}\\b1\\bTo\\b3\\b:\r\n"
        "LineOfCode.7.Instruction.2.ScopeId = 1\r\n"
        "LineOfCode.7.Instruction.2.Code = \\bTwice(i)\\b\r\n"
        "LineOfCode.7.Instruction.3.ScopeId = 1\r\nLineOfCode.7.Instruction.3.Code = \\bNext\r\n"
        "LineOfCode.8.SourceFileId = 1\r\nLineOfCode.8.LineNumber = 7\r\n"
        "LineOfCode.8.Code = Select\\bi\r\nLineOfCode.8.Instructions = 1\r\n"
        "LineOfCode.8.Instruction.1.ScopeId = 1\r\nLineOfCode.8.Instruction.1.Code = Select\\bi\r\n"
        "LineOfCode.9.SourceFileId = 1\r\nLineOfCode.9.LineNumber = 8\r\n"
        "LineOfCode.9.Code = \\b\\bCase\\b4\r\nLineOfCode.9.Instructions = 1\r\n"
        "LineOfCode.9.Instruction.1.ScopeId = 1\r\n"
        "LineOfCode.9.Instruction.1.Code = \\b\\bCase\\b4\r\n"
        "LineOfCode.10.SourceFileId = 1\r\nLineOfCode.10.LineNumber = 9\r\n"
        "LineOfCode.10.Code = \\b\\b\\b\\bDebug\\b\"four\"\r\nLineOfCode.10.Instructions = 1\r\n"
        "LineOfCode.10.Instruction.1.ScopeId = 1\r\n"
        "LineOfCode.10.Instruction.1.Code = \\b\\b\\b\\bDebug\\b\"four\"\r\n"
        "LineOfCode.11.SourceFileId = 1\r\nLineOfCode.11.LineNumber = 10\r\n"
        "LineOfCode.11.Code = EndSelect\r\nLineOfCode.11.Instructions = 1\r\n"
        "LineOfCode.11.Instruction.1.ScopeId = 1\r\nLineOfCode.11.Instruction.1.Code = "
        "EndSelect\r\n";
    EXPECT_EQ(written.at(PrivateName("tickscope.src")), expectedInfo);

    const std::string expectedProgram = "RT \"" + PrivateFolder(out) +
                                        "tickscope.src\"\n"
                                        "tickscope_InitHiresTiming()\n"
                                        "tickscope_Begin()\n"
                                        "; demo\n"
                                        ";IncludeFile \"inc.pbi\"\n"
                                        "tickscope_AddStartEntry(2, 1, 1, #False)\n"
                                        "Global g = 1\n"
                                        "tickscope_AddStopEntry(2, 1, 1, #False)\n"
                                        "Procedure Twice(x)\n"
                                        "Define tickscopevar.b\n"
                                        "  ProcedureReturn x * 2\n"
                                        "EndProcedure\n"
                                        "For i = 1 To 3 :\n"
                                        "tickscope_AddStartEntry(1, 6, 2, #False)\n"
                                        " Twice(i) \n"
                                        "tickscope_AddStopEntry(1, 6, 2, #False)\n"
                                        "tickscope_AddStartEntry(1, 6, 1, #False)\n"
                                        " Next\n"
                                        "tickscope_AddStopEntry(1, 6, 1, #False)\n"
                                        "tickscope_AddStartEntry(1, 7, 1, #True)\n"
                                        "Select i\n"
                                        "  Case 4\n"
                                        "tickscope_AddStopEntry(1, 7, 1, #True)\n"
                                        "tickscope_AddStartEntry(1, 9, 1, #False)\n"
                                        "    Debug \"four\"\n"
                                        "tickscope_AddStopEntry(1, 9, 1, #False)\n"
                                        "EndSelect\n"
                                        "tickscope_AddStopEntry(1, 7, 1, #True)\n"
                                        "tickscope_End()\n"
                                        "\r\n";
    EXPECT_EQ(written.at("target.pb"), expectedProgram);
}

TEST(BuildModeTest, SharedDllGetsDetachGeneratedAndBeginInsideAttach) {
    TempFolder sources;
    TempFolder out;
    const std::string main = sources.Write("lib.pb", "ProcedureDLL AttachProcess(Instance)\n"
                                                     "  Init()\n"
                                                     "EndProcedure\n"
                                                     "ProcedureDLL.i Add(a, b)\n"
                                                     "  ProcedureReturn a + b\n"
                                                     "EndProcedure\n"
                                                     "; IDE Options = PureBasic 6.10 LTS\n"
                                                     "; ExecutableFormat = Shared Dll\n");
    BuildSettings settings{main, out.File("target.pb"), false, "RT\n", out.Folder()};
    ScriptedRequesters requesters(true);
    RunBuildMode(settings, requesters);
    EXPECT_EQ(ReadFileBytes(out.File("target.pb")),
              "RT\n"
              "ProcedureDLL DetachProcess(Instance) : tickscope_End() : EndProcedure\n"
              "ProcedureDLL AttachProcess(Instance)\n"
              "tickscope_InitHiresTiming() : tickscope_Begin()\n"
              "Define tickscopevar.b\n"
              "tickscope_AddStartEntry(1, 2, 1, #False)\n"
              "  Init()\n"
              "tickscope_AddStopEntry(1, 2, 1, #False)\n"
              "EndProcedure\n"
              "ProcedureDLL.i Add(a, b)\n"
              "Define tickscopevar.b\n"
              "  ProcedureReturn a + b\n"
              "EndProcedure\n"
              "; IDE Options = PureBasic 6.10 LTS\n"
              "; ExecutableFormat = Shared Dll\n"
              "\r\n");
}

TEST(BuildModeTest, UnreadableSourceWritesNothingAndSaysSo) {
    TempFolder out;
    out.Write("target.pb", "the IDE's own copy");
    BuildSettings settings{out.File("missing.pb"), out.File("target.pb"), false, "RT\n",
                           out.Folder()};
    ScriptedRequesters requesters(true);
    RunBuildMode(settings, requesters);
    const auto written = Snapshot(out.Path());
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written.at("target.pb"), "the IDE's own copy");
    EXPECT_EQ(requesters.Messages, 1);
    EXPECT_EQ(requesters.Title, "Tickscope");
    EXPECT_EQ(requesters.Message, "could not read missing.pb: it does not exist; the program is "
                                  "compiled without monitoring code");
}

struct UnwritableCase {
    const char* name;
    std::string target; // relative to the output folder; "" for an empty target path
    bool targetIsSource;
    bool informationWritten;
    std::string message; // its start
};

class UnwritableTargetTest : public ::testing::TestWithParam<UnwritableCase> {};

TEST_P(UnwritableTargetTest, SaysWhyAndKeepsSources) {
    SmallProgram program;
    TempFolder out;
    const auto sourcesBefore = Snapshot(program.Sources.Path());
    std::string target;
    if (GetParam().targetIsSource) {
        target = program.Sources.File(GetParam().target);
    } else if (!GetParam().target.empty()) {
        target = out.File(GetParam().target);
    }
    BuildSettings settings{program.Main, target, true, "RT\n", out.Folder()};
    ScriptedRequesters requesters(true);
    RunBuildMode(settings, requesters);
    EXPECT_EQ(Snapshot(program.Sources.Path()), sourcesBefore);
    const auto written = Snapshot(out.Path());
    ASSERT_EQ(written.size(), GetParam().informationWritten ? 1u : 0u);
    if (GetParam().informationWritten) {
        EXPECT_TRUE(StartsWith(written.at(PrivateName("tickscope.src")), "Path = "));
    }
    EXPECT_EQ(requesters.Messages, 1);
    EXPECT_TRUE(StartsWith(requesters.Message, GetParam().message)) << requesters.Message;
    EXPECT_TRUE(EndsWith(requesters.Message, "; the program is compiled without monitoring code"));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, UnwritableTargetTest,
    ::testing::Values(
        UnwritableCase{"Empty", "", false, false, "no file to compile was given"},
        UnwritableCase{"MissingFolder", "no/such/folder/target.pb", false, true,
                       "could not write "},
        UnwritableCase{"IsMainSource", "main.pb", true, false, "the file to compile, "},
        UnwritableCase{"IsIncludedFile", "inc.pbi", true, false, "the file to compile, "},
        UnwritableCase{"IsSourceByOtherName", "./main.pb", true, false, "the file to compile, "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuildModeTest, ProgramInformationThatCannotBeWrittenLeavesTheTargetAlone) {
    SmallProgram program;
    TempFolder out;
    out.Write("target.pb", "the IDE's own copy");
    BuildSettings settings{program.Main, out.File("target.pb"), true, "RT\n",
                           out.Folder() + "missing/"};
    ScriptedRequesters requesters(true);
    RunBuildMode(settings, requesters);
    const auto written = Snapshot(out.Path());
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written.at("target.pb"), "the IDE's own copy");
    EXPECT_EQ(requesters.Messages, 1);
    EXPECT_TRUE(StartsWith(requesters.Message, "could not use the folder for the program "
                                               "information in " +
                                                   out.Folder() + "missing/: "))
        << requesters.Message;
}

TEST(BuildModeTest, OverwritesEarlierOutputs) {
    SmallProgram program;
    TempFolder out;
    out.Write(PrivateName("tickscope.src"), std::string(100000, 'x'));
    // The earlier information set aside by a build that was killed before removing it.
    out.Write(PrivateName("tickscope.src.last"), std::string(100000, 'z'));
    out.Write("target.pb", std::string(100000, 'y'));
    BuildSettings settings{program.Main, out.File("target.pb"), false, "RT\n", out.Folder()};
    ScriptedRequesters requesters(true);
    RunBuildMode(settings, requesters);
    const auto written = Snapshot(out.Path());
    ASSERT_EQ(written.size(), 2u);
    EXPECT_TRUE(StartsWith(written.at(PrivateName("tickscope.src")), "Path = "));
    EXPECT_TRUE(EndsWith(written.at("target.pb"), "EndSelect\ntickscope_AddStopEntry(1, 7, 1, "
                                                  "#True)\ntickscope_End()\n\r\n"));
    EXPECT_EQ(requesters.Messages, 0);
}

// The tool's entry ends the process in this call; it must come only when both files are in
// place, and never for a build that wrote nothing.
TEST(BuildModeTest, WhenWrittenIsCalledOnlyOnceBothFilesAreWritten) {
    struct Case {
        const char* Name;
        bool Answer;
        bool TargetFolderExists;
        int Calls;
    };
    for (const Case& c : {Case{"written", true, true, 1}, Case{"answered no", false, true, 0},
                          Case{"target cannot be written", true, false, 0}}) {
        SCOPED_TRACE(c.Name);
        SmallProgram program;
        TempFolder out;
        const std::string target =
            c.TargetFolderExists ? out.File("target.pb") : out.File("missing/target.pb");
        // An earlier build's information, which the build removes before ending.
        out.Write(PrivateName("tickscope.src"), "earlier");
        BuildSettings settings{program.Main, target, false, "RT\n", out.Folder()};
        ScriptedRequesters requesters(c.Answer);
        int calls = 0;
        std::size_t filesAtCall = 0;
        RunBuildMode(settings, requesters, [&] {
            ++calls;
            filesAtCall = Snapshot(out.Path()).size();
        });
        EXPECT_EQ(calls, c.Calls);
        if (calls > 0) {
            EXPECT_EQ(filesAtCall, 2u);
        }
    }
}

} // namespace
} // namespace tickscope
