// The Windows implementation of the platform layer, run under Windows or Wine: the home and
// temporary folders, environment variables, the IDE's window title, folder listing, file
// sizes, reading regular files only, the atomic file writer, folders, the local date and
// the ids. scripts/windows-test.sh builds it with MinGW-w64 and runs it under Wine.
#include "platform/file_reading.h"
#include "platform/file_writer.h"
#include "platform/platform.h"

#include "common/temp_folder.h"
#include "platform_portable_cases.h"

#include <gtest/gtest.h>

// windows.h must come first.
// clang-format off
#include <windows.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tickscope {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;
namespace fs = std::filesystem;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// Sets an environment variable of this process for the scope (nothing removes it).
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        const DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
        if (needed > 0) {
            std::string old(needed, '\0');
            old.resize(GetEnvironmentVariableA(name, old.data(), needed));
            old_ = old;
        }
        SetEnvironmentVariableA(name, value);
    }
    ~ScopedVariable() { SetEnvironmentVariableA(name_, old_ ? old_->c_str() : nullptr); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(WindowsFolders, HomeIsTheProfileAndTempIsTheLongName) {
    EXPECT_EQ(platform::PathSeparator(), '\\');
    const std::string home = platform::HomeFolder();
    ASSERT_FALSE(home.empty());
    EXPECT_EQ(home.back(), '\\');
    EXPECT_TRUE(fs::is_directory(home)) << home;
    const std::string profile = platform::EnvironmentVariable("USERPROFILE");
    if (!profile.empty()) {
        EXPECT_EQ(Lower(home), Lower(profile + "\\"));
    }

    const std::string temp = platform::TempFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_TRUE(fs::is_directory(temp)) << temp;

    // A temporary folder named by its short 8.3 name comes back in its long form.
    TempFolder scratch;
    const fs::path longFolder = scratch.Path() / "A Long Folder Name For Temp";
    fs::create_directories(longFolder);
    char shortName[MAX_PATH] = {};
    const DWORD length = GetShortPathNameA(longFolder.string().c_str(), shortName, MAX_PATH);
    ASSERT_GT(length, 0u);
    ScopedVariable tmp("TMP", shortName);
    ScopedVariable tempVariable("TEMP", shortName);
    EXPECT_EQ(Lower(platform::TempFolder()), Lower(longFolder.string() + "\\")) << shortName;
    std::string why;
    EXPECT_EQ(platform::PrivateBuildFolder("C:\\temp", why), std::string("C:\\temp\\"));
}

TEST(WindowsEnvironment, VariablesAreReadWhole) {
    EXPECT_EQ(platform::EnvironmentVariable("TICKSCOPE_TEST_UNSET"), "");
    {
        const std::string long_(5000, 'v');
        ScopedVariable set("TICKSCOPE_TEST_VARIABLE", long_.c_str());
        EXPECT_EQ(platform::EnvironmentVariable("TICKSCOPE_TEST_VARIABLE"), long_);
    }
    {
        ScopedVariable set("TICKSCOPE_TEST_VARIABLE", "a=b c");
        EXPECT_EQ(platform::EnvironmentVariable("TICKSCOPE_TEST_VARIABLE"), "a=b c");
    }
    EXPECT_TRUE(platform::HasDisplay());
}

// A top-level window of this process with the given title, as the IDE's main window is.
class TitledWindow {
  public:
    explicit TitledWindow(const std::string& title) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TickscopeTestIdeWindow";
        RegisterClassA(&windowClass); // a second registration fails harmlessly
        window_ = CreateWindowExA(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 200, 100, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    }
    ~TitledWindow() { Destroy(); }
    void Destroy() {
        if (window_) {
            DestroyWindow(window_);
            window_ = nullptr;
        }
    }
    HWND Handle() const { return window_; }
    std::int64_t Number() const {
        return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(window_));
    }

  private:
    HWND window_ = nullptr;
};

TEST(WindowsWindowTitle, ReadsTheTitleOfAnExistingWindowOnly) {
    struct Case {
        std::string Title;
        std::string Read;
    };
    const std::vector<Case> cases = {
        {"PureBasic 6.10 LTS (x64) - C:\\src\\game.pb",
         "PureBasic 6.10 LTS (x64) - C:\\src\\game.pb"},
        {"", ""},
        {std::string(1500, 't'), std::string(1023, 't')}, // a buffer of 1024 characters
    };
    for (const Case& c : cases) {
        TitledWindow window(c.Title);
        ASSERT_NE(window.Handle(), nullptr) << "no window could be created";
        EXPECT_EQ(platform::WindowTitle(window.Number()), c.Read) << c.Title.size();
        const std::int64_t number = window.Number();
        window.Destroy();
        EXPECT_EQ(platform::WindowTitle(number), "") << "a window that no longer exists";
    }
    EXPECT_EQ(platform::WindowTitle(0), "");
    EXPECT_EQ(platform::WindowTitle(0x7FFFFFF0), "");
}

TEST(WindowsListFolder, FiltersBySuffixIgnoringCaseAndShortNames) {
    TempFolder folder;
    for (const char* name :
         {"1700000000-1.tkr", "1700000000-1.tkl", "B.TKR", "c.tkr.bak", "long-name.tkrx", "tkr"}) {
        folder.Write(name, "");
    }
    fs::create_directories(folder.Path() / "folder.tkr");
    struct Case {
        std::string Suffix;
        std::vector<std::string> Names;
    };
    const std::vector<Case> cases = {
        // "*.tkr" also matches the short name of "long-name.tkrx" (LONG-N~1.TKR).
        {".tkr", {"1700000000-1.tkr", "B.TKR", "folder.tkr"}},
        {".tkl", {"1700000000-1.tkl"}},
        {".none", {}},
    };
    for (const Case& c : cases) {
        const auto names = platform::ListFolder(folder.Folder(), c.Suffix);
        ASSERT_TRUE(names.has_value()) << c.Suffix;
        EXPECT_EQ(Sorted(*names), c.Names) << c.Suffix;
    }
    // Without the trailing separator the same.
    EXPECT_EQ(Sorted(platform::ListFolder(folder.Path().string(), ".tkl").value()),
              std::vector<std::string>{"1700000000-1.tkl"});
    EXPECT_FALSE(platform::ListFolder(folder.File("missing"), ".tkr").has_value());
    EXPECT_FALSE(platform::ListFolder(folder.Folder() + std::string("\0x", 2), "").has_value());
}

TEST(WindowsFiles, SizesAndRegularFilesOnly) {
    TempFolder folder;
    const std::string crlf = folder.Write("crlf.pb", std::string("a\r\nb\0\n", 6));
    EXPECT_EQ(platform::FileSize(folder.Write("empty", "")), 0);
    EXPECT_EQ(platform::FileSize(crlf), 6);
    EXPECT_EQ(platform::FileSize(folder.Write("big", std::string(3 << 20, 'x'))), 3 << 20);
    EXPECT_EQ(platform::FileSize(folder.File("missing")), -1);
    EXPECT_EQ(platform::FileSize(crlf + std::string("\0", 1)), -1);

    // The bytes as they are: no text-mode translation of CR LF.
    EXPECT_EQ(platform::ReadWholeFile(crlf).value_or(""), std::string("a\r\nb\0\n", 6));
    const auto opened = platform::OpenRegularFile(crlf);
    ASSERT_TRUE(opened.has_value());
    EXPECT_EQ(opened->Size, 6u);
    fs::create_directories(folder.Path() / "folder.pbi");
    for (const std::string& name :
         {std::string(), folder.File("missing.pb"), folder.File("folder.pbi"), std::string("NUL"),
          std::string("CON"), crlf + std::string("\0.bak", 5)}) {
        EXPECT_FALSE(platform::OpenRegularFile(name).has_value()) << name;
        EXPECT_FALSE(platform::ReadWholeFile(name).has_value()) << name;
    }
    EXPECT_EQ(platform::ReadProblem(folder.File("missing.pb"), 100), "it does not exist");
    EXPECT_EQ(platform::ReadProblem(folder.File("folder.pbi"), 100), "it is a folder");
    EXPECT_EQ(platform::ReadProblem(folder.Write("large", std::string(2 << 20, 'x')), 1 << 20),
              "it is larger than 1 MB");
    EXPECT_EQ(platform::ReadProblem("", 100), "no file was named");
}

TEST(WindowsRealPath, ResolvesToAPlainAbsolutePath) {
    TempFolder folder;
    const std::string file = folder.Write("sub\\file.pb", "x");
    const auto real = platform::RealPath(file);
    ASSERT_TRUE(real.has_value());
    EXPECT_EQ(Lower(*real), Lower(fs::absolute(file).string()));
    EXPECT_EQ(platform::RealPath(folder.File("sub\\..\\sub\\.\\file.pb")), real);
    EXPECT_EQ(platform::RealPath(folder.File("sub/file.pb")), real);
    EXPECT_FALSE(platform::RealPath(folder.File("missing.pb")).has_value());
    EXPECT_FALSE(platform::RealPath(file + std::string("\0.bak", 5)).has_value());
    EXPECT_FALSE(platform::RealPath("").has_value());
}

TEST(WindowsWriter, AFolderInTheTargetsPlaceIsRefusedAtOnce) {
    TempFolder folder;
    const std::string existing = folder.Write("keep.pb", "original");
    folder.Write("folder\\inner", "x");
    platform::FileWriter writer;
    EXPECT_FALSE(writer.Open(folder.File("folder"), {}));
    EXPECT_FALSE(writer.Error().empty());
    // Abandoned: the target keeps its content and no temporary file stays.
    {
        platform::FileWriter abandoned;
        ASSERT_TRUE(abandoned.Open(existing, {}));
        EXPECT_TRUE(abandoned.Write("half"));
    }
    EXPECT_EQ(ReadFileBytes(existing), "original");
    EXPECT_EQ(Sorted(platform::ListFolder(folder.Folder(), "").value()),
              (std::vector<std::string>{"folder", "keep.pb"}));
}

TEST(WindowsClock, LocalDateFollowsTheTimeZone) {
    TIME_ZONE_INFORMATION zone;
    const DWORD mode = GetTimeZoneInformation(&zone);
    LONG bias = zone.Bias;
    if (mode == TIME_ZONE_ID_DAYLIGHT) {
        bias += zone.DaylightBias;
    } else if (mode == TIME_ZONE_ID_STANDARD) {
        bias += zone.StandardBias;
    }
    const std::int64_t offset = -static_cast<std::int64_t>(bias) * 60;
    const std::int64_t before = static_cast<std::int64_t>(std::time(nullptr));
    const std::int64_t local = platform::LocalDateSeconds();
    const std::int64_t after = static_cast<std::int64_t>(std::time(nullptr));
    EXPECT_GE(local, before + offset - 1);
    EXPECT_LE(local, after + offset + 1);
}

TEST(WindowsIds, ProcessAndThreadIds) {
    EXPECT_EQ(platform::CurrentProcessId(), static_cast<std::int64_t>(GetCurrentProcessId()));
    const std::int64_t mine = platform::CurrentThreadId();
    EXPECT_EQ(mine, static_cast<std::int64_t>(GetCurrentThreadId()));
    std::int64_t other = mine;
    std::thread([&other] { other = platform::CurrentThreadId(); }).join();
    EXPECT_NE(other, mine);
    EXPECT_NE(other, 0);
}

} // namespace
} // namespace tickscope
