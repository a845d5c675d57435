#include "ui/analyzer_app.h"

namespace tickscope {

void RunAnalyzer(const std::string&) {
    // Placeholder until the analyzer window lands.
}

} // namespace tickscope
