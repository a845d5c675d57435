#pragma once

#include "source/program_info.h"

namespace tickscope {

// Joins continued lines: a line ending in an operator or comma becomes a comment line and
// its text is carried into the next line of LinesOfCode.
void RunContinuationPass(ProgramInfo& program);

// Splits every line into its instructions at statement colons, keeping label colons.
void RunSplittingPass(ProgramInfo& program);

// Assigns scopes and block keys, registers procedures and detects shared DLLs.
void RunScopePass(ProgramInfo& program);

} // namespace tickscope
