// Line scanning helpers and the continuation, splitting and scope passes on arbitrary bytes.
// The input is cut into lines; every helper is compared with a plain re-implementation of
// its rule, also when called on alternating lines (the one-entry memos must never answer for
// another line), and the passes are run over a program of those lines and compared with a
// straightforward replay of the same steps.

#include "../fuzz_support.h"
#include "line_rules_reference.h"

#include "source/label_patterns.h"
#include "source/line_scanning.h"
#include "source/parser_passes.h"
#include "source/program_info.h"
#include "source/source_reader.h"
#include "source/text_utils.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using tickscope::fuzz::Show;
using namespace tickscope::fuzz::reference;

// ---- helper checks on one line ----

const std::vector<std::string>& Keywords() {
    static const std::vector<std::string> keywords = {
        "procedure",
        "proceduredll",
        "procedurec",
        "procedurecdll",
        "structure",
        "interface",
        "enumeration",
        "import",
        "macro",
        "datasection",
        "importc",
        "endprocedure",
        "endstructure",
        "endinterface",
        "endenumeration",
        "endimport",
        "endmacro",
        "enddatasection",
        "endimportc",
        "for",
        "foreach",
        "while",
        "repeat",
        "if",
        "select",
        "with",
        "next",
        "wend",
        "until",
        "forever",
        "endwith",
        "endselect",
        "endif",
        "continue",
        "else",
        "elseif",
        "case",
        "default",
        "includepath",
        "includefile",
        "xincludefile",
        "end",
        "procedurereturn",
        "break",
        "return",
        "compilerif",
        "a",
        "x",
    };
    return keywords;
}

// Lower-case words of the input, so that keyword searches also hit what the input holds.
std::vector<std::string> WordsOf(std::string_view text) {
    std::set<std::string> words;
    std::string word;
    for (std::size_t i = 0; i <= text.size() && words.size() < 8; ++i) {
        const char c = i < text.size() ? tickscope::LowerAscii(text.substr(i, 1))[0] : ' ';
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') {
            word += c;
        } else if (!word.empty()) {
            words.insert(word);
            word.clear();
        }
    }
    return {words.begin(), words.end()};
}

// With `all` false only the memoised helpers and a few keywords are asked, to see that a
// memo answers for the line it is given.
void CheckHelpers(const std::string& line, const std::vector<std::string>& keywords, bool all) {
    const int comment = RefCommentPosition(line);
    FUZZ_CHECK(tickscope::CommentPosition(line) == comment, Show(line));
    const std::string masked = RefMaskLine(line);
    FUZZ_CHECK(tickscope::MaskLine(line) == masked, Show(line));
    FUZZ_CHECK(tickscope::MaskLineCached(line) == masked, Show(line));
    FUZZ_CHECK(tickscope::StripComment(line) ==
                   (comment > 0 ? line.substr(0, static_cast<std::size_t>(comment) - 1) : line),
               Show(line));
    FUZZ_CHECK(tickscope::HasStatementColon(line) == (masked.find(':') != std::string::npos),
               Show(line));
    const std::string tokens = RefTokenizeLine(line);
    FUZZ_CHECK(tickscope::TokenizeLine(line) == tokens, Show(line));
    for (int field = 1; field <= 3; ++field) {
        FUZZ_CHECK(tickscope::TokenField(tokens, field) == RefTokenField(tokens, field),
                   Show(line) + " field " + std::to_string(field));
    }
    FUZZ_CHECK(tickscope::LowerMaskedLineCached(line) == tickscope::LowerAscii(masked), Show(line));
    const std::string lowerMasked = tickscope::LowerAscii(masked);
    for (std::size_t i = 0; i < keywords.size() && (all || i < 3); ++i) {
        const std::string& keyword = keywords[all ? i : keywords.size() - 1 - i];
        FUZZ_CHECK(tickscope::FindKeyword(line, keyword) ==
                       RefFindKeywordIn(line, lowerMasked, keyword),
                   Show(line) + " keyword " + keyword);
    }
    if (!all) {
        return;
    }
    // The memo's own result handed back as input must be read before it is replaced.
    const std::string& memo = tickscope::MaskLineCached(line);
    FUZZ_CHECK(tickscope::MaskLineCached(memo) == RefMaskLine(masked), Show(line));
    FUZZ_CHECK(tickscope::LabelPatterns::Get().MatchesLabel(line) == RefMatchesLabel(line, false),
               Show(line));
    FUZZ_CHECK(tickscope::LabelPatterns::Get().MatchesSymbolLabel(line) ==
                   RefMatchesLabel(line, true),
               Show(line));
}

// ---- the passes ----

bool RefLineContinues(std::string_view code) {
    std::string t = tickscope::LowerAscii(tickscope::StripComment(code));
    t = std::string(tickscope::Trim(t, " "));
    for (const char* ending : {"+", ",", "|", " and", ")and", " or", ")or", " xor", ")xor"}) {
        if (t.ends_with(ending)) {
            return true;
        }
    }
    return false;
}

void RefContinuation(std::vector<std::string>& codes) {
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (!RefLineContinues(codes[i])) {
            continue;
        }
        const std::string head = tickscope::StripComment(codes[i]);
        codes[i] = "; " + codes[i];
        if (i + 1 < codes.size()) {
            codes[i + 1] = head + " " + codes[i + 1];
        }
    }
}

std::vector<std::string> RefSplit(const std::string& code) {
    std::vector<std::string> pieces;
    if (RefMaskLine(code).find(':') == std::string::npos) {
        return {code};
    }
    const std::string masked = RefMaskLine(code);
    std::size_t start = 0;
    std::size_t colon = masked.find(':', start);
    while (colon != std::string::npos) {
        std::string piece = code.substr(start, colon - start + 1);
        if (!RefMatchesLabel(piece, false) && !RefMatchesLabel(piece, true)) {
            piece.pop_back();
        }
        pieces.push_back(piece);
        start = colon + 1;
        colon = masked.find(':', start);
    }
    pieces.push_back(code.substr(start));
    return pieces;
}

enum class Group {
    None,
    ProcedureHead,
    DeclarativeHead,
    ProcedureEnd,
    DeclarativeEnd,
    Opener,
    Closer,
    Continuation
};

Group Classify(const std::string& code) {
    static const std::vector<std::pair<std::string, Group>> kGroups = [] {
        std::vector<std::pair<std::string, Group>> groups;
        auto add = [&](std::initializer_list<const char*> words, Group group) {
            for (const char* word : words) {
                groups.emplace_back(word, group);
            }
        };
        add({"procedure", "proceduredll", "procedurec", "procedurecdll"}, Group::ProcedureHead);
        add({"structure", "interface", "enumeration", "import", "macro", "datasection", "importc"},
            Group::DeclarativeHead);
        add({"endprocedure"}, Group::ProcedureEnd);
        add({"endstructure", "endinterface", "endenumeration", "endimport", "endmacro",
             "enddatasection", "endimportc"},
            Group::DeclarativeEnd);
        add({"for", "foreach", "while", "repeat", "if", "select", "with"}, Group::Opener);
        add({"next", "wend", "until", "forever", "endwith", "endselect", "endif"}, Group::Closer);
        add({"continue", "else", "elseif", "case", "default"}, Group::Continuation);
        return groups;
    }();
    const std::string lowerMasked = tickscope::LowerAscii(RefMaskLine(code));
    for (const auto& [keyword, group] : kGroups) {
        if (RefFindKeywordIn(code, lowerMasked, keyword) != 0) {
            return group;
        }
    }
    return Group::None;
}

struct RefInstruction {
    int ScopeId = 0;
    std::string BlockKey;
    bool Head = false;
    std::string Name;
};

// Scope ids, block keys and procedure names of every instruction, in list order. Procedure
// heads take the next id; indentation by tabs does not hide a procedure's name.
std::vector<std::vector<RefInstruction>> RefScopes(const tickscope::ProgramInfo& program,
                                                   bool& sharedDll) {
    std::vector<std::vector<RefInstruction>> result;
    std::vector<std::string> stack;
    auto pop = [&] {
        if (stack.empty()) {
            return std::string();
        }
        std::string key = stack.back();
        stack.pop_back();
        return key;
    };
    int current = 1;
    int heads = 0;
    sharedDll = false;
    for (const tickscope::LineOfCode& line : program.LinesOfCode) {
        auto& out = result.emplace_back();
        for (const tickscope::Instruction& instruction : line.Instructions) {
            RefInstruction& ref = out.emplace_back();
            const std::string key = std::to_string(line.SourceFileId) + "." +
                                    std::to_string(line.LineNumber) + "." +
                                    std::to_string(instruction.InstructionNumber);
            const std::string code(line.TextOf(instruction));
            switch (Classify(code)) {
            case Group::ProcedureHead: {
                const std::string trimmed(tickscope::Trim(RefMaskLine(code), " \t"));
                ref.Name = RefTokenField(RefTokenizeLine(trimmed), 2);
                ref.Head = true;
                current = 2 + heads++;
                ref.ScopeId = current;
                stack.push_back(key);
                break;
            }
            case Group::DeclarativeHead:
                current = 0;
                ref.ScopeId = 0;
                stack.push_back(key);
                break;
            case Group::ProcedureEnd:
                ref.ScopeId = current;
                current = 1;
                ref.BlockKey = pop();
                break;
            case Group::DeclarativeEnd:
                current = 1;
                ref.ScopeId = 0;
                ref.BlockKey = pop();
                break;
            case Group::Opener:
                ref.ScopeId = current;
                stack.push_back(key);
                break;
            case Group::Closer:
                ref.ScopeId = current;
                ref.BlockKey = pop();
                break;
            case Group::Continuation:
                ref.ScopeId = current;
                ref.BlockKey = pop();
                stack.push_back(ref.BlockKey);
                break;
            case Group::None:
                ref.ScopeId = current;
                break;
            }
            // The IDE writes the footer with either letter case of "dll".
            if (ref.ScopeId == 1 && (code == "; ExecutableFormat = Shared Dll" ||
                                     code == "; ExecutableFormat = Shared dll")) {
                sharedDll = true;
            }
        }
    }
    return result;
}

void CheckPasses(const std::vector<std::string>& lines) {
    tickscope::ProgramInfo program;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        tickscope::LineOfCode& line = program.LinesOfCode.emplace_back();
        line.SourceFileId = 1 + static_cast<int>(i % 3 == 2); // a second file now and then
        line.LineNumber = static_cast<int>(i) + 1;
        line.Code = lines[i];
    }
    std::vector<std::string> codes = lines;
    RefContinuation(codes);
    tickscope::RunContinuationPass(program);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        FUZZ_CHECK(program.LinesOfCode[i].Code == codes[i], "line " + std::to_string(i + 1) + ": " +
                                                                Show(program.LinesOfCode[i].Code) +
                                                                " expected " + Show(codes[i]));
    }

    tickscope::RunSplittingPass(program);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const auto& instructions = program.LinesOfCode[i].Instructions;
        const std::vector<std::string> pieces = RefSplit(codes[i]);
        FUZZ_CHECK(instructions.size() == pieces.size(), Show(codes[i]));
        for (std::size_t m = 0; m < pieces.size(); ++m) {
            FUZZ_CHECK(program.LinesOfCode[i].TextOf(instructions[m]) == pieces[m], Show(codes[i]));
            FUZZ_CHECK(instructions[m].InstructionNumber == static_cast<int>(m) + 1,
                       Show(codes[i]));
        }
    }

    bool sharedDll = false;
    const auto expected = RefScopes(program, sharedDll);
    tickscope::RunScopePass(program);
    FUZZ_CHECK(program.IsSharedDll == sharedDll, "");
    FUZZ_CHECK(program.IsExecutable == !sharedDll, "");
    FUZZ_CHECK(program.ScopeIds.Get(tickscope::kMainScopeName) == 1, "");
    std::set<int> ids;
    for (const auto& [name, id] : program.ScopeIds) {
        FUZZ_CHECK(id != 0 && ids.insert(id).second, "scope id given twice: " + Show(name));
    }
    int heads = 0;
    std::set<std::string> namesSeen;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& instructions = program.LinesOfCode[i].Instructions;
        for (std::size_t m = 0; m < expected[i].size(); ++m) {
            const RefInstruction& ref = expected[i][m];
            const std::string where = "line " + std::to_string(i + 1) + " instruction " +
                                      std::to_string(m + 1) + " " +
                                      Show(program.LinesOfCode[i].TextOf(instructions[m]));
            FUZZ_CHECK(instructions[m].ScopeId == ref.ScopeId,
                       where + " scope " + std::to_string(instructions[m].ScopeId) + " expected " +
                           std::to_string(ref.ScopeId));
            FUZZ_CHECK(instructions[m].BlockKey == ref.BlockKey,
                       where + " key " + Show(instructions[m].BlockKey) + " expected " +
                           Show(ref.BlockKey));
            FUZZ_CHECK(ref.ScopeId == 0 || ids.count(ref.ScopeId) != 0, where);
            if (ref.Head) {
                ++heads;
                // The first procedure of a name is registered under it.
                if (namesSeen.insert(ref.Name).second) {
                    FUZZ_CHECK(program.ScopeIds.Get(ref.Name) == ref.ScopeId,
                               where + " name " + Show(ref.Name));
                }
            }
        }
    }
    FUZZ_CHECK(program.ScopeIds.Size() == static_cast<std::size_t>(heads) + 1,
               "scopes " + std::to_string(program.ScopeIds.Size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = RefSplitLines(text);

    // The reader's line cutting agrees with the plain one.
    tickscope::LineSplitter splitter(text);
    std::string_view piece;
    std::size_t count = 0;
    while (splitter.Next(piece)) {
        FUZZ_CHECK(count < lines.size() && piece == lines[count], Show(piece));
        ++count;
    }
    FUZZ_CHECK(count == lines.size(), "lines " + std::to_string(count));

    std::vector<std::string> keywords = Keywords();
    for (std::string& word : WordsOf(text)) {
        keywords.push_back(std::move(word));
    }
    // Alternate between lines so that every memo is asked about a different line each time.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        CheckHelpers(lines[i], keywords, true);
        if (i > 0) {
            CheckHelpers(lines[i - 1], keywords, false);
            CheckHelpers(lines[i], keywords, false);
        }
    }
    tickscope::FindKeyword(text, ""); // must not fail on an empty keyword

    CheckPasses(lines);
    return 0;
}
