#include "ui/birds_view.h"

#include "ui/report_colours.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace tickscope {
namespace {

constexpr Rgb Red(int r) {
    return MakeRgb(r, 0, 0);
}
constexpr Rgb kGrey = kBirdsViewBackground;

// Rows whose Hits and Time cells show the given colours: a red is that heat, grey no heat.
std::vector<RowHeat> ReportWithHeat(const std::vector<std::pair<Rgb, Rgb>>& heat) {
    const auto heatOf = [](Rgb colour) { return colour == kGrey ? -1 : RedOf(colour); };
    std::vector<RowHeat> rows;
    for (const auto& [hits, time] : heat) {
        rows.push_back({heatOf(hits), heatOf(time)});
    }
    return rows;
}

// Colours of column x from top to bottom.
std::vector<Rgb> Column(const BirdsViewPicture& picture, int x) {
    std::vector<Rgb> colours;
    for (int y = 0; y < picture.Height; ++y) {
        colours.push_back(picture.At(x, y));
    }
    return colours;
}

std::vector<Rgb> Repeat(std::initializer_list<std::pair<Rgb, int>> runs) {
    std::vector<Rgb> colours;
    for (const auto& [colour, count] : runs) {
        colours.insert(colours.end(), static_cast<std::size_t>(count), colour);
    }
    return colours;
}

TEST(BirdsViewTest, BandsShowTheHeatOfTheirRows) {
    struct Case {
        const char* Name;
        std::vector<std::pair<Rgb, Rgb>> Heat;
        int Width, Height;
        std::vector<Rgb> Left, Right; // column 2 and column Width / 2 + 2
    };
    const Rgb grey = kGrey;
    // clang-format off
    const std::vector<Case> cases = {
        {"no rows: plain grey", {}, 16, 10, Repeat({{grey, 10}}), Repeat({{grey, 10}})},
        {"one row fills the whole height", {{Red(200), Red(50)}}, 16, 10,
         Repeat({{Red(200), 10}}), Repeat({{Red(50), 10}})},
        {"a heat of 0 is black", {{Red(0), Red(0)}}, 16, 6,
         Repeat({{kBlack, 6}}), Repeat({{kBlack, 6}})},
        {"rows without heat leave the background", {{kGrey, kGrey}, {kGrey, kGrey}}, 16, 4,
         Repeat({{grey, 4}}), Repeat({{grey, 4}})},
        {"two rows split the height", {{Red(10), Red(90)}, {Red(90), Red(10)}}, 16, 8,
         Repeat({{Red(10), 4}, {Red(90), 4}}), Repeat({{Red(90), 4}, {Red(10), 4}})},
        // Bands of 3.33 pixels are 4 high at tops 0, 3 and 7: each later band starts over.
        {"overlapping bands: the later row paints its band",
         {{Red(200), Red(200)}, {Red(50), kGrey}, {Red(100), Red(100)}}, 16, 10,
         Repeat({{Red(200), 3}, {Red(50), 4}, {Red(100), 3}}),
         Repeat({{Red(200), 4}, {grey, 3}, {Red(100), 3}})},
        {"an unchecked row between hot rows keeps the grey",
         {{Red(9), Red(9)}, {kGrey, kGrey}, {Red(9), Red(9)}}, 16, 3,
         Repeat({{Red(9), 1}, {grey, 1}, {Red(9), 1}}),
         Repeat({{Red(9), 1}, {grey, 1}, {Red(9), 1}})},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const BirdsViewPicture picture = DrawBirdsView(ReportWithHeat(c.Heat), c.Width, c.Height);
        ASSERT_EQ(picture.Width, c.Width);
        ASSERT_EQ(picture.Height, c.Height);
        ASSERT_EQ(picture.Pixels.size(), static_cast<std::size_t>(c.Width * c.Height));
        EXPECT_EQ(Column(picture, 2), c.Left);
        EXPECT_EQ(Column(picture, c.Width / 2 + 2), c.Right);
        // Every column of a half shows the same as the sampled one.
        for (int x = 0; x < c.Width; ++x) {
            EXPECT_EQ(Column(picture, x), x < c.Width / 2 ? c.Left : c.Right) << "x " << x;
        }
    }
}

TEST(BirdsViewTest, ThousandRowsInFourHundredPixelsShowTheHottestRowOfEachBand) {
    constexpr int kRows = 1000;
    constexpr int kHeight = 424;
    std::mt19937 random(3);
    std::vector<std::pair<Rgb, Rgb>> heat;
    for (int i = 0; i < kRows; ++i) {
        const int kind = static_cast<int>(random() % 4);
        const Rgb hits = kind == 0 ? kGrey : Red(static_cast<int>(random() % 256));
        heat.push_back({hits, Red(static_cast<int>(random() % 256))});
    }
    const BirdsViewPicture picture = DrawBirdsView(ReportWithHeat(heat), 14, kHeight);

    // Rows per pixel row: the row's top is its accumulated single-precision position.
    std::vector<int> hottestHits(kHeight, -1);
    std::vector<int> hottestTime(kHeight, -1);
    // The last row rounds to the pixel below the picture and is drawn on the bottom pixel.
    std::vector<int> rowsPerBand(kHeight, 0);
    float y = 0.0f;
    for (int i = 0; i < kRows; ++i) {
        const int top = std::min(static_cast<int>(std::floor(y + 0.5)), kHeight - 1);
        ++rowsPerBand[static_cast<std::size_t>(top)];
        if (heat[i].first != kGrey) {
            hottestHits[top] = std::max(hottestHits[top], RedOf(heat[i].first));
        }
        hottestTime[top] = std::max(hottestTime[top], RedOf(heat[i].second));
        y += static_cast<float>(kHeight) / kRows;
    }
    for (int top = 0; top < kHeight; ++top) {
        SCOPED_TRACE("pixel row " + std::to_string(top));
        EXPECT_GE(rowsPerBand[top], 2);
        EXPECT_LE(rowsPerBand[top], top == kHeight - 1 ? 4 : 3);
        EXPECT_EQ(picture.At(0, top), hottestHits[top] < 0 ? kGrey : Red(hottestHits[top]));
        EXPECT_EQ(picture.At(6, top), hottestHits[top] < 0 ? kGrey : Red(hottestHits[top]));
        EXPECT_EQ(picture.At(7, top), Red(hottestTime[top]));
        EXPECT_EQ(picture.At(13, top), Red(hottestTime[top]));
    }
}

// The drawing as it was before bands were kept inside the picture: rows whose rounded top
// fell below the picture painted nothing (`outside` tells whether any did).
BirdsViewPicture DrawnAsBefore(const std::vector<RowHeat>& rows, int width, int height,
                               bool& outside) {
    outside = false;
    BirdsViewPicture picture{width, height,
                             std::vector<Rgb>(static_cast<std::size_t>(width) * height, kGrey)};
    const float bandHeight = static_cast<float>(height) / static_cast<float>(rows.size());
    const int band = static_cast<int>(std::ceil(bandHeight));
    const auto paint = [&](int heat, int left, int top) {
        const auto at = [&](int x, int y) -> Rgb& {
            return picture.Pixels[static_cast<std::size_t>(std::clamp(y, 0, height - 1)) * width +
                                  static_cast<std::size_t>(x)];
        };
        if (heat < 0) {
            return;
        }
        Rgb present = at(left + 5, top + band / 2);
        const auto fill = [&](Rgb colour) {
            for (int y = std::max(top, 0); y < std::min(top + band, height); ++y) {
                for (int x = left; x < left + width / 2; ++x) {
                    at(x, y) = colour;
                }
            }
        };
        if (GreenOf(present) > 0 && BlueOf(present) > 0) {
            fill(kBlack);
            present = kBlack;
        }
        if (heat > RedOf(present)) {
            fill(Red(heat));
        }
    };
    float y = 0.0f;
    for (const RowHeat& row : rows) {
        const int top = static_cast<int>(std::floor(static_cast<double>(y) + 0.5));
        outside = outside || top >= height;
        paint(row.Hits, 0, top);
        paint(row.Time, width / 2, top);
        y += bandHeight;
    }
    return picture;
}

std::vector<RowHeat> RandomHeats(int count, std::mt19937& random) {
    std::vector<RowHeat> rows;
    for (int i = 0; i < count; ++i) {
        const auto heat = [&] { return random() % 3 == 0 ? -1 : static_cast<int>(random() % 256); };
        rows.push_back({heat(), heat()});
    }
    return rows;
}

TEST(BirdsViewTest, PicturesStayAsTheyWereWhereEveryRowFellInside) {
    std::mt19937 random(11);
    int identical = 0;
    for (int count = 1; count <= 2000; count += count < 900 ? 1 : 37) {
        SCOPED_TRACE(std::to_string(count) + " rows");
        const std::vector<RowHeat> rows = RandomHeats(count, random);
        const BirdsViewPicture now = DrawBirdsView(rows, 20, 424);
        bool outside = false;
        const BirdsViewPicture before = DrawnAsBefore(rows, 20, 424, outside);
        if (!outside) {
            ASSERT_EQ(now.Pixels, before.Pixels);
            ++identical;
            continue;
        }
        // Only the bottom pixel row differs: the rows that fell below now paint it.
        const std::size_t bottom = static_cast<std::size_t>(423) * 20;
        ASSERT_TRUE(
            std::equal(before.Pixels.begin(), before.Pixels.begin() + bottom, now.Pixels.begin()));
        EXPECT_GE(count, 800);
    }
    EXPECT_GE(identical, 800);
}

TEST(BirdsViewTest, EveryRowIsSeenOnItsOwn) {
    struct Case {
        int Rows, Height;
    };
    for (const Case& c : std::vector<Case>{{3, 10},
                                           {847, 424},
                                           {848, 424},
                                           {849, 424},
                                           {1000, 424},
                                           {13962, 424},
                                           {5000, 7},
                                           {2, 1}}) {
        // The rows near the end, where rounding runs out of picture, and some before them.
        std::vector<int> probes;
        for (int i = std::max(0, c.Rows - 6); i < c.Rows; ++i) {
            probes.push_back(i);
        }
        for (int i = 0; i < c.Rows; i += std::max(1, c.Rows / 25)) {
            probes.push_back(i);
        }
        for (const int hot : probes) {
            SCOPED_TRACE(std::to_string(c.Rows) + " rows in " + std::to_string(c.Height) +
                         " pixels, row " + std::to_string(hot));
            std::vector<RowHeat> rows(static_cast<std::size_t>(c.Rows));
            rows[static_cast<std::size_t>(hot)] = {255, 200};
            const BirdsViewPicture picture = DrawBirdsView(rows, 12, c.Height);
            const auto shown = [&](int x, Rgb colour) {
                const std::vector<Rgb> column = Column(picture, x);
                return std::count(column.begin(), column.end(), colour);
            };
            EXPECT_GT(shown(1, Red(255)), 0);
            EXPECT_GT(shown(7, Red(200)), 0);
        }
    }
}

TEST(BirdsViewTest, OddAndTinyPicturesAreSafe) {
    const std::vector<RowHeat> report = ReportWithHeat({{Red(99), Red(77)}, {Red(5), Red(6)}});
    struct Case {
        int Width, Height;
    };
    for (const Case& c : std::vector<Case>{
             {0, 0}, {1, 1}, {3, 2}, {7, 1}, {0, 50}, {50, 0}, {-4, 10}, {10, -4}, {2, 1000}}) {
        SCOPED_TRACE(std::to_string(c.Width) + " x " + std::to_string(c.Height));
        const BirdsViewPicture picture = DrawBirdsView(report, c.Width, c.Height);
        EXPECT_EQ(picture.Width, std::max(c.Width, 0));
        EXPECT_EQ(picture.Height, std::max(c.Height, 0));
        EXPECT_EQ(picture.Pixels.size(), static_cast<std::size_t>(picture.Width) *
                                             static_cast<std::size_t>(picture.Height));
        if (picture.Width % 2 == 1 && picture.Height > 0) {
            EXPECT_EQ(picture.At(picture.Width - 1, 0), kGrey)
                << "the odd last column is not drawn";
        }
    }
    // Redrawing into the same picture replaces the earlier drawing.
    BirdsViewPicture picture;
    DrawBirdsView(picture, report, 10, 10);
    DrawBirdsView(picture, ReportWithHeat({}), 4, 3);
    EXPECT_EQ(picture.Pixels, std::vector<Rgb>(12, kGrey));
}

TEST(BirdsViewTest, ClickPositionsMapToRows) {
    struct Case {
        int Rel, Height, Rows, Expected;
    };
    const std::vector<Case> cases = {
        {50, 424, 0, -1},   {50, 424, 1, -1},   {5, 0, 10, -1},        {0, 100, 11, 0},
        {25, 100, 11, 2},   {35, 100, 11, 4},   {15, 100, 11, 2},      {104, 100, 11, 10},
        {100, 100, 11, 10}, {200, 100, 11, 10}, {-5, 100, 11, 0},      {-30, 100, 11, 0},
        {50, 100, 2, 0},    {51, 100, 2, 1},    {424, 424, 1000, 999}, {0, 424, 1000, 0},
        {1, 424, 1000, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BirdsViewRowAt(c.Rel, c.Height, c.Rows), c.Expected)
            << c.Rel << " of " << c.Height << " px, " << c.Rows << " rows";
    }
}

} // namespace
} // namespace tickscope
