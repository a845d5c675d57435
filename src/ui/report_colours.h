#pragma once

#include "ui/list_data.h"

namespace tickscope {

// Colours of the report and its bird's view.
inline constexpr Rgb kUncountedText = MakeRgb(100, 100, 100); // File, Line, Code
inline constexpr Rgb kFileLineBackground = MakeRgb(200, 200, 200);
inline constexpr Rgb kGreyFigureText = MakeRgb(200, 200, 200); // Hits, Time unchecked
inline constexpr Rgb kGreyFigureBackground = MakeRgb(100, 100, 100);
inline constexpr Rgb kCountedCodeText = kBlack;
inline constexpr Rgb kCheckedFigureText = kWhite;
inline constexpr Rgb kProcedureStartText = MakeRgb(0, 200, 0);
inline constexpr Rgb kProcedureEndText = MakeRgb(200, 0, 0);
inline constexpr Rgb kFindMark = MakeRgb(255, 255, 0);
inline constexpr Rgb kBirdsViewBackground = MakeRgb(100, 100, 100);

// The background of a heat: red 0..255, no green, no blue.
constexpr Rgb HeatColour(int red) {
    return MakeRgb(red, 0, 0);
}

} // namespace tickscope
