// Saved inputs of the run_files fuzz target, replayed as a test of the normal build.
#include "../../fuzz/targets/run_files_fuzz.cpp"

#include "hardening/fuzz_replay.h"

TICKSCOPE_FUZZ_REPLAY_TESTS(FuzzReplayRunFiles, "run_files")
