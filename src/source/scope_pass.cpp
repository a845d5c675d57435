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
    scopeIds.AddUnique(name, id);
    return id;
}

bool IsSharedDllFooter(std::string_view code) {
    return code == "; ExecutableFormat = Shared Dll" || code == "; ExecutableFormat = Shared dll";
}

} // namespace

ScopePass::ScopePass(ProgramInfo& program) : program_(program) {
    program_.ScopeIds.Set(kMainScopeName, kMainScopeId);
}

void ScopePass::Visit(LineOfCode& line) {
    for (Instruction& instruction : line.Instructions) {
        auto key = [&] { return InstructionKey(line, instruction); };
        const std::string_view code = line.TextOf(instruction);
        switch (ClassifyInstruction(code)) {
        case KeywordGroup::ProcedureHead:
            currentScope_ = RegisterProcedure(program_.ScopeIds, ProcedureName(code));
            instruction.ScopeId = currentScope_;
            blocks_.PushBlockKey(key());
            break;
        case KeywordGroup::DeclarativeHead:
            currentScope_ = 0;
            instruction.ScopeId = 0;
            blocks_.PushBlockKey(key());
            break;
        case KeywordGroup::ProcedureEnd:
            instruction.ScopeId = currentScope_;
            currentScope_ = kMainScopeId;
            instruction.BlockKey = blocks_.PopBlockKey();
            break;
        case KeywordGroup::DeclarativeEnd:
            currentScope_ = kMainScopeId;
            instruction.ScopeId = 0;
            instruction.BlockKey = blocks_.PopBlockKey();
            break;
        case KeywordGroup::BlockOpener:
            instruction.ScopeId = currentScope_;
            blocks_.PushBlockKey(key());
            break;
        case KeywordGroup::BlockCloser:
            instruction.ScopeId = currentScope_;
            instruction.BlockKey = blocks_.PopBlockKey();
            break;
        case KeywordGroup::BlockContinuation:
            // The opener stays open for its closer.
            instruction.ScopeId = currentScope_;
            instruction.BlockKey = blocks_.PopBlockKey();
            blocks_.PushBlockKey(instruction.BlockKey);
            break;
        case KeywordGroup::None:
            instruction.ScopeId = currentScope_;
            break;
        }
        if (instruction.ScopeId == kMainScopeId && IsSharedDllFooter(code)) {
            program_.IsSharedDll = true;
        }
    }
}

void ScopePass::Finish() {
    program_.IsExecutable = !program_.IsSharedDll;
}

void RunScopePass(ProgramInfo& program) {
    ScopePass pass(program);
    for (LineOfCode& line : program.LinesOfCode) {
        pass.Visit(line);
    }
    pass.Finish();
}

void RunParserPasses(ProgramInfo& program) {
    std::vector<LineOfCode>& lines = program.LinesOfCode;
    ScopePass scopes(program);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ContinueLine(lines, i);
        SplitLine(lines[i]);
        scopes.Visit(lines[i]);
    }
    scopes.Finish();
}

} // namespace tickscope
