#pragma once

#include "analysis/loaded_run.h"
#include "ui/birds_view.h"
#include "ui/report_commands.h"
#include "ui/report_presenter.h"

#include <optional>
#include <string>
#include <vector>

#include <QImage>

namespace tickscope {

class MainWindow;

// The bird's view picture as a Qt image.
QImage ToImage(const BirdsViewPicture& picture);

// The heat colouring of the report and its bird's view, on the window's controls.
class HeatView {
  public:
    // `run` is the loaded run (an empty one before the first load); it outlives the view.
    HeatView(MainWindow& window, const AnalyzerSettings& settings, const LoadedRun& run)
        : window_(window), settings_(settings), run_(run) {}

    // Computes the report of the run for the checks, the mode and the thresholds of the
    // window, writes it into the report, shows it and redraws the bird's view.
    void RefreshReport();
    // Redraws the bird's view from the heat of the report's rows and lays it over
    // BirdsView_Helper.
    void DrawBirdsView();
    // The report's rows were listed anew: none has heat until the next refresh.
    void ForgetHeats() {
        heats_.clear();
        toolTipFigures_.reset();
    }
    // Scrolls the report to the row under a click at `mouseY` (main window coordinates).
    void ScrollFromBirdsView(int mouseY);

    // The tooltip of a report row: its path, line, hits, time in every mode, self time and
    // its instructions.
    std::string ReportToolTip(std::size_t row);

    const BirdsViewPicture& Picture() const { return picture_; }

  private:
    MainWindow& window_;
    const AnalyzerSettings& settings_;
    const LoadedRun& run_;
    std::vector<RowHeat> heats_; // of the rows as last refreshed
    BirdsViewPicture picture_;   // its buffer is reused from one drawing to the next
    // The figures of the lines for the checked threads, summed when a tooltip first asks
    // after a refresh.
    std::optional<ReportToolTipFigures> toolTipFigures_;
};

} // namespace tickscope
