// The digits the view writes into picture pixels from 1600 %: a bitmap font
// of 3 columns by 4 rows per digit, small enough that a pixel's red, green
// and blue values fit on three lines in 16 screen pixels, and drawn by the
// core so every front end shows the same pixels.
#pragma once

#include <cstdint>

inline constexpr int DIGIT_COLUMNS = 3, DIGIT_ROWS = 4;

// Row `row` (0 at the top) of digit `digit` (0..9): bit 2 is the left column,
// bit 0 the right one.
inline std::uint8_t digit_row(int digit, int row)
{
    static constexpr std::uint8_t kRows[10][DIGIT_ROWS] = {
        {07, 05, 05, 07},  // 0
        {06, 02, 02, 07},  // 1
        {06, 01, 02, 07},  // 2
        {07, 03, 01, 07},  // 3
        {05, 07, 01, 01},  // 4
        {07, 06, 01, 06},  // 5
        {04, 07, 05, 07},  // 6
        {07, 01, 02, 02},  // 7
        {07, 07, 05, 07},  // 8
        {07, 05, 07, 01},  // 9
    };
    return kRows[digit][row];
}
