#include "instrument/build_mode.h"

namespace tickscope {

void RunBuildMode(const BuildSettings&, Requesters& requesters) {
    // Placeholder until the instrumenter lands.
    requesters.AskYesNo("Tickscope", "Build executable with Tickscope monitoring-code?");
}

} // namespace tickscope
