#pragma once

#include <vector>

namespace tickscope {

// The user's choice of lines and threads. Line checks have one entry per line of code of
// the loaded run (index LineId - 1): checked lines take part in the heat scale and get heat
// colours. Thread checks have one entry per thread of the run, in the order of the
// analysis's threads: only checked threads count in the per-line figures.
using LineChecks = std::vector<bool>;
using ThreadChecks = std::vector<bool>;

} // namespace tickscope
