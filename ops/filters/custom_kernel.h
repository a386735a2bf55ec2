// A kernel of the user's own: 3x3 or 5x5 integer weights, a divisor, an
// offset and a rule for values outside 0..255, run on the luma (one grey
// value written into blue, green and red, as the luma filters do) or on each
// colour channel.
//
// The arithmetic, for every pixel whose whole window lies inside the picture:
//   S = sum of weight x sample over the window, in 32-bit integers (the
//       weights lie over the samples as the picture shows them, top row
//       first; the kernel is not mirrored);
//   N = S + offset x divisor;
//   q = N / divisor rounded to the nearest integer, a half away from zero;
//   the byte written: clamp(q) to 0..255 (clamp), clamp(|q|) (abs), or
//   clamp(q + 128) (plus128).
// The divisor is 1..65025, or "auto": the sum of the weights when it is
// positive, otherwise 1. The frame the window does not cover (1 pixel wide
// for 3x3, 2 for 5x5) and the row padding are not written: they keep what
// the destination held, as with every window filter.
#pragma once

#include <cstdint>

enum class OutOfRange : std::uint8_t { Clamp, Absolute, Plus128 };
enum class KernelChannels : std::uint8_t { Luma, EachChannel };

inline constexpr int kKernelMaxWeight = 255;
inline constexpr int kKernelMaxDivisor = 65025;
inline constexpr int kKernelMaxOffset = 255;

struct CustomKernel {
    std::uint8_t size = 3;  // 3 or 5
    // size x size weights, rows top to bottom, each left to right; -255..255.
    std::int16_t weights[25] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    std::int32_t divisor = 0;  // 1..65025; 0: auto
    std::int16_t offset = 0;   // -255..255
    OutOfRange out_of_range = OutOfRange::Clamp;
    KernelChannels channels = KernelChannels::Luma;

    bool operator==(const CustomKernel&) const = default;
};

// The divisor the arithmetic uses: the one set, or for auto the sum of the
// weights when positive, else 1.
std::int32_t kernel_divisor(const CustomKernel& kernel);

// True when every field lies in its range (size 3 or 5, unused weights 0).
bool kernel_valid(const CustomKernel& kernel);

// q of the arithmetic above for the window sum S.
std::int32_t kernel_quotient(std::int32_t sum, std::int32_t divisor, std::int32_t offset);

// The byte q becomes under the rule.
std::uint8_t kernel_byte(std::int32_t quotient, OutOfRange rule);
