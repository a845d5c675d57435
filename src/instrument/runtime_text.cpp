#include "instrument/runtime_text.h"

namespace tickscope {

const std::string& MonitoringRuntimeText() {
    static const std::string text; // placeholder until the runtime text lands
    return text;
}

} // namespace tickscope
