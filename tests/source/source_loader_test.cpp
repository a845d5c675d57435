#include "loader_test_support.h"

#include "source/text_utils.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tickscope {
namespace {

using testing::Codes;
using testing::KeyOfId;
using testing::LineOrigins;
using testing::Lines;
using testing::Load;
using testing::TempFolder;

using FileList = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Writes the files; "{F}" in a line stands for the folder (with its trailing separator).
void WriteFiles(const TempFolder& folder, const FileList& files) {
    for (const auto& [name, lines] : files) {
        std::vector<std::string> text;
        for (const std::string& line : lines) {
            text.push_back(ReplaceAll(line, "{F}", folder.Folder()));
        }
        folder.Write(name, Lines(text));
    }
}

struct IncludeCase {
    const char* name;
    FileList files; // the first one is loaded
    std::vector<std::string> expectedOrigins;
    std::size_t expectedFileCount;
};

void PrintTo(const IncludeCase& c, std::ostream* out) {
    *out << c.name;
}

class IncludeScenarioTest : public ::testing::TestWithParam<IncludeCase> {};

TEST_P(IncludeScenarioTest, LinesFollowCompileOrder) {
    const IncludeCase& c = GetParam();
    TempFolder folder;
    WriteFiles(folder, c.files);
    const ProgramInfo program = Load(folder.File(c.files.front().first));
    EXPECT_EQ(LineOrigins(program, folder.Folder()), c.expectedOrigins);
    EXPECT_EQ(program.SourceFileIds.Size(), c.expectedFileCount);
    for (const LineOfCode& line : program.LinesOfCode) {
        EXPECT_FALSE(KeyOfId(program, line.SourceFileId).empty()) << line.Code;
        EXPECT_FALSE(line.Instructions.empty()) << line.Code;
    }
}

const std::vector<std::string> kInc = {"x = 1", "y = 2"};
const std::vector<std::string> kOther = {"z = 3"};

const IncludeCase kIncludeCases[] = {
    {"IncludeFileReadsInPlace",
     {{"main.pb", {"a = 1", "IncludeFile \"inc.pbi\"", "b = 2"}}, {"inc.pbi", kInc}},
     {"main.pb:1", "main.pb:2", "inc.pbi:1", "inc.pbi:2", "main.pb:3"},
     2},
    {"XIncludeFileTwiceReadsOnce",
     {{"main.pb", {"XIncludeFile \"inc.pbi\"", "XIncludeFile \"inc.pbi\""}}, {"inc.pbi", kInc}},
     {"main.pb:1", "inc.pbi:1", "inc.pbi:2", "main.pb:2"},
     2},
    {"IncludeFileTwiceReadsTwice",
     {{"main.pb", {"IncludeFile \"inc.pbi\"", "IncludeFile \"inc.pbi\""}}, {"inc.pbi", kInc}},
     {"main.pb:1", "inc.pbi:1", "inc.pbi:2", "main.pb:2", "inc.pbi:1", "inc.pbi:2"},
     3},
    {"IncludeFileAfterXIncludeFileReadsAgain",
     {{"main.pb", {"XIncludeFile \"inc.pbi\"", "IncludeFile \"inc.pbi\""}}, {"inc.pbi", kInc}},
     {"main.pb:1", "inc.pbi:1", "inc.pbi:2", "main.pb:2", "inc.pbi:1", "inc.pbi:2"},
     3},
    {"XIncludeFileAfterIncludeFileSkipped",
     {{"main.pb", {"IncludeFile \"inc.pbi\"", "XIncludeFile \"inc.pbi\""}}, {"inc.pbi", kInc}},
     {"main.pb:1", "inc.pbi:1", "inc.pbi:2", "main.pb:2"},
     2},
    {"SameBytesUnderAnotherNameSkipped",
     {{"main.pb", {"XIncludeFile \"a.pbi\"", "XIncludeFile \"b.pbi\""}},
      {"a.pbi", kInc},
      {"b.pbi", kInc}},
     {"main.pb:1", "a.pbi:1", "a.pbi:2", "main.pb:2"},
     2},
    {"CopyOfIncludedFileSkippedByXIncludeFile",
     {{"main.pb", {"IncludeFile \"a.pbi\"", "XIncludeFile \"b.pbi\""}},
      {"a.pbi", kInc},
      {"b.pbi", kInc}},
     {"main.pb:1", "a.pbi:1", "a.pbi:2", "main.pb:2"},
     2},
    {"CopyReadByIncludeFile",
     {{"main.pb", {"XIncludeFile \"a.pbi\"", "IncludeFile \"b.pbi\""}},
      {"a.pbi", kInc},
      {"b.pbi", kInc}},
     {"main.pb:1", "a.pbi:1", "a.pbi:2", "main.pb:2", "b.pbi:1", "b.pbi:2"},
     3},
    {"SameSizeDifferentBytesBothRead",
     {{"main.pb", {"XIncludeFile \"a.pbi\"", "XIncludeFile \"c.pbi\""}},
      {"a.pbi", {"x = 1"}},
      {"c.pbi", {"x = 2"}}},
     {"main.pb:1", "a.pbi:1", "main.pb:2", "c.pbi:1"},
     3},
    {"CopyOfTheMainFileRecognisedInsideIt",
     {{"main.pb", {"XIncludeFile \"a.pbi\"", "XIncludeFile \"main.pb\"", "m = 1"}},
      {"a.pbi", {"XIncludeFile \"a.pbi\"", "XIncludeFile \"main.pb\"", "m = 1"}}},
     {"main.pb:1", "a.pbi:1", "a.pbi:2", "a.pbi:3", "main.pb:2", "main.pb:3"},
     2},
    {"DifferentBytesBothRead",
     {{"main.pb", {"XIncludeFile \"a.pbi\"", "XIncludeFile \"c.pbi\""}},
      {"a.pbi", kInc},
      {"c.pbi", kOther}},
     {"main.pb:1", "a.pbi:1", "a.pbi:2", "main.pb:2", "c.pbi:1"},
     3},
    {"XIncludeFileInNestedFileSeesEarlierFiles",
     {{"main.pb", {"XIncludeFile \"a.pbi\"", "IncludeFile \"b.pbi\""}},
      {"a.pbi", kInc},
      {"b.pbi", {"XIncludeFile \"a.pbi\"", "w = 1"}}},
     {"main.pb:1", "a.pbi:1", "a.pbi:2", "main.pb:2", "b.pbi:1", "b.pbi:2"},
     3},
    {"DirectiveInStringIgnored",
     {{"main.pb", {"x$ = \"IncludeFile inc.pbi\"", "y$ = 'IncludeFile'"}}, {"inc.pbi", kInc}},
     {"main.pb:1", "main.pb:2"},
     1},
    {"DirectiveInCommentIgnored",
     {{"main.pb", {"; IncludeFile \"inc.pbi\"", "a = 1 ; XIncludeFile \"inc.pbi\""}},
      {"inc.pbi", kInc}},
     {"main.pb:1", "main.pb:2"},
     1},
    {"DirectiveAfterColonFollowed",
     {{"main.pb", {"a = 1 : IncludeFile \"inc.pbi\"", "b = 2"}}, {"inc.pbi", kInc}},
     {"main.pb:1", "inc.pbi:1", "inc.pbi:2", "main.pb:2"},
     2},
    {"KeywordInAnyLetterCase",
     {{"main.pb", {"includefile \"inc.pbi\"", "INCLUDEFILE \"inc.pbi\""}}, {"inc.pbi", kOther}},
     {"main.pb:1", "inc.pbi:1", "main.pb:2", "inc.pbi:1"},
     3},
    {"KeywordMustBeWholeWord",
     {{"main.pb", {"MyIncludeFile \"inc.pbi\"", "IncludeFiles \"inc.pbi\""}}, {"inc.pbi", kOther}},
     {"main.pb:1", "main.pb:2"},
     1},
    {"MissingIncludeSkipped",
     {{"main.pb", {"IncludeFile \"missing.pbi\"", "XIncludeFile \"missing.pbi\"", "a = 1"}}},
     {"main.pb:1", "main.pb:2", "main.pb:3"},
     1},
    {"NestedIncludesDepthFirst",
     {{"main.pb", {"IncludeFile \"a.pbi\"", "m = 2"}},
      {"a.pbi", {"IncludeFile \"b.pbi\"", "a = 2"}},
      {"b.pbi", {"b = 1"}}},
     {"main.pb:1", "a.pbi:1", "b.pbi:1", "a.pbi:2", "main.pb:2"},
     3},
    {"QuotedNameWithSpace",
     {{"main.pb", {"IncludeFile \"my file.pbi\""}}, {"my file.pbi", kOther}},
     {"main.pb:1", "my file.pbi:1"},
     2},
    {"NameGivenAsExpressionNotFound",
     {{"main.pb", {"IncludeFile #Folder + \"inc.pbi\""}}, {"inc.pbi", kOther}},
     {"main.pb:1"},
     1},
    {"IncludePathActsAloneOnItsLine",
     {{"main.pb", {"IncludePath \"{F}lib/\" : IncludeFile \"inc.pbi\"", "IncludeFile \"inc.pbi\""}},
      {"inc.pbi", kInc},
      {"lib/inc.pbi", kOther}},
     {"main.pb:1", "main.pb:2", "lib/inc.pbi:1"},
     2},
    {"IncludePathChangesLaterIncludes",
     {{"main.pb", {"IncludeFile \"inc.pbi\"", "IncludePath \"{F}lib\"", "IncludeFile \"inc.pbi\""}},
      {"inc.pbi", kOther},
      {"lib/inc.pbi", kInc}},
     {"main.pb:1", "inc.pbi:1", "main.pb:2", "main.pb:3", "lib/inc.pbi:1", "lib/inc.pbi:2"},
     3},
    {"TrailingSeparatorsOfIncludePathCollapsed",
     {{"main.pb", {"IncludePath \"{F}lib///\"", "IncludeFile \"inc.pbi\""}},
      {"lib/inc.pbi", kOther}},
     {"main.pb:1", "main.pb:2", "lib/inc.pbi:1"},
     2},
    {"RelativeIncludePathStartsAtFileFolder",
     {{"main.pb", {"IncludePath \"lib/\"", "IncludeFile \"inc.pbi\""}},
      {"inc.pbi", kInc},
      {"lib/inc.pbi", kOther}},
     {"main.pb:1", "main.pb:2", "lib/inc.pbi:1"},
     2},
    {"RelativeIncludePathOfIncludedFileStartsAtItsFolder",
     {{"main.pb", {"IncludeFile \"sub/a.pbi\"", "IncludeFile \"inc.pbi\""}},
      {"sub/a.pbi", {"IncludePath \"./../lib\"", "IncludeFile \"inc.pbi\""}},
      {"inc.pbi", kInc},
      {"lib/inc.pbi", kOther}},
     {"main.pb:1", "sub/a.pbi:1", "sub/a.pbi:2", "sub/./../lib/inc.pbi:1", "main.pb:2",
      "sub/./../lib/inc.pbi:1"},
     4},
    {"IncludePathOfIncludedFileComesBack",
     {{"main.pb", {"IncludeFile \"setpath.pbi\"", "IncludeFile \"inc.pbi\""}},
      {"setpath.pbi", {"IncludePath \"{F}lib/\""}},
      {"inc.pbi", kOther},
      {"lib/inc.pbi", kInc}},
     {"main.pb:1", "setpath.pbi:1", "main.pb:2", "lib/inc.pbi:1", "lib/inc.pbi:2"},
     3},
    {"IncludePathComesBackThroughTwoLevels",
     {{"main.pb", {"IncludeFile \"a.pbi\"", "IncludeFile \"inc.pbi\""}},
      {"a.pbi", {"IncludeFile \"setpath.pbi\"", "IncludeFile \"inc.pbi\""}},
      {"setpath.pbi", {"IncludePath \"{F}lib/\""}},
      {"inc.pbi", kOther},
      {"lib/inc.pbi", {"q = 1"}}},
     {"main.pb:1", "a.pbi:1", "setpath.pbi:1", "a.pbi:2", "lib/inc.pbi:1", "main.pb:2",
      "lib/inc.pbi:1"},
     5},
};

INSTANTIATE_TEST_SUITE_P(Cases, IncludeScenarioTest, ::testing::ValuesIn(kIncludeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LoadSourceTest, IdsAndKeysInOpeningOrder) {
    TempFolder folder;
    WriteFiles(
        folder,
        {{"main.pb", {"IncludeFile \"a.pbi\"", "IncludeFile \"c.pbi\"", "IncludeFile \"a.pbi\""}},
         {"a.pbi", {"IncludeFile \"b.pbi\""}},
         {"b.pbi", {"b = 1"}},
         {"c.pbi", {"c = 1"}}});
    const std::string f = folder.Folder();
    const ProgramInfo program = Load(f + "main.pb");
    const std::vector<std::pair<std::string, int>> expected = {
        {f + "main.pb", 1}, {f + "a.pbi", 2},   {f + "b.pbi", 3},
        {f + "c.pbi", 4},   {f + "a.pbi#5", 5}, {f + "b.pbi#6", 6}};
    EXPECT_EQ(program.SourceFileIds.Entries(), expected);
    std::vector<int> ids;
    for (const LineOfCode& line : program.LinesOfCode) {
        ids.push_back(line.SourceFileId);
    }
    EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 1, 4, 1, 5, 6}));
    EXPECT_EQ(program.Path, f + "main.pb");
}

TEST(LoadSourceTest, KeyOfReopenedFileNeverReplacesAnotherEntry) {
    TempFolder folder;
    // The second open of inc.pbi gets id 4, and "inc.pbi#4" is already a real file's key.
    WriteFiles(folder, {{"main.pb",
                         {"IncludeFile \"inc.pbi#4\"", "IncludeFile \"inc.pbi\"",
                          "IncludeFile \"inc.pbi\""}},
                        {"inc.pbi#4", {"p = 1"}},
                        {"inc.pbi", {"q = 1"}}});
    const ProgramInfo program = Load(folder.File("main.pb"));
    ASSERT_EQ(program.SourceFileIds.Size(), 4u);
    std::vector<int> values;
    for (const auto& [key, value] : program.SourceFileIds) {
        values.push_back(value);
    }
    EXPECT_EQ(values, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(program.SourceFileIds.Get(folder.Folder() + "inc.pbi#4"), 2);
}

TEST(LoadSourceTest, ByteOrderMarksSkipped) {
    using namespace std::string_literals;
    const std::string marks[] = {"",         "\xEF\xBB\xBF",  "\xFF\xFE",
                                 "\xFE\xFF", "\xFF\xFE\0\0"s, "\0\0\xFE\xFF"s};
    for (const std::string& mark : marks) {
        TempFolder folder;
        folder.Write("inc.pbi", mark + "x = 1\r\ny = 2");
        const std::string main =
            folder.Write("main.pb", mark + "IncludeFile \"inc.pbi\"\r\nz = 3\r\n");
        const ProgramInfo program = Load(main);
        EXPECT_EQ(Codes(program),
                  (std::vector<std::string>{"IncludeFile \"inc.pbi\"", "x = 1", "y = 2", "z = 3"}))
            << "mark of " << mark.size() << " bytes";
    }
    TempFolder folder;
    // Only one mark is skipped; a second one is text. A file holding only a mark has no lines.
    const ProgramInfo twice = Load(folder.Write("twice.pb", "\xEF\xBB\xBF\xEF\xBB\xBFx = 1"));
    EXPECT_EQ(Codes(twice), (std::vector<std::string>{"\xEF\xBB\xBFx = 1"}));
    const ProgramInfo markOnly = Load(folder.Write("mark.pb", "\xEF\xBB\xBF"));
    EXPECT_TRUE(markOnly.LinesOfCode.empty());
    EXPECT_EQ(markOnly.SourceFileIds.Size(), 1u);
}

TEST(LoadSourceTest, MixedLineEndsAndLastLine) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"a = 1\r\nb = 2\rc = 3\nd = 4", {"a = 1", "b = 2", "c = 3", "d = 4"}},
        {"a = 1\n", {"a = 1"}},
        {"a = 1\r", {"a = 1"}},
        {"a = 1\r\n\r\n", {"a = 1", ""}},
        {"\n\r\n\r", {"", "", ""}},
        {"", {}},
    };
    for (const auto& [text, expected] : cases) {
        TempFolder folder;
        const ProgramInfo program = Load(folder.Write("main.pb", text));
        EXPECT_EQ(Codes(program), expected);
        int number = 0;
        for (const LineOfCode& line : program.LinesOfCode) {
            EXPECT_EQ(line.LineNumber, ++number);
            EXPECT_EQ(line.SourceFileId, 1);
        }
    }
}

TEST(LoadSourceTest, ReturnsIncludePathInForce) {
    struct Case {
        FileList files;
        std::string expected; // "{F}" is the folder
    };
    const Case cases[] = {
        {{{"main.pb", {"a = 1"}}}, "{F}"},
        {{{"main.pb", {"IncludePath \"{F}lib/\"", "a = 1"}}}, "{F}lib/"},
        {{{"main.pb", {"IncludeFile \"a.pbi\""}}, {"a.pbi", {"IncludePath \"/elsewhere\""}}},
         "/elsewhere"},
        {{{"main.pb", {"IncludePath \"/p\"", "IncludeFile \"/missing.pbi\""}}}, "/p"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        WriteFiles(folder, c.files);
        ProgramInfo program;
        EXPECT_EQ(LoadSource(folder.File("main.pb"), "", program),
                  ReplaceAll(c.expected, "{F}", folder.Folder()));
    }
}

TEST(LoadSourceTest, GivenIncludePathResolvesTopLevelName) {
    TempFolder folder;
    WriteFiles(folder, {{"lib/main.pb", {"IncludeFile \"inc.pbi\""}}, {"lib/inc.pbi", kOther}});
    ProgramInfo program;
    const std::string returned = LoadSource("main.pb", folder.Folder() + "lib", program);
    EXPECT_EQ(returned, folder.Folder() + "lib");
    EXPECT_EQ(program.Path, "main.pb");
    EXPECT_EQ(LineOrigins(program, folder.Folder()),
              (std::vector<std::string>{"lib/main.pb:1", "lib/inc.pbi:1"}));
}

TEST(LoadSourceTest, RelativeNamesWithEmptyIncludePath) {
    TempFolder folder;
    WriteFiles(folder, {{"main.pb", {"IncludeFile \"sub/a.pbi\"", "IncludeFile \"b.pbi\""}},
                        {"sub/a.pbi", {"a = 1"}},
                        {"sub/b.pbi", {"in sub"}},
                        {"b.pbi", {"beside main"}}});
    testing::WorkingFolder working(folder.Folder());
    const ProgramInfo program = Load("main.pb");
    // The included file's folder becomes the include path and comes back to its includer.
    EXPECT_EQ(Codes(program), (std::vector<std::string>{"IncludeFile \"sub/a.pbi\"", "a = 1",
                                                        "IncludeFile \"b.pbi\"", "in sub"}));
    EXPECT_EQ(program.SourceFileIds.Get("main.pb"), 1);
    EXPECT_EQ(program.SourceFileIds.Get("sub/a.pbi"), 2);
    EXPECT_EQ(program.SourceFileIds.Get("sub/b.pbi"), 3);
}

TEST(LoadSourceTest, NameWithColonOpenedAsWritten) {
    TempFolder folder;
    WriteFiles(folder, {{"main.pb", {"IncludePath \"{F}lib/\"", "IncludeFile \"c:x.pbi\""}},
                        {"c:x.pbi", {"as written"}},
                        {"lib/c:x.pbi", {"joined"}}});
    testing::WorkingFolder working(folder.Folder());
    const ProgramInfo program = Load(folder.File("main.pb"));
    ASSERT_EQ(program.LinesOfCode.size(), 3u);
    EXPECT_EQ(program.LinesOfCode[2].Code, "as written");
    EXPECT_EQ(program.SourceFileIds.Get("c:x.pbi"), 2);
}

TEST(LoadSourceTest, MissingTopLevelFileStillYieldsMainProgram) {
    TempFolder folder;
    std::filesystem::create_directories(folder.Path() / "folder.pb");
    const std::pair<std::string, std::string> cases[] = {
        {folder.File("missing.pb"), folder.Folder()},
        {folder.File("folder.pb"), folder.Folder()},
        {"", ""},
        {"nothing.pb", ""},
    };
    for (const auto& [name, includePath] : cases) {
        ProgramInfo program;
        EXPECT_EQ(LoadSource(name, "", program), includePath);
        EXPECT_EQ(program.Path, name);
        EXPECT_TRUE(program.LinesOfCode.empty());
        EXPECT_TRUE(program.SourceFileIds.Empty());
        EXPECT_EQ(program.ScopeIds.Get(kMainScopeName), kMainScopeId);
        EXPECT_TRUE(program.IsExecutable);
        EXPECT_FALSE(program.IsSharedDll);
    }
}

TEST(LoadSourceTest, IncludeCyclesStopAtFilesBeingRead) {
    struct Case {
        const char* name;
        FileList files;
        std::vector<std::string> expectedOrigins;
    };
    const Case cases[] = {
        {"SelfInclude",
         {{"main.pb", {"IncludeFile \"main.pb\"", "a = 1"}}},
         {"main.pb:1", "main.pb:2"}},
        {"SelfIncludeByOtherSpelling",
         {{"main.pb", {"IncludeFile \"{F}./main.pb\"", "IncludeFile \"{F}sub/../main.pb\""}},
          {"sub/x.pbi", {"x"}}},
         {"main.pb:1", "main.pb:2"}},
        {"TwoFileCycle",
         {{"main.pb", {"IncludeFile \"a.pbi\"", "m = 1"}},
          {"a.pbi", {"IncludeFile \"b.pbi\"", "a = 1"}},
          {"b.pbi", {"IncludeFile \"a.pbi\"", "b = 1"}}},
         {"main.pb:1", "a.pbi:1", "b.pbi:1", "b.pbi:2", "a.pbi:2", "main.pb:2"}},
        {"CycleBackToTopLevel",
         {{"main.pb", {"IncludeFile \"a.pbi\"", "m = 1"}},
          {"a.pbi", {"XIncludeFile \"main.pb\"", "a = 1"}}},
         {"main.pb:1", "a.pbi:1", "a.pbi:2", "main.pb:2"}},
        {"SiblingsAreNoCycle",
         {{"main.pb", {"IncludeFile \"a.pbi\"", "IncludeFile \"a.pbi\""}}, {"a.pbi", {"a = 1"}}},
         {"main.pb:1", "a.pbi:1", "main.pb:2", "a.pbi:1"}},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        WriteFiles(folder, c.files);
        const ProgramInfo program = Load(folder.File("main.pb"));
        EXPECT_EQ(LineOrigins(program, folder.Folder()), c.expectedOrigins) << c.name;
    }
}

TEST(LoadSourceTest, LoadsAreIndependent) {
    TempFolder folder;
    WriteFiles(folder, {{"main.pb", {"XIncludeFile \"a.pbi\"", "Procedure P()", "EndProcedure"}},
                        {"a.pbi", {"IncludeFile \"main.pb\"", "a = 1"}}});
    const ProgramInfo first = Load(folder.File("main.pb"));
    const ProgramInfo second = Load(folder.File("main.pb"));
    EXPECT_EQ(first.LinesOfCode.size(), 5u);
    EXPECT_EQ(LineOrigins(second, folder.Folder()), LineOrigins(first, folder.Folder()));
    EXPECT_EQ(second.SourceFileIds.Entries(), first.SourceFileIds.Entries());
    EXPECT_EQ(second.ScopeIds.Entries(), first.ScopeIds.Entries());
}

TEST(LoadSourceTest, SourceFilesAreNeverModified) {
    TempFolder folder;
    const FileList files = {
        {"main.pb",
         {"IncludeFile \"a.pbi\"", "x = a +", "b", "IncludeFile \"a.pbi\"",
          "Procedure P() : EndProcedure", "; ExecutableFormat = Shared Dll"}},
        {"a.pbi", {"IncludePath \"{F}\"", "XIncludeFile \"main.pb\"", "y = 1 : z = 2"}}};
    WriteFiles(folder, files);
    const std::string before[] = {testing::ReadFileBytes(folder.File("main.pb")),
                                  testing::ReadFileBytes(folder.File("a.pbi"))};
    const ProgramInfo program = Load(folder.File("main.pb"));
    EXPECT_GE(program.LinesOfCode.size(), 9u);
    EXPECT_EQ(testing::ReadFileBytes(folder.File("main.pb")), before[0]);
    EXPECT_EQ(testing::ReadFileBytes(folder.File("a.pbi")), before[1]);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(FileFingerprintTest, DigestOfBytesOrEmpty) {
    TempFolder folder;
    using namespace std::string_literals;
    EXPECT_EQ(FileFingerprint(folder.Write("abc.pbi", "abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(FileFingerprint(folder.Write("empty.pbi", "")), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(FileFingerprint(folder.Write("bom.pbi", "\xEF\xBB\xBF"
                                                      "abc"))
                  .size(),
              32u);
    EXPECT_NE(FileFingerprint(folder.File("bom.pbi")), FileFingerprint(folder.File("abc.pbi")));
    EXPECT_EQ(FileFingerprint(folder.File("missing.pbi")), "");
    EXPECT_EQ(FileFingerprint(folder.File("abc.pbi") + "\0"s), "");
    EXPECT_EQ(FileFingerprint(folder.Folder()), "");
}

} // namespace
} // namespace tickscope
