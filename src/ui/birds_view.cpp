#include "ui/birds_view.h"

#include "ui/report_colours.h"

#include <algorithm>
#include <cmath>

namespace tickscope {
namespace {

class Canvas {
  public:
    explicit Canvas(BirdsViewPicture& picture) : picture_(picture) {}

    // Reads a pixel; points outside the picture read the nearest pixel inside it.
    Rgb Point(int x, int y) const {
        x = std::clamp(x, 0, picture_.Width - 1);
        y = std::clamp(y, 0, picture_.Height - 1);
        return picture_.At(x, y);
    }

    // Fills a rectangle, clipped to the picture.
    void Fill(int x, int y, int width, int height, Rgb colour) {
        const int left = std::max(x, 0);
        const int top = std::max(y, 0);
        const int right = std::min(x + width, picture_.Width);
        const int bottom = std::min(y + height, picture_.Height);
        for (int row = top; row < bottom; ++row) {
            Rgb* line = picture_.Pixels.data() + static_cast<std::size_t>(row) * picture_.Width;
            std::fill(line + left, line + std::max(left, right), colour);
        }
    }

  private:
    BirdsViewPicture& picture_;
};

bool ShowsBackground(Rgb colour) {
    return GreenOf(colour) > 0 && BlueOf(colour) > 0;
}

// Paints one row's heat into its band of one half, unless a hotter row of the same band
// is already there.
void DrawHeat(Canvas& canvas, int heat, int probeX, int left, int top, int halfWidth, int band) {
    if (heat < 0) {
        return;
    }
    Rgb present = canvas.Point(probeX, top + band / 2);
    if (ShowsBackground(present)) {
        canvas.Fill(left, top, halfWidth, band, kBlack);
        present = kBlack;
    }
    if (heat > RedOf(present)) {
        canvas.Fill(left, top, halfWidth, band, HeatColour(heat));
    }
}

} // namespace

void DrawBirdsView(BirdsViewPicture& picture, const std::vector<RowHeat>& rows, int width,
                   int height) {
    picture.Width = std::max(width, 0);
    picture.Height = std::max(height, 0);
    picture.Pixels.assign(static_cast<std::size_t>(picture.Width) * picture.Height,
                          kBirdsViewBackground);
    if (rows.empty() || picture.Width == 0 || picture.Height == 0) {
        return;
    }
    Canvas canvas(picture);
    const float bandHeight = static_cast<float>(picture.Height) / static_cast<float>(rows.size());
    const int band = static_cast<int>(std::ceil(bandHeight));
    const int halfWidth = picture.Width / 2;
    float y = 0.0f;
    for (const RowHeat& row : rows) {
        int top = static_cast<int>(std::floor(static_cast<double>(y) + 0.5));
        // With more than two rows per pixel (848 rows in 424 pixels) the last rows round to
        // the first pixel below the picture and would never be seen: their band sits on the
        // bottom edge instead.
        if (top >= picture.Height) {
            top = picture.Height - band;
        }
        DrawHeat(canvas, row.Hits, 5, 0, top, halfWidth, band);
        DrawHeat(canvas, row.Time, halfWidth + 5, halfWidth, top, halfWidth, band);
        y += bandHeight;
    }
}

BirdsViewPicture DrawBirdsView(const std::vector<RowHeat>& rows, int width, int height) {
    BirdsViewPicture picture;
    DrawBirdsView(picture, rows, width, height);
    return picture;
}

int BirdsViewRowAt(int rel, int height, int rowCount) {
    const int last = rowCount - 1;
    if (last <= 0 || height <= 0) {
        return -1;
    }
    const float pixelsPerRow = static_cast<float>(height) / static_cast<float>(last);
    const float row = std::nearbyint(static_cast<float>(rel) / pixelsPerRow); // ties to even
    if (!(row > 0.0f)) {
        return 0;
    }
    return row >= static_cast<float>(last) ? last : static_cast<int>(row);
}

} // namespace tickscope
