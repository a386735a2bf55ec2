// Literal, slow versions of the luma edge filters and the noise command, used
// as oracles. Each follows the operation protocol: a destination without a
// block gets a zero-filled one of the source's data size, a block it holds is
// reused; the size fields are copied and the statistics recomputed. Written
// for clarity: a luma plane of their own, every window read afresh, every
// formula as stated.
#pragma once

#include <cstdint>

#include "image/image_record.h"

namespace reference {

void roberts(const ImageRecord& source, ImageRecord& destination);
void sobel(const ImageRecord& source, ImageRecord& destination);
void kirsch(const ImageRecord& source, ImageRecord& destination);
void wallis(const ImageRecord& source, ImageRecord& destination);
void linear(const ImageRecord& source, ImageRecord& destination);
void laplace(const ImageRecord& source, ImageRecord& destination);
void noise(const ImageRecord& source, ImageRecord& destination, std::int32_t points, std::uint32_t seed);

// The noise generator: next draw (0..32767) from the state, advancing it.
int noise_draw(std::uint32_t& state);

}  // namespace reference
