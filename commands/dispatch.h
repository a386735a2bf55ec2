// The command dispatcher: everything around an operation. Which commands need
// a loaded image, how the parameter dialog is set up, how its value becomes
// the operation's argument, which record is source and which destination,
// and whether the display switches and repaints.
#pragma once

#include <cstdint>

#include "image/image_record.h"
#include "shell/platform.h"

// Runs one menu command; identifiers outside the table do nothing.
void run_command(WindowHandle window, int id);

// The largest k with 2^k not above the smaller side of the record (0 when
// that side is below 2).
int block_exponent_max(const ImageRecord& record);

// Brightness offset of a percentage v (-100..100, not 0):
// trunc((v * 0.01f) * 255.0f + 0.5) in double, the constants single precision.
std::int16_t brightness_offset(std::int32_t percent);

// Contrast factor of a percentage v (-100..100, not 0): v * 0.1f above 0,
// 10 / |v| below, rounded to single precision.
float contrast_factor(std::int32_t percent);

// Texts the dispatcher shows when the heap cannot hold a command's buffers.
inline constexpr const char* kErrorCaption = "Ошибка";
inline constexpr const char* kOutOfMemory = "Не хватает памяти для этой операции.";
