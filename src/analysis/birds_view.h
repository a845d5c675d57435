#pragma once

#include "analysis/list_data.h"

#include <vector>

namespace tickscope {

inline constexpr Rgb kBirdsViewBackground = MakeRgb(100, 100, 100);

// A picture as rows of RGB pixels, top row first.
struct BirdsViewPicture {
    int Width = 0;
    int Height = 0;
    std::vector<Rgb> Pixels; // Width * Height

    Rgb At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
};

// Draws the bird's view of the report into `picture` (resized to width x height, its buffer
// reused): grey background; one band per row, the hottest row of a band wins; the left half
// from the Hits backgrounds, the right half from the Time backgrounds. Rows whose background
// is not a heat colour (grey, white) leave the band as it is.
void DrawBirdsView(BirdsViewPicture& picture, const ListData& reportList, int width, int height);
BirdsViewPicture DrawBirdsView(const ListData& reportList, int width, int height);

// Row of the report under a click at `rel` pixels below the top of a bird's view `height`
// pixels high, for a report of `rowCount` rows; -1 when there is nothing to scroll (fewer
// than two rows, or no height). Results outside the rows are clamped to the first or last.
int BirdsViewRowAt(int rel, int height, int rowCount);

} // namespace tickscope
