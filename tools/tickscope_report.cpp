// tickscope-report: prints the report of a recorded run without the window, for scripts and
// CI. The command line is read in report/report_options.*, the commands run in
// report/report_commands.*; `tickscope-report --help` lists every option.

#include "report/report_commands.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    return tickscope::report::RunReportTool(std::vector<std::string>(argv + 1, argv + argc));
}
