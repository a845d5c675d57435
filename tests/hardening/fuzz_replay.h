#pragma once

// Replays the saved inputs of one fuzz target through its LLVMFuzzerTestOneInput: the seed
// corpus (fuzz/corpora/<target>) and every input that once failed (fuzz/regressions/<target>).
// A broken invariant aborts the program, which fails the test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace tickscope::testing {

inline std::vector<std::filesystem::path> SavedFuzzInputs(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path root =
        std::filesystem::path(TICKSCOPE_SOURCE_DIR) / "fuzz" / folder;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

inline void ReplayFuzzInputs(const std::string& target, bool required) {
    const auto files = SavedFuzzInputs(target);
    if (files.empty()) {
        if (required) {
            FAIL() << "no saved inputs in fuzz/" << target;
        }
        GTEST_SKIP() << "no saved inputs in fuzz/" << target;
    }
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                         bytes.size()),
                  0);
    }
    std::printf("[ replayed ] %zu inputs of fuzz/%s\n", files.size(), target.c_str());
}

} // namespace tickscope::testing

// The replay tests of one target, in a suite named after it (test names are unique across
// the test programs): its seeds must exist; regression inputs may not (yet).
#define TICKSCOPE_FUZZ_REPLAY_TESTS(suite, target)                                                 \
    TEST(suite, Seeds) {                                                                           \
        tickscope::testing::ReplayFuzzInputs("corpora/" target, true);                             \
    }                                                                                              \
    TEST(suite, Regressions) {                                                                     \
        tickscope::testing::ReplayFuzzInputs("regressions/" target, false);                        \
    }
