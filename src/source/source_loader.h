#pragma once

#include "source/program_info.h"

#include <string>

namespace tickscope {

// Reads a source file and every file it includes into `program`, in compile order. The
// outermost call (depth 0) then runs the continuation, splitting and scope passes.
// Returns the include path in force after the file has been read.
std::string LoadSource(const std::string& fileName, const std::string& includePath,
                       ProgramInfo& program);

// MD5 of a file's bytes as 32 lower-case hexadecimal digits; empty when it cannot be read.
std::string FileFingerprint(const std::string& path);

} // namespace tickscope
