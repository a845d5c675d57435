#pragma once

// What tickscope-report does for each command of its command line.

#include "report/report_options.h"

#include <string>
#include <vector>

namespace tickscope::report {

// Runs the command the options name and returns the exit code: kExitOk; kExitBadInput with
// one line on standard error for a run that cannot be read or a run folder that cannot be
// listed; kExitWriteFailed when the output did not all reach standard output.
int RunCommand(const ReportOptions& options);

// The whole tool: reads the arguments (without the program name), prints the help, the
// version or the message about bad arguments, or runs the command; returns the exit code.
int RunReportTool(const std::vector<std::string>& arguments);

} // namespace tickscope::report
