// The kernel dialog's logic, apart from any window: its presets and the one
// word that carries a whole kernel on the command line (and in anything
// that records commands as steps).
//
// The word: SIZE:W1,W2,...,Wn/DIVISOR+OFFSET,RULE,CHANNELS, e.g.
//   3:0,-1,0,-1,5,-1,0,-1,0/1+0,clamp,luma
// SIZE 3 or 5 and SIZE x SIZE weights -255..255, rows top to bottom;
// DIVISOR 1..65025 or "auto"; OFFSET -255..255 with its sign; RULE clamp,
// abs or plus128; CHANNELS luma or rgb. From "/" on everything may be left
// out (auto, +0, clamp, luma); a preset's name stands for its whole kernel.
// Only digits, letters and , : / + - appear, so neither a POSIX shell nor
// the Windows command prompt needs quotes around it.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "ops/filters/custom_kernel.h"

struct KernelPreset {
    const char* name;     // the word's preset name: "sobel-x"
    const char* caption;  // as the dialog lists it, in Russian: shown through text::tr
    CustomKernel kernel;
};

// Every preset, in the dialog's order.
std::span<const KernelPreset> kernel_presets();
const KernelPreset* find_kernel_preset(std::string_view name);

// The whole kernel as one word (never a preset's name).
std::string kernel_word(const CustomKernel& kernel);

// Reads a word (or a preset's name); false with the reason in `error`.
bool parse_kernel_word(std::string_view word, CustomKernel& kernel, std::string& error);

// The rule and channel names of the word, as arrays in enum order.
inline constexpr const char* kOutOfRangeNames[] = {"clamp", "abs", "plus128"};
inline constexpr const char* kChannelNames[] = {"luma", "rgb"};
// The dialog's texts of the same choices and its title, in Russian: a front
// end shows them through text::tr.
inline constexpr const char* kOutOfRangeCaptions[] = {"Ограничить 0..255", "Модуль, затем 0..255",
                                                      "Плюс 128, затем 0..255"};
inline constexpr const char* kChannelCaptions[] = {"По яркости (серое)", "По каждому каналу"};
inline constexpr const char* kKernelDialogTitle = "Свой фильтр";

// The dialog's field texts and back: weights, divisor ("auto" or a number)
// and offset are typed as text. A front end fills its fields from a kernel
// with kernel_field_texts and reads them back with kernel_from_fields, which
// refuses (false, `error` naming the field) a value out of its range.
struct KernelFields {
    int size = 3;
    std::string weights[25];  // size x size used
    std::string divisor;      // "auto" or 1..65025
    std::string offset;
    int out_of_range = 0, channels = 0;
};
KernelFields kernel_field_texts(const CustomKernel& kernel);
bool kernel_from_fields(const KernelFields& fields, CustomKernel& kernel, std::string& error);

// The same kernel at another size: a 3x3 kernel grows into the middle of a
// 5x5 one (zeros around), a 5x5 one shrinks to its middle 3x3.
CustomKernel kernel_resized(const CustomKernel& kernel, int size);
