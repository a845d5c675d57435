#include "instrument/runtime_text.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

namespace tickscope {
namespace {

std::string Sha256Hex(const std::string& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr), 1);
    static const char* hex = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

// Lines split at LF; the text ends with LF, so the piece after the last LF is dropped.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
        lines.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    EXPECT_EQ(start, text.size()) << "text must end with a line feed";
    return lines;
}

TEST(MonitoringRuntimeText, WholeTextHasKnownSizeAndDigest) {
    const std::string& text = MonitoringRuntimeText();
    EXPECT_EQ(text.size(), 5327u);
    // Digest of a copy produced independently from the published line table.
    EXPECT_EQ(Sha256Hex(text), "8d2e47c7f0223c9e47c6db3d979846576ca1da19e567afe33f68d4a95b7c8f1e");
}

TEST(MonitoringRuntimeText, HasExactly155LinesEndedByLineFeedAlone) {
    const std::string& text = MonitoringRuntimeText();
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(Lines(text).size(), 155u);
    for (const char c : text) {
        EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80) << "non-ASCII byte in runtime text";
    }
}

struct TrickyLine {
    int number; // 1-based
    const char* text;
};

TEST(MonitoringRuntimeText, TrickyLinesAreByteExact) {
    const TrickyLine cases[] = {
        {1, "Structure tickscope_struct_Entry"},
        {7, "\tStartOrStop.b ; 1, 2"},
        {10, ""},
        {19, ""},
        {28, "\t"},
        {29, "\tIf QueryPerformanceFrequency_(@freq) "},
        {30, "\t  \ttickscope_gl_Freq = 1000000000/freq"},
        {31, "\tElse "},
        {32, "\t  \tMessageRequester(\"\",\"No High-res timer allowed\")"},
        {33, "\tEndIf "},
        {43, "\t"},
        {47, "\t\t! pushf"},
        {62, ""},
        {63, "\t\tq1 = PeekQ(tickscope_gl_EntryStorage+OffsetOf(tickscope_struct_Entry\\Nanos))"},
        {66, ""},
        {71, ""},
        {74, ""},
        {77, "IncludeBinary \"{tickscope.tempfolder}tickscope.src\""},
        {80, ""},
        {83, "\t"},
        {86, "\t! MOV dword [p.v_asmbsp], esp"},
        {91, "\t"},
        {97, "\t"},
        {98, "\tCreateDirectory(GetHomeDirectory() + \"Tickscope\")"},
        {99, "\tfilename = GetHomeDirectory() + \"Tickscope\\\" + Str(Date()) + \"-\" + "
             "Str(ElapsedMilliseconds())"},
        {100, "\ttickscope_gl_EntriesFile = CreateFile(#PB_Any, filename + \".tkr\")"},
        {101, "\tprograminfos = PeekS(?ProgramInfoBegin, ?ProgramInfoEnd-?ProgramInfoBegin)"},
        {102, "\tWriteStringN(tickscope_gl_EntriesFile, \"[PRE-PROGRAMINFOS]\")"},
        {104, "\tWriteStringN(tickscope_gl_EntriesFile, \"\")"},
        {106, "\tWriteStringN(tickscope_gl_EntriesFile, \"ProcessId = \" + "
              "Str(GetCurrentProcessId_()))"},
        {108, "\ttickscope_gl_EntriesFile = CreateFile(#PB_Any, filename + \".tkl\")"},
        {109, "\tWriteByte(tickscope_gl_EntriesFile, 0)"},
        {115, "\t"},
        {119, "\tPokeL(p+OffsetOf(tickscope_struct_Entry\\FileId), FileId)"},
        {124, "\t\tPokeQ(p+OffsetOf(tickscope_struct_Entry\\Stackframe), 0)"},
        {132, "\t\tWriteData(tickscope_gl_EntriesFile, tickscope_gl_EntryStorage, "
              "SizeOf(tickscope_struct_Entry)*tickscope_gl_EntryCounter)"},
        {146, "\t"},
        {154, "EndProcedure"},
        {155, ""},
    };
    const std::vector<std::string> lines = Lines(MonitoringRuntimeText());
    ASSERT_EQ(lines.size(), 155u);
    for (const TrickyLine& line : cases) {
        EXPECT_EQ(lines[static_cast<std::size_t>(line.number - 1)], line.text)
            << "line " << line.number;
    }
}

TEST(MonitoringRuntimeText, OnlyTheListedLinesAreLoneTabsOrCarryTrailingBlanks) {
    const std::vector<std::string> lines = Lines(MonitoringRuntimeText());
    std::vector<int> loneTabs;
    std::vector<int> trailingBlank;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == "\t") {
            loneTabs.push_back(static_cast<int>(i + 1));
        }
        if (!lines[i].empty() && lines[i].back() == ' ') {
            trailingBlank.push_back(static_cast<int>(i + 1));
        }
    }
    EXPECT_EQ(loneTabs, (std::vector<int>{28, 43, 83, 91, 97, 115, 146}));
    EXPECT_EQ(trailingBlank, (std::vector<int>{29, 31, 33}));
}

} // namespace
} // namespace tickscope
