#pragma once

#include "analysis/comparison_output.h"
#include "analysis/report_output.h"
#include "platform/text_sink.h"

#include <cstddef>

namespace tickscope {

// The report of a run as one self-contained HTML page (no network, no external scripts or
// fonts), written piece by piece into `out`: the run's heading with a check box per thread,
// the procedures and the hottest lines (sortable), and every source file as a listing with
// hits, time, self time and its percent, the heat colours of the window, and a bird's view
// strip. The page keeps each thread's figures, so that checking threads recomputes every
// figure as the report tool does for --threads. The layout's table, order and top do not
// apply: the page shows everything.
void WriteHtmlReport(const RunReport& report, TextSink& out);

// A comparison of two runs as one such page: both runs' headings and run times, the
// procedures and the lines that changed most (sortable), and every file as a listing of old
// and new figures with the change, slower in red and faster in green.
void WriteHtmlComparison(const ComparisonReport& report, TextSink& out);

// How many lines the hottest lines table shows.
inline constexpr std::size_t kHtmlHottestLines = 20;

} // namespace tickscope
