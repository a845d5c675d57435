#include "source/line_scanning.h"
#include "source/parser_passes.h"
#include "source/scope_keywords.h"
#include "source/text_utils.h"

namespace tickscope {

namespace {

// The second token of the head: "Procedure.i Foo(a)" names "Foo". Tabs are trimmed as
// well as spaces, or an indented head would yield its own keyword as the name.
std::string ProcedureName(std::string_view code) {
    const std::string& masked = MaskLineCached(code);
    return TokenField(TokenizeLine(Trim(masked, " \t")), 2);
}

// Every head gets its own id; a name seen before is registered as "<name>#<id>" so the
// earlier procedure keeps its entry and no id is handed out twice.
int RegisterProcedure(IdTable& scopeIds, const std::string& name) {
    const int id = static_cast<int>(scopeIds.Size()) + 1;
    std::string key = name;
    while (scopeIds.Contains(key)) {
        // Appended piece by piece: GCC 12 at -O3 takes `key += "#" + ...` for an overlapping
        // copy (a false -Wrestrict).
        key += '#';
        key += std::to_string(id);
    }
    scopeIds.Set(key, id);
    return id;
}

bool IsSharedDllFooter(std::string_view code) {
    return code == "; ExecutableFormat = Shared Dll" || code == "; ExecutableFormat = Shared dll";
}

} // namespace

void RunScopePass(ProgramInfo& program) {
    BlockStack blocks;
    int currentScope = kMainScopeId;
    program.ScopeIds.Set(kMainScopeName, kMainScopeId);
    for (LineOfCode& line : program.LinesOfCode) {
        for (Instruction& instruction : line.Instructions) {
            auto key = [&] { return InstructionKey(line, instruction); };
            const std::string_view code = line.TextOf(instruction);
            switch (ClassifyInstruction(code)) {
            case KeywordGroup::ProcedureHead:
                currentScope = RegisterProcedure(program.ScopeIds, ProcedureName(code));
                instruction.ScopeId = currentScope;
                blocks.PushBlockKey(key());
                break;
            case KeywordGroup::DeclarativeHead:
                currentScope = 0;
                instruction.ScopeId = 0;
                blocks.PushBlockKey(key());
                break;
            case KeywordGroup::ProcedureEnd:
                instruction.ScopeId = currentScope;
                currentScope = kMainScopeId;
                instruction.BlockKey = blocks.PopBlockKey();
                break;
            case KeywordGroup::DeclarativeEnd:
                currentScope = kMainScopeId;
                instruction.ScopeId = 0;
                instruction.BlockKey = blocks.PopBlockKey();
                break;
            case KeywordGroup::BlockOpener:
                instruction.ScopeId = currentScope;
                blocks.PushBlockKey(key());
                break;
            case KeywordGroup::BlockCloser:
                instruction.ScopeId = currentScope;
                instruction.BlockKey = blocks.PopBlockKey();
                break;
            case KeywordGroup::BlockContinuation:
                // The opener stays open for its closer.
                instruction.ScopeId = currentScope;
                instruction.BlockKey = blocks.PopBlockKey();
                blocks.PushBlockKey(instruction.BlockKey);
                break;
            case KeywordGroup::None:
                instruction.ScopeId = currentScope;
                break;
            }
            if (instruction.ScopeId == kMainScopeId && IsSharedDllFooter(code)) {
                program.IsSharedDll = true;
            }
        }
    }
    program.IsExecutable = !program.IsSharedDll;
}

} // namespace tickscope
