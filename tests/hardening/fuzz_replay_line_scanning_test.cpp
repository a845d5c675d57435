// Saved inputs of the line_scanning fuzz target, replayed as a test of the normal build.
#include "../../fuzz/targets/line_scanning_fuzz.cpp"

#include "hardening/fuzz_replay.h"

TICKSCOPE_FUZZ_REPLAY_TESTS(FuzzReplayLineScanning, "line_scanning")
