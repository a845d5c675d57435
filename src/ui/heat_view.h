#pragma once

#include "analysis/attribution.h"
#include "analysis/birds_view.h"
#include "ui/report_commands.h"

#include <QImage>

namespace tickscope {

class MainWindow;

// The bird's view picture as a Qt image.
QImage ToImage(const BirdsViewPicture& picture);

// The heat colouring of the report and its bird's view, on the window's controls.
class HeatView {
  public:
    HeatView(MainWindow& window, const AnalyzerSettings& settings, const RunAnalysis& analysis)
        : window_(window), settings_(settings), analysis_(analysis) {}

    // Writes the figures and heat colours into the report, shows them and redraws the
    // bird's view.
    void RefreshReport();
    // Redraws the bird's view from the report's colours and lays it over BirdsView_Helper.
    void DrawBirdsView();
    // Scrolls the report to the row under a click at `mouseY` (main window coordinates).
    void ScrollFromBirdsView(int mouseY);

    const BirdsViewPicture& Picture() const { return picture_; }

  private:
    MainWindow& window_;
    const AnalyzerSettings& settings_;
    const RunAnalysis& analysis_;
    BirdsViewPicture picture_; // its buffer is reused from one drawing to the next
};

} // namespace tickscope
