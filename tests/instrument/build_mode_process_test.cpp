// Runs the built tool as the IDE would, without a display: the question is answered on
// standard input, and the two written files are compared with their expected texts.
#include "instrument/runtime_text.h"
#include "source/text_utils.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace tickscope {
namespace {

using testing::ReadFileBytes;
using testing::Snapshot;
using testing::TempFolder;
namespace fs = std::filesystem;

std::string Quoted(const std::string& text) {
    return "'" + ReplaceAll(text, "'", "'\\''") + "'";
}

class BuildProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(TICKSCOPE_BINARY)) {
            GTEST_SKIP() << "tickscope binary not built: " << TICKSCOPE_BINARY;
        }
        main_ = sources_.Write("prog/main.pb", "XIncludeFile \"sub/b.pbi\"\n"
                                               "XIncludeFile \"sub/b.pbi\"\n"
                                               "While b() : Wend\n"
                                               "End\n");
        sources_.Write("prog/sub/b.pbi", "Procedure b()\r\n"
                                         "  a = 1 : c = 2\r\n"
                                         "EndProcedure\r\n");
        sourcesBefore_ = Snapshot(sources_.Path());
    }

    // Runs the tool with the answer on standard input; returns its exit status. `before`
    // runs in the same shell first (a limit), `environment` adds variables.
    int Run(const std::string& answer, const std::string& before = {},
            const std::string& environment = {}, bool build = true,
            const std::string& parameters = {}) {
        const std::string answerFile = io_.Write("answer.txt", answer);
        const std::string command =
            (before.empty() ? std::string() : before + "; ") +
            "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u PB_TOOL_MainWindow TMPDIR=" +
            Quoted(temp_.Path().string()) + " HOME=" + Quoted(home_.Path().string()) + " " +
            environment + " " + Quoted(TICKSCOPE_BINARY) +
            (build ? " " + Quoted(main_) + " " + Quoted(Target()) : std::string()) + " " +
            parameters + " < " + Quoted(answerFile) + " > " + Quoted(io_.File("stdout.txt")) +
            " 2> " + Quoted(io_.File("stderr.txt"));
        const int status = std::system(("(" + command + ")").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string Err() const { return ReadFileBytes(io_.File("stderr.txt")); }

    std::string Target() const { return targets_.File("compile me.pb"); }

    TempFolder sources_, targets_, temp_, home_, io_;
    std::string main_;
    std::map<std::string, std::string> sourcesBefore_;
};

TEST_F(BuildProcessTest, HelpAndVersionPrintWithoutADisplayAndWriteNothing) {
    for (const std::string option : {"--help", "--version"}) {
        ASSERT_EQ(Run("", {}, {}, false, option), 0) << option;
        const std::string out = ReadFileBytes(io_.File("stdout.txt"));
        EXPECT_EQ(out.rfind(option == "--help" ? "usage: tickscope" : "tickscope 1.", 0), 0u)
            << out;
        EXPECT_EQ(Err(), "") << option;
    }
    EXPECT_TRUE(Snapshot(temp_.Path()).empty());
    EXPECT_TRUE(Snapshot(home_.Path()).empty());
}

TEST_F(BuildProcessTest, NoWritesNothing) {
    ASSERT_EQ(Run("n\n"), 0);
    EXPECT_TRUE(Snapshot(targets_.Path()).empty());
    EXPECT_TRUE(Snapshot(temp_.Path()).empty());
    EXPECT_TRUE(Snapshot(home_.Path()).empty());
    EXPECT_EQ(Snapshot(sources_.Path()), sourcesBefore_);
    EXPECT_NE(ReadFileBytes(io_.File("stderr.txt"))
                  .find("Build executable with Tickscope monitoring-code?"),
              std::string::npos);
}

TEST_F(BuildProcessTest, EndOfInputCountsAsNo) {
    ASSERT_EQ(Run(""), 0);
    EXPECT_TRUE(Snapshot(targets_.Path()).empty());
    EXPECT_TRUE(Snapshot(temp_.Path()).empty());
}

TEST_F(BuildProcessTest, YesWritesBothFiles) {
    ASSERT_EQ(Run("y\n"), 0);
    EXPECT_EQ(Snapshot(sources_.Path()), sourcesBefore_);
    EXPECT_TRUE(Snapshot(home_.Path()).empty());

    const std::string folder = sources_.Folder() + "prog/";
    const auto temp = Snapshot(temp_.Path());
    ASSERT_EQ(temp.size(), 1u);
    const std::string privateFolder = "tickscope-" + std::to_string(::getuid()) + "/";
    const std::string info = temp.at(privateFolder + "tickscope.src");
    const std::string expectedInfo =
        "Path = " + folder +
        "main.pb\r\n\r\n"
        "SourceFileIds = 2\r\n"
        "SourceFileId.1 = " +
        folder +
        "main.pb\r\n"
        "SourceFileId.2 = " +
        folder +
        "sub/b.pbi\r\n\r\n"
        "ScopeIds = 2\r\nScopeId.1 = ***main***\r\nScopeId.2 = b\r\n\r\n"
        "LinesOfCode = 7\r\n"
        "LineOfCode.1.SourceFileId = 1\r\nLineOfCode.1.LineNumber = 1\r\n"
        "LineOfCode.1.Code = XIncludeFile\\b\"sub/b.pbi\"\r\nLineOfCode.1.Instructions = 1\r\n"
        "LineOfCode.1.Instruction.1.ScopeId = 1\r\n"
        "LineOfCode.1.Instruction.1.Code = XIncludeFile\\b\"sub/b.pbi\"\r\n"
        "LineOfCode.2.SourceFileId = 2\r\nLineOfCode.2.LineNumber = 1\r\n"
        "LineOfCode.2.Code = Procedure\\bb()\r\nLineOfCode.2.Instructions = 1\r\n"
        "LineOfCode.2.Instruction.1.ScopeId = 2\r\nLineOfCode.2.Instruction.1.Code = "
        "Procedure\\bb()\r\n"
        "LineOfCode.3.SourceFileId = 2\r\nLineOfCode.3.LineNumber = 2\r\n"
        "LineOfCode.3.Code = \\b\\ba\\b{EQU}\\b1\\b:\\bc\\b{EQU}\\b2\r\nLineOfCode.3.Instructions "
        "= 2\r\n"
        "LineOfCode.3.Instruction.1.ScopeId = 2\r\n"
        "LineOfCode.3.Instruction.1.Code = \\b\\ba\\b{EQU}\\b1\\b:\r\n"
        "LineOfCode.3.Instruction.2.ScopeId = 2\r\n"
        "LineOfCode.3.Instruction.2.Code = \\bc\\b{EQU}\\b2\r\n"
        "LineOfCode.4.SourceFileId = 2\r\nLineOfCode.4.LineNumber = 3\r\n"
        "LineOfCode.4.Code = EndProcedure\r\nLineOfCode.4.Instructions = 1\r\n"
        "LineOfCode.4.Instruction.1.ScopeId = 2\r\nLineOfCode.4.Instruction.1.Code = "
        "EndProcedure\r\n"
        "LineOfCode.5.SourceFileId = 1\r\nLineOfCode.5.LineNumber = 2\r\n"
        "LineOfCode.5.Code = XIncludeFile\\b\"sub/b.pbi\"\r\nLineOfCode.5.Instructions = 1\r\n"
        "LineOfCode.5.Instruction.1.ScopeId = 1\r\n"
        "LineOfCode.5.Instruction.1.Code = XIncludeFile\\b\"sub/b.pbi\"\r\n"
        "LineOfCode.6.SourceFileId = 1\r\nLineOfCode.6.LineNumber = 3\r\n"
        "LineOfCode.6.Code = While\\bb()\\b:\\bWend\r\nLineOfCode.6.Instructions = 2\r\n"
        "LineOfCode.6.Instruction.1.ScopeId = 1\r\nLineOfCode.6.Instruction.1.Code = "
        "While\\bb()\\b\r\n"
        "LineOfCode.6.Instruction.2.ScopeId = 1\r\nLineOfCode.6.Instruction.2.Code = \\bWend\r\n"
        "LineOfCode.7.SourceFileId = 1\r\nLineOfCode.7.LineNumber = 4\r\n"
        "LineOfCode.7.Code = End\r\nLineOfCode.7.Instructions = 1\r\n"
        "LineOfCode.7.Instruction.1.ScopeId = 1\r\nLineOfCode.7.Instruction.1.Code = End\r\n";
    EXPECT_EQ(info, expectedInfo);

    const auto targets = Snapshot(targets_.Path());
    ASSERT_EQ(targets.size(), 1u);
    const std::string runtime = ReplaceAll(MonitoringRuntimeText(), "{tickscope.tempfolder}",
                                           temp_.Path().string() + "/" + privateFolder);
    const std::string expectedProgram =
        runtime + "tickscope_InitHiresTiming()\ntickscope_Begin()\n"
                  ";XIncludeFile \"sub/b.pbi\"\n"
                  "Procedure b()\n"
                  "Define tickscopevar.b\n"
                  "  a = 1 :\n"
                  "! pushf\n! pushad\ntickscope_AddStartEntry(2, 2, 2, #False)\n! popad\n! popf\n"
                  " c = 2\n"
                  "! pushf\n! pushad\ntickscope_AddStopEntry(2, 2, 2, #False)\n! popad\n! popf\n"
                  "EndProcedure\n"
                  ";XIncludeFile \"sub/b.pbi\"\n"
                  "! pushf\n! pushad\ntickscope_AddStartEntry(1, 3, 1, #False)\n! popad\n! popf\n"
                  "While b() \n"
                  "! pushf\n! pushad\ntickscope_AddStopEntry(1, 3, 1, #False)\n! popad\n! popf\n"
                  "! pushf\n! pushad\ntickscope_AddStartEntry(1, 3, 1, #False)\n! popad\n! popf\n"
                  " Wend\n"
                  "! pushf\n! pushad\ntickscope_AddStopEntry(1, 3, 1, #False)\n! popad\n! popf\n"
                  "tickscope_End()\n"
                  "End\n"
                  "\r\n";
    EXPECT_EQ(targets.at("compile me.pb"), expectedProgram);
}

TEST_F(BuildProcessTest, AFileSizeLimitMakesTheWriteFailNotTheProcess) {
    // 8 blocks of 512 or 1024 bytes: too small for the program information.
    ASSERT_EQ(Run("y\n", "ulimit -f 8"), 0);
    EXPECT_NE(Err().find("Tickscope: could not write "), std::string::npos) << Err();
    EXPECT_NE(Err().find("; the program is compiled without monitoring code\n"), std::string::npos);
    EXPECT_TRUE(Snapshot(targets_.Path()).empty());
    for (const auto& [name, bytes] : Snapshot(temp_.Path())) {
        EXPECT_EQ(name.find(".tks-"), std::string::npos) << name << " was left behind";
    }
    EXPECT_EQ(Snapshot(sources_.Path()), sourcesBefore_);
}

TEST_F(BuildProcessTest, ADisplayThatIsNotThereFallsBackToTheTerminal) {
    // No X server listens on display 77.
    ASSERT_FALSE(fs::exists("/tmp/.X11-unix/X77"));
    ASSERT_EQ(Run("y\n", "", "DISPLAY=:77"), 0);
    EXPECT_NE(Err().find("Build executable with Tickscope monitoring-code? [y/N]"),
              std::string::npos)
        << Err();
    EXPECT_EQ(Snapshot(targets_.Path()).size(), 1u);
    // The analyzer says it needs a display and ends normally.
    ASSERT_EQ(Run("", "", "DISPLAY=:77", false), 0);
    EXPECT_EQ(Err(), "Tickscope: the analyzer needs a display to open its window.\n");
}

} // namespace
} // namespace tickscope
