// The Wallis value of one ratio c^4 / P (P > 0), shared with the tests:
//   V = trunc(ln(ratio + 0.5) * 0.25 * 800), 255 when outside 0..255.
// wallis_value takes the logarithm only for ratios within a relative 1e-9 of
// a point where V steps; wallis_value_direct is the expression as written.
#pragma once

#include <cstdint>

std::uint8_t wallis_value(double ratio);
std::uint8_t wallis_value_direct(double ratio);
