#pragma once

#include "source/program_info.h"

#include <string>
#include <unordered_map>

namespace tickscope {

// The names a run's program information gives to its ids: the path of a source file id and
// the name of a scope id, each the first one with that id in its table's order.
class IdNames {
  public:
    explicit IdNames(const ProgramInfo& program);

    // Empty when the table has no entry with that id.
    const std::string& FilePath(int sourceFileId) const;
    const std::string& ScopeName(int scopeId) const;

  private:
    std::unordered_map<int, std::string> files_;
    std::unordered_map<int, std::string> scopes_;
};

} // namespace tickscope
