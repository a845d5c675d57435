#include "source/path_resolution.h"

#include <gtest/gtest.h>

#include <string>

namespace tickscope {
namespace {

struct ResolveCase {
    const char* name;
    std::string fileName;
    std::string includePath;
    PathStyle style;
    std::string expectedOpen;
    std::string expectedIncludePath;
};

class ResolveIncludeTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveIncludeTest, OpensExpectedPathWithExpectedIncludePath) {
    const ResolveCase& c = GetParam();
    const ResolvedInclude resolved = ResolveInclude(c.fileName, c.includePath, c.style);
    EXPECT_EQ(resolved.PathToOpen, c.expectedOpen);
    EXPECT_EQ(resolved.IncludePath, c.expectedIncludePath);
}

const ResolveCase kResolveCases[] = {
    // An empty include path: the name is opened as written and its folder becomes the path.
    {"EmptyPathBareName", "main.pb", "", PathStyle::Posix, "main.pb", ""},
    {"EmptyPathPosixFolder", "/src/app/main.pb", "", PathStyle::Posix, "/src/app/main.pb",
     "/src/app/"},
    {"EmptyPathWindowsFolder", "C:\\src\\main.pb", "", PathStyle::Windows, "C:\\src\\main.pb",
     "C:\\src\\"},
    {"EmptyPathLastOfEitherSeparator", "a/b\\c/d.pb", "", PathStyle::Posix, "a/b\\c/d.pb",
     "a/b\\c/"},
    {"EmptyPathBackslashOnPosix", "inc\\a.pbi", "", PathStyle::Posix, "inc\\a.pbi", "inc\\"},
    {"EmptyPathDoubledSeparatorsKept", "/src//a.pbi", "", PathStyle::Posix, "/src//a.pbi",
     "/src//"},
    // Relative names are joined to the include path.
    {"WindowsJoinSubfolder", "inc\\a.pb", "C:\\src\\", PathStyle::Windows, "C:\\src\\inc\\a.pb",
     "C:\\src\\"},
    {"WindowsJoinWithoutTrailingSeparator", "a.pbi", "C:\\src", PathStyle::Windows,
     "C:\\src\\a.pbi", "C:\\src"},
    {"WindowsManyTrailingSeparators", "a.pbi", "C:\\src\\\\\\", PathStyle::Windows,
     "C:\\src\\a.pbi", "C:\\src\\\\\\"},
    {"WindowsLeadingSeparatorInName", "\\inc\\\\a.pbi", "C:\\src\\", PathStyle::Windows,
     "C:\\src\\inc\\a.pbi", "C:\\src\\"},
    {"WindowsNetworkPathKeepsLeadingPair", "a.pbi", "\\\\server\\share\\", PathStyle::Windows,
     "\\\\server\\share\\a.pbi", "\\\\server\\share\\"},
    {"WindowsSlashIsNotCollapsed", "x//a.pbi", "C:\\src\\", PathStyle::Windows, "C:\\src\\x//a.pbi",
     "C:\\src\\"},
    {"PosixJoinWithTrailingSeparator", "inc/a.pbi", "/src/", PathStyle::Posix, "/src/inc/a.pbi",
     "/src/"},
    {"PosixJoinWithoutTrailingSeparator", "a.pbi", "/src", PathStyle::Posix, "/src/a.pbi", "/src"},
    {"PosixRelativeIncludePath", "a.pbi", "lib/", PathStyle::Posix, "lib/a.pbi", "lib/"},
    {"PosixBackslashesNotConverted", "inc\\a.pbi", "/src/", PathStyle::Posix, "/src/inc\\a.pbi",
     "/src/"},
    {"PosixDoubleSlashRootCollapsed", "a.pbi", "//srv//x/", PathStyle::Posix, "/srv/x/a.pbi",
     "//srv//x/"},
    // Absolute names are opened as written, whatever the include path.
    {"DriveLetterWindows", "D:\\lib\\x.pbi", "C:\\src\\", PathStyle::Windows, "D:\\lib\\x.pbi",
     "C:\\src\\"},
    {"DriveLetterPosix", "D:\\lib\\x.pbi", "/src/", PathStyle::Posix, "D:\\lib\\x.pbi", "/src/"},
    {"ColonAnywhere", "odd:name//x.pbi", "/src/", PathStyle::Posix, "odd:name//x.pbi", "/src/"},
    {"PosixRootedName", "/usr/lib//x.pbi", "/src/", PathStyle::Posix, "/usr/lib//x.pbi", "/src/"},
    {"RootedNameIsRelativeOnWindows", "\\lib\\x.pbi", "C:\\src", PathStyle::Windows,
     "C:\\src\\lib\\x.pbi", "C:\\src"},
    {"EmptyNameWithPath", "", "/src/", PathStyle::Posix, "/src/", "/src/"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ResolveIncludeTest, ::testing::ValuesIn(kResolveCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct CollapseCase {
    std::string input;
    PathStyle style;
    std::string expected;
};

TEST(CollapseSeparatorsTest, EveryRunBecomesOneSeparator) {
    const CollapseCase cases[] = {
        {"", PathStyle::Posix, ""},
        {"/", PathStyle::Posix, "/"},
        {"a//b///c////", PathStyle::Posix, "a/b/c/"},
        {"//a", PathStyle::Posix, "/a"},
        {"a\\\\b", PathStyle::Posix, "a\\\\b"},
        {"a\\\\b\\\\\\c", PathStyle::Windows, "a\\b\\c"},
        {"\\\\srv\\\\x", PathStyle::Windows, "\\\\srv\\x"},
        {"\\\\\\\\srv\\x\\\\\\y", PathStyle::Windows, "\\\\srv\\x\\y"},
        {"\\\\", PathStyle::Windows, "\\\\"},
        {"\\", PathStyle::Windows, "\\"},
        {"C:\\\\x\\", PathStyle::Windows, "C:\\x\\"},
        {"a//b", PathStyle::Windows, "a//b"},
    };
    for (const CollapseCase& c : cases) {
        EXPECT_EQ(CollapseSeparators(c.input, c.style), c.expected) << "input: " << c.input;
    }
}

TEST(CollapseSeparatorsTest, LongRunsCollapseInOnePass) {
    const std::string path = "/a" + std::string(100000, '/') + "b";
    EXPECT_EQ(CollapseSeparators(path, PathStyle::Posix), "/a/b");
}

TEST(IncludePathFromDirectiveTest, RelativeFoldersStartAtTheFilesFolder) {
    struct Case {
        std::string folder;
        std::string folderOfFile;
        PathStyle style;
        std::string expected;
    };
    const Case cases[] = {
        {"lib/", "/src/", PathStyle::Posix, "/src/lib/"},
        {"./../../", "/src/examples/core/", PathStyle::Posix, "/src/examples/core/./../../"},
        {"", "/src/", PathStyle::Posix, "/src/"},
        {"lib", "", PathStyle::Posix, "lib"},
        {"/opt/lib/", "/src/", PathStyle::Posix, "/opt/lib/"},
        {"D:\\lib\\", "/src/", PathStyle::Posix, "D:\\lib\\"},
        {"\\lib\\", "/src/", PathStyle::Posix, "/src/\\lib\\"},
        {"lib\\", "C:\\src\\", PathStyle::Windows, "C:\\src\\lib\\"},
        {"D:\\lib", "C:\\src\\", PathStyle::Windows, "D:\\lib"},
        {"\\\\server\\share", "C:\\src\\", PathStyle::Windows, "\\\\server\\share"},
        {"\\lib", "C:\\src\\", PathStyle::Windows, "\\lib"},
        {"/lib", "C:\\src\\", PathStyle::Windows, "/lib"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IncludePathFromDirective(c.folder, c.folderOfFile, c.style), c.expected)
            << c.folder << " in " << c.folderOfFile;
    }
}

TEST(PathPartTest, UpToAndIncludingLastSeparator) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"main.pb", ""},
        {"/", "/"},
        {"\\", "\\"},
        {"/a/b.pb", "/a/"},
        {"a\\b/c.pb", "a\\b/"},
        {"a/b\\c.pb", "a/b\\"},
        {"C:\\dir\\", "C:\\dir\\"},
        {"C:main.pb", ""},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(PathPart(input), expected) << "input: " << input;
    }
}

} // namespace
} // namespace tickscope
