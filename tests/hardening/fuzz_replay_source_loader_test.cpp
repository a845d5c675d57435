// Saved inputs of the source_loader fuzz target, replayed as a test of the normal build.
#include "../../fuzz/targets/source_loader_fuzz.cpp"

#include "hardening/fuzz_replay.h"

TICKSCOPE_FUZZ_REPLAY_TESTS(FuzzReplaySourceLoader, "source_loader")
