#include "analysis/report_figures.h"

#include "analysis/line_figures.h"
#include "source/line_scanning.h"
#include "source/text_utils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tickscope {
namespace {

// Below 2^23 ms a double holds nanos / 1e6 closer than half a unit of the ninth decimal, so
// printing it with nine decimals gives the exact decimal of the nanoseconds.
constexpr std::int64_t kExactFormatLimit = (std::int64_t{1} << 23) * 1000000;

std::size_t TrimTrailingZeros(char* buffer, std::size_t length) {
    while (length > 0 && buffer[length - 1] == '0') {
        --length;
    }
    return length;
}

std::size_t FormatExactMilliseconds(std::int64_t nanos, char* buffer) {
    std::size_t length = 0;
    if (nanos < 0) {
        buffer[length++] = '-';
        nanos = -nanos;
    }
    const auto [end, error] =
        std::to_chars(buffer + length, buffer + kMillisecondsBufferSize, nanos / 1000000);
    (void)error;
    length = static_cast<std::size_t>(end - buffer);
    buffer[length++] = '.';
    // The six digits from the last, by constant divisions, which the compiler makes cheap.
    auto fraction = static_cast<std::uint32_t>(nanos % 1000000);
    for (std::size_t i = 6; i > 0; --i) {
        buffer[length + i - 1] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    return TrimTrailingZeros(buffer, length + 6);
}

} // namespace

std::size_t FormatMilliseconds(std::int64_t nanos, char* buffer) {
    if (nanos > -kExactFormatLimit && nanos < kExactFormatLimit) {
        return FormatExactMilliseconds(nanos, buffer);
    }
    const int written = std::snprintf(buffer, kMillisecondsBufferSize, "%.9f",
                                      static_cast<double>(nanos) / 1000000.0);
    return TrimTrailingZeros(buffer, written > 0 ? static_cast<std::size_t>(written) : 0);
}

std::string FormatMilliseconds(std::int64_t nanos) {
    char buffer[kMillisecondsBufferSize];
    return std::string(buffer, FormatMilliseconds(nanos, buffer));
}

double ReportedMilliseconds(std::int64_t nanos) {
    // Below the exact limit the text is the exact decimal of nanos / 1e6, and both the
    // division and reading the text back round that same value once; above it the text is
    // the double printed with enough digits to read back unchanged.
    return static_cast<double>(nanos) / 1000000.0;
}

int HeatRed(double value, double largest) {
    const double scaled = value / largest * 255.0;
    if (!(scaled > 0.0)) { // also NaN from 0 / 0
        return 0;
    }
    if (scaled >= 255.0) {
        return 255;
    }
    return static_cast<int>(std::nearbyint(scaled)); // ties to even
}

ProcedureMark ProcedureMarkOf(std::string_view code) {
    // Every keyword of the marks contains "procedure": other lines need no keyword search.
    if (!ContainsIgnoringAsciiCase(code, "procedure")) {
        return ProcedureMark::None;
    }
    for (const char* keyword : {"procedure", "proceduredll", "procedurec", "procedurecdll"}) {
        if (FindKeyword(code, keyword) != 0) {
            return ProcedureMark::Start;
        }
    }
    return FindKeyword(code, "endprocedure") != 0 ? ProcedureMark::End : ProcedureMark::None;
}

ReportFigures ComputeReportFigures(const RunAnalysis& analysis, const ThreadChecks& threads,
                                   const LineChecks& lines, TimeMode mode, HeatScale scale) {
    ReportFigures figures;
    figures.Mode = mode;
    figures.Lines.resize(lines.size());
    std::int64_t largestHits = 0;
    double largestTime = 0.0;
    for (const LineResult& result : ComputeLineResults(analysis, threads, mode)) {
        if (result.LineId < 1 || static_cast<std::size_t>(result.LineId) > lines.size()) {
            continue; // line id 0 collects entries of no line
        }
        const auto index = static_cast<std::size_t>(result.LineId) - 1;
        LineReport& line = figures.Lines[index];
        line.HasResults = true;
        line.Hits = result.Hits;
        line.TimeNanos = result.TimeNanos;
        ++figures.LinesWithResults;
        if (lines[index]) {
            largestHits = std::max(largestHits, result.Hits);
            largestTime = std::max(largestTime, ReportedMilliseconds(result.TimeNanos));
        }
    }
    if (scale.MaxHitsForFullRed != 0) {
        largestHits = scale.MaxHitsForFullRed;
    }
    if (scale.MaxTimeForFullRed != 0) {
        largestTime = scale.MaxTimeForFullRed;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineReport& line = figures.Lines[i];
        if (lines[i] && line.HasResults) {
            line.HitsHeat =
                HeatRed(static_cast<double>(line.Hits), static_cast<double>(largestHits));
            line.TimeHeat = HeatRed(ReportedMilliseconds(line.TimeNanos), largestTime);
        }
    }
    return figures;
}

} // namespace tickscope
