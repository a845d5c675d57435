#pragma once

#include "report/report_options.h"

namespace tickscope::report {

// --compare OLD.tkr NEW.tkr: loads the two runs one after the other (each reduced to its
// figures before the next is read), compares them and prints the comparison. Returns
// kExitOk; kExitBadInput with one line on stderr for a run that cannot be read;
// kExitWriteFailed when the output did not all reach standard output; kExitSlower, after
// the output, when --fail-slower finds figures that grew beyond it (listed on stderr).
int CompareCommand(const ReportOptions& options);

} // namespace tickscope::report
