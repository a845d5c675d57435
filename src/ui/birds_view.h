#pragma once

#include "ui/list_data.h"

#include <vector>

namespace tickscope {

// The heat of one report row: the red of its Hits and Time cells, -1 where the row has no
// heat (unchecked, or without results).
struct RowHeat {
    int Hits = -1;
    int Time = -1;
};

// A picture as rows of RGB pixels, top row first.
struct BirdsViewPicture {
    int Width = 0;
    int Height = 0;
    std::vector<Rgb> Pixels; // Width * Height

    Rgb At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
};

// Draws the bird's view of the report into `picture` (resized to width x height, its buffer
// reused): grey background; one band per row, the hottest row of a band wins; the left half
// from the hits heat, the right half from the time heat. Rows without heat leave the band
// as it is. Every band lies inside the picture.
void DrawBirdsView(BirdsViewPicture& picture, const std::vector<RowHeat>& rows, int width,
                   int height);
BirdsViewPicture DrawBirdsView(const std::vector<RowHeat>& rows, int width, int height);

// Row of the report under a click at `rel` pixels below the top of a bird's view `height`
// pixels high, for a report of `rowCount` rows; -1 when there is nothing to scroll (fewer
// than two rows, or no height). Results outside the rows are clamped to the first or last.
int BirdsViewRowAt(int rel, int height, int rowCount);

} // namespace tickscope
