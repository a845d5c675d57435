#pragma once

#include <string>

namespace tickscope {

// The monitoring runtime's PureBasic source: 155 fixed lines, each ended by LF alone.
const std::string& MonitoringRuntimeText();

} // namespace tickscope
