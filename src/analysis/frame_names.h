#pragma once

#include "analysis/id_names.h"
#include "analysis/timeline.h"
#include "source/program_info.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tickscope {

// What the exporters call a frame, as UTF-8 (source text converted as TextAsUtf8 does)
// without control characters:
// - a line: "<file name>:<line number> <code>", the code without its outer blanks and cut
//   after kMaxCodeBytes bytes ("main.pb:21 Delay(1)"); LineId 0: "(line not in the program)";
// - a procedure: its scope name ("(scope N)" when the run names none); scope 0: "(no
//   procedure)".
class FrameNames {
  public:
    static constexpr std::size_t kMaxCodeBytes = 120;

    FrameNames(const ProgramInfo& program, FrameKind kind);

    const std::string& Name(std::int32_t frame);
    // The source file's path (UTF-8) and the line number of a line, or of a procedure's
    // first line; empty and 0 when there is none.
    std::string FilePath(std::int32_t frame) const;
    std::int32_t LineNumber(std::int32_t frame) const;

  private:
    const LineOfCode* LineOf(std::int32_t frame) const;
    std::string MakeName(std::int32_t frame) const;

    const ProgramInfo& program_;
    FrameKind kind_;
    IdNames ids_;
    std::unordered_map<std::int32_t, std::int32_t> firstLines_; // procedure -> LineId
    std::unordered_map<std::int32_t, std::string> names_;
};

// UTF-8 text for a label: TextAsUtf8, control characters as blanks.
std::string LabelText(std::string_view bytes);

} // namespace tickscope
