#pragma once

#include <string>

namespace tickscope {

// Analysis mode: opens the analyzer window on the runs below `homeFolder` ("Tickscope"
// sub-folder) and runs its event loop until the window is closed. Needs a QApplication.
void RunAnalyzer(const std::string& homeFolder);

} // namespace tickscope
