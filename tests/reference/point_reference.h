// Literal point operations, written as the arithmetic reads, byte by byte;
// the oracles for the fast versions. Each writes into `out`, a copy of the
// destination block, leaving the bytes it does not own alone.
#pragma once

#include <cstdint>
#include <vector>

#include "image/image_record.h"

void reference_grayscale(const ImageRecord& src, std::vector<std::uint8_t>& out);
void reference_binarize(const ImageRecord& src, std::vector<std::uint8_t>& out, std::uint8_t threshold);
void reference_negative(const ImageRecord& src, std::vector<std::uint8_t>& out);
void reference_brightness(const ImageRecord& src, std::vector<std::uint8_t>& out, std::int16_t offset);
void reference_contrast(const ImageRecord& src, std::vector<std::uint8_t>& out, float k);
