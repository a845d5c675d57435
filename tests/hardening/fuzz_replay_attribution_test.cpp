// Saved inputs of the attribution fuzz target, replayed as a test of the normal build.
#include "../../fuzz/targets/attribution_fuzz.cpp"

#include "hardening/fuzz_replay.h"

TICKSCOPE_FUZZ_REPLAY_TESTS(FuzzReplayAttribution, "attribution")
