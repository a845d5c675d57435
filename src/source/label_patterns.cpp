#define PCRE2_CODE_UNIT_WIDTH 8
#include "source/label_patterns.h"

#include <pcre2.h>

#include <cstdio>
#include <cstdlib>

namespace tickscope {

struct LabelPatterns::Compiled {
    pcre2_code* code = nullptr;
    bool jit = false;
};

namespace {

LabelPatterns::Compiled* Compile(const char* pattern) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    auto* compiled = new LabelPatterns::Compiled;
    compiled->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, 0,
                                   &error, &offset, nullptr);
    if (!compiled->code) {
        std::fprintf(stderr, "tickscope: cannot compile pattern %s\n", pattern);
        std::abort();
    }
    // Without JIT the interpreter backtracks cubically on long words before a colon.
    compiled->jit = pcre2_jit_compile(compiled->code, PCRE2_JIT_COMPLETE) == 0;
    return compiled;
}

bool Search(const LabelPatterns::Compiled* compiled, std::string_view text) {
    // Match data is per thread so that the patterns can be shared by any thread.
    struct MatchData {
        pcre2_match_data* data = pcre2_match_data_create(1, nullptr);
        ~MatchData() { pcre2_match_data_free(data); }
    };
    thread_local MatchData holder;
    pcre2_match_data* matchData = holder.data;
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    const int rc =
        compiled->jit
            ? pcre2_jit_match(compiled->code, subject, text.size(), 0, 0, matchData, nullptr)
            : pcre2_match(compiled->code, subject, text.size(), 0, 0, matchData, nullptr);
    return rc >= 0;
}

} // namespace

LabelPatterns::LabelPatterns()
    : label_(Compile(kLabelPattern)), symbolLabel_(Compile(kSymbolLabelPattern)) {}

LabelPatterns::~LabelPatterns() {
    pcre2_code_free(label_->code);
    pcre2_code_free(symbolLabel_->code);
    delete label_;
    delete symbolLabel_;
}

const LabelPatterns& LabelPatterns::Get() {
    static const LabelPatterns patterns;
    return patterns;
}

bool LabelPatterns::MatchesLabel(std::string_view text) const {
    return Search(label_, text);
}

bool LabelPatterns::MatchesSymbolLabel(std::string_view text) const {
    return Search(symbolLabel_, text);
}

} // namespace tickscope
