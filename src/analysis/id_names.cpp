#include "analysis/id_names.h"

namespace tickscope {

namespace {

const std::string& Lookup(const std::unordered_map<int, std::string>& names, int id) {
    static const std::string kNone;
    const auto found = names.find(id);
    return found == names.end() ? kNone : found->second;
}

} // namespace

IdNames::IdNames(const ProgramInfo& program) {
    for (const auto& [path, id] : program.SourceFileIds) {
        files_.try_emplace(id, path);
    }
    for (const auto& [name, id] : program.ScopeIds) {
        scopes_.try_emplace(id, name);
    }
}

const std::string& IdNames::FilePath(int sourceFileId) const {
    return Lookup(files_, sourceFileId);
}

const std::string& IdNames::ScopeName(int scopeId) const {
    return Lookup(scopes_, scopeId);
}

} // namespace tickscope
