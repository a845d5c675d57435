#pragma once

#include "source/program_info.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tickscope {

// Limits of one load: a program whose includes expand beyond them is not loaded. No real
// program comes near; an include bomb (files that include the next one twice, twenty levels
// deep) does.
struct LoadLimits {
    std::uint64_t MaxLines = 4000000;
    std::uint64_t MaxTextBytes = std::uint64_t{256} << 20;
    std::uint64_t MaxInclusions = 100000; // files taken in by IncludeFile and XIncludeFile
};

// What a load found besides the program.
struct LoadDetails {
    // Every file a directive named, as it was resolved, whether it was read, skipped
    // (XIncludeFile of a content already taken in) or could not be read; the source file
    // first. None of them may ever be overwritten.
    std::vector<std::string> NamedFiles;
    // Why the load stopped, in the user's words; empty when the whole program was read.
    std::string Failure;
};

// Reads a source file and every file it includes into `program`, in compile order. The
// outermost call (depth 0) then runs the continuation, splitting and scope passes.
// Returns the include path in force after the file has been read. When the program grows
// beyond the limits, loading stops: `details.Failure` says where, and the program is empty.
std::string LoadSource(const std::string& fileName, const std::string& includePath,
                       ProgramInfo& program);
std::string LoadSource(const std::string& fileName, const std::string& includePath,
                       ProgramInfo& program, LoadDetails& details, const LoadLimits& limits = {});

// MD5 of a file's bytes as 32 lower-case hexadecimal digits; empty when it cannot be read.
std::string FileFingerprint(const std::string& path);

} // namespace tickscope
