#include "ui/analyzer_app.h"

#include "ui/analyzer_session.h"
#include "ui/main_window.h"
#include "ui/qt_requesters.h"
#include "ui/selection_dialog.h"

namespace tickscope {

void RunAnalyzer(const std::string& homeFolder) {
    QtRequesters requesters(nullptr);
    DialogListChooser chooser;
    AnalyzerSession session(requesters, chooser);
    const bool opened = session.Open(homeFolder);
    // Messages and the selection dialog appear over the main window.
    requesters.SetParent(&session.Window());
    chooser.SetParent(&session.Window());
    if (opened) {
        session.Run();
    }
}

} // namespace tickscope
