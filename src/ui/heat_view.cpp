#include "ui/heat_view.h"

#include "ui/list_view.h"
#include "ui/main_window.h"
#include "ui/report_presenter.h"

#include <QPixmap>

namespace tickscope {

QImage ToImage(const BirdsViewPicture& picture) {
    if (picture.Width <= 0 || picture.Height <= 0) {
        return {};
    }
    QImage image(picture.Width, picture.Height, QImage::Format_RGB32);
    for (int y = 0; y < picture.Height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const Rgb* source = picture.Pixels.data() + static_cast<std::size_t>(y) * picture.Width;
        for (int x = 0; x < picture.Width; ++x) {
            line[x] = 0xFF000000u | source[x];
        }
    }
    return image;
}

void HeatView::RefreshReport() {
    AnalyzerLists& lists = window_.Lists();
    const ReportFigures figures = ComputeReportFigures(
        run_.Analysis, ThreadChecksOf(lists.ThreadList), LineChecksOf(lists.ReportList),
        TimeModeOf(lists.ModeCombo), {settings_.MaxHitsForFullRed, settings_.MaxTimeForFullRed});
    ShowReportFigures(lists.ReportList, figures);
    heats_ = RowHeats(figures);
    toolTipFigures_.reset();
    window_.List(kReportList)->Refresh();
    DrawBirdsView();
}

void HeatView::DrawBirdsView() {
    const QWidget* helper = window_.Control(kBirdsViewHelper);
    BirdsViewLabel* image = window_.BirdsViewImage();
    if (!helper || !image) {
        return;
    }
    const QRect place = helper->geometry();
    // Rows listed since the last refresh (a program was chosen) have no heat yet.
    heats_.resize(window_.Lists().ReportList.RowCount());
    if (place.width() > 0 && place.height() > 0) {
        tickscope::DrawBirdsView(picture_, heats_, place.width(), place.height());
        image->setPixmap(QPixmap::fromImage(ToImage(picture_)));
    } else {
        picture_ = {};
        image->clear();
    }
    image->setGeometry(place);
}

std::string HeatView::ReportToolTip(std::size_t row) {
    if (!toolTipFigures_) {
        toolTipFigures_ =
            SumReportToolTipFigures(run_.Analysis, ThreadChecksOf(window_.Lists().ThreadList));
    }
    return ReportRowToolTip(run_, *toolTipFigures_, row);
}

void HeatView::ScrollFromBirdsView(int mouseY) {
    const QWidget* helper = window_.Control(kBirdsViewHelper);
    ListView* report = window_.List(kReportList);
    if (!helper || !report) {
        return;
    }
    ListData& rows = window_.Lists().ReportList;
    const int row =
        BirdsViewRowAt(mouseY - helper->y(), helper->height(), static_cast<int>(rows.RowCount()));
    if (row < 0) {
        return;
    }
    // Showing the last row first makes the chosen row the top visible one.
    report->scrollToBottom();
    report->scrollTo(report->Model().index(row, 0), QAbstractItemView::PositionAtTop);
    rows.SelectOnly(-1);
    report->ShowSelectionFromData(false);
}

} // namespace tickscope
