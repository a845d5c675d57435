#include "source/line_scanning.h"

#include "platform/ascii_text.h"

#include <array>
#include <cstddef>

namespace tickscope {

namespace {

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// One-entry memo of a text result. The result is built in `scratch` and swapped in, so
// an input that points into the previous result is read intact while the new one is built.
struct TextMemo {
    std::string input;
    std::string result;
    std::string scratch;

    void Store(std::string_view line) {
        input.assign(line.data(), line.size());
        result.swap(scratch);
    }
};

int ScanCommentPosition(std::string_view line) {
    // Without a ";" there is no comment, whatever the quotes say.
    if (line.find(';') == std::string_view::npos) {
        return 0;
    }
    char open = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (open != 0) {
            if (c == open) {
                open = 0;
            }
        } else if (IsQuote(c)) {
            open = c;
        } else if (c == ';') {
            return static_cast<int>(i + 1);
        }
    }
    return 0;
}

// Masks in one pass: up to the comment the quote state is the same as CommentPosition's,
// and from the comment on everything becomes ";".
void MaskInto(std::string_view line, std::string& out) {
    out.assign(line.data(), line.size());
    char open = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const char c = out[i];
        if (open != 0) {
            if (c == open) {
                open = 0;
            } else {
                out[i] = open;
            }
        } else if (IsQuote(c)) {
            open = c;
        } else if (c == ';') {
            out.replace(i, out.size() - i, out.size() - i, ';');
            return;
        }
    }
}

bool IsSeparator(char c) {
    return c == ' ' || c == ':' || c == ';' || c == '(' || c == ')' || c == '\t';
}

thread_local TextMemo maskMemo;
thread_local TextMemo tokenMemo;
thread_local TextMemo keywordMemo; // result: the lower-cased masked line

} // namespace

const std::string& LowerMaskedLineCached(std::string_view line) {
    if (line == keywordMemo.input) {
        return keywordMemo.result;
    }
    std::string& out = keywordMemo.scratch;
    MaskInto(line, out);
    LowerAsciiInPlace(out);
    keywordMemo.Store(line);
    return keywordMemo.result;
}

int CommentPosition(std::string_view line) {
    return ScanCommentPosition(line);
}

std::string StripComment(std::string_view line) {
    const int position = CommentPosition(line);
    if (position == 0) {
        return std::string(line);
    }
    return std::string(line.substr(0, static_cast<std::size_t>(position - 1)));
}

const std::string& MaskLineCached(std::string_view line) {
    if (line == maskMemo.input) {
        return maskMemo.result;
    }
    MaskInto(line, maskMemo.scratch);
    maskMemo.Store(line);
    return maskMemo.result;
}

std::string MaskLine(std::string_view line) {
    return MaskLineCached(line);
}

bool HasStatementColon(std::string_view line) {
    // Masking never adds a colon: a line without one needs no mask.
    return line.find(':') != std::string_view::npos &&
           MaskLineCached(line).find(':') != std::string::npos;
}

std::string TokenizeLine(std::string_view line) {
    if (line == tokenMemo.input) {
        return tokenMemo.result;
    }
    const std::string& masked = MaskLineCached(line);
    std::string& out = tokenMemo.scratch;
    out.clear();
    out.reserve(line.size());
    // Separators are written as kTokenSeparator and every run of them (including any
    // kTokenSeparator bytes already in the line) collapses into one, in a single pass.
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = IsSeparator(masked[i]) ? kTokenSeparator : line[i];
        if (c == kTokenSeparator && !out.empty() && out.back() == kTokenSeparator) {
            continue;
        }
        out.push_back(c);
    }
    tokenMemo.Store(line);
    return tokenMemo.result;
}

std::string TokenField(std::string_view tokenized, int index) {
    if (index < 1) {
        return {};
    }
    std::size_t start = 0;
    for (int field = 1; field < index; ++field) {
        const auto next = tokenized.find(kTokenSeparator, start);
        if (next == std::string_view::npos) {
            return {};
        }
        start = next + 1;
    }
    const auto end = tokenized.find(kTokenSeparator, start);
    return std::string(tokenized.substr(start, end == std::string_view::npos ? end : end - start));
}

int FindKeyword(std::string_view line, std::string_view keyword) {
    const std::size_t n = keyword.size();
    if (line.size() < n) {
        return 0;
    }
    const std::string_view s = LowerMaskedLineCached(line);
    std::size_t hit = s.find(keyword);
    if (hit == std::string_view::npos) {
        return 0;
    }
    if (s == keyword) {
        return 1;
    }
    const std::size_t length = s.size();
    if (s.compare(0, n, keyword) == 0) {
        if (IsKeywordSeparatorAfter(s[n])) {
            return 1;
        }
    }
    if (s.compare(length - n, n, keyword) == 0) {
        if (IsKeywordSeparatorBeforeEnd(s[length - n - 1])) {
            return static_cast<int>(length - n + 1);
        }
    }
    // Inner rule: the best-ranked pair wins, and within one pair the leftmost occurrence.
    // Every occurrence of a pair's text is an occurrence of the keyword with the pair's
    // characters around it, so one walk over the keyword's occurrences decides.
    int bestRank = 1 << 30;
    std::size_t bestPosition = 0;
    for (; hit != std::string_view::npos; hit = s.find(keyword, hit + 1)) {
        if (hit == 0 || hit + n >= length) {
            continue;
        }
        const int rank = KeywordPairRank(s[hit - 1], s[hit + n]);
        if (rank >= 0 && rank < bestRank) {
            bestRank = rank;
            bestPosition = hit;
            if (rank == 0) {
                break; // the first pair, leftmost: nothing can beat it
            }
        }
    }
    return bestRank == (1 << 30) ? 0 : static_cast<int>(bestPosition + 1);
}

} // namespace tickscope
