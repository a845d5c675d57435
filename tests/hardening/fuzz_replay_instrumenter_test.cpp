// Saved inputs of the instrumenter fuzz target, replayed as a test of the normal build.
#include "../../fuzz/targets/instrumenter_fuzz.cpp"

#include "hardening/fuzz_replay.h"

TICKSCOPE_FUZZ_REPLAY_TESTS(FuzzReplayInstrumenter, "instrumenter")
