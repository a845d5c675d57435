// LoadSource when an include directive names something that is no source file: a folder,
// a named pipe that nobody writes, a device, a file too large to be a program, and a
// pseudo-file that never ends. Each is skipped like a file that cannot be opened; the
// load neither blocks nor runs out of memory.

#include "source/program_info.h"
#include "source/source_loader.h"

#include "common/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>

namespace tickscope {
namespace {

using testing::TempFolder;
namespace fs = std::filesystem;

TEST(SourceLoadingFaults, IncludesOfWhatIsNoSourceFileAreSkipped) {
    struct Case {
        const char* Name;
        // Prepares the thing to include in the folder and returns its path (empty: skip).
        std::function<std::string(const TempFolder&)> Prepare;
    };
    const Case cases[] = {
        {"a folder",
         [](const TempFolder& folder) {
             fs::create_directories(folder.Path() / "folder.pbi");
             return folder.File("folder.pbi");
         }},
        {"a named pipe nobody writes",
         [](const TempFolder& folder) {
             const std::string pipe = folder.File("pipe.pbi");
             return ::mkfifo(pipe.c_str(), 0644) == 0 ? pipe : std::string();
         }},
        {"a device without end", [](const TempFolder&) { return std::string("/dev/zero"); }},
        {"a sparse file of 300 MB",
         [](const TempFolder& folder) {
             const std::string big = folder.Write("big.pbi", "a = 1\n");
             fs::resize_file(big, 300u << 20);
             return big;
         }},
        {"a pseudo-file that never ends",
         [](const TempFolder&) {
             return fs::exists("/proc/self/pagemap") ? std::string("/proc/self/pagemap")
                                                     : std::string();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder;
        const std::string included = c.Prepare(folder);
        if (included.empty() || !fs::exists(included)) {
            std::printf("[ skipped  ] %s: not available here\n", c.Name);
            continue;
        }
        const std::string main =
            folder.Write("main.pb", "a = 1\nIncludeFile \"" + included + "\"\nb = 2\n");
        ProgramInfo program;
        const auto start = std::chrono::steady_clock::now();
        LoadSource(main, "", program);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 60.0);
        ASSERT_EQ(program.LinesOfCode.size(), 3u) << "the included thing added lines";
        EXPECT_EQ(program.LinesOfCode[2].Code, "b = 2");
        EXPECT_EQ(program.SourceFileIds.Size(), 1u);
    }
}

} // namespace
} // namespace tickscope
