// Literal, slow versions of the luma edge filters and the noise command, used
// as oracles. Each follows the operation protocol: a destination without a
// block gets a zero-filled one of the source's data size, a block it holds is
// reused; the size fields are copied and the statistics recomputed. Written
// for clarity: a luma plane of their own, every window read afresh, every
// formula as stated.
#pragma once

#include <cstdint>

#include "image/image_record.h"
#include "ops/operations.h"

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

// The luma filters without a parameter, each with its literal reference, by
// command-line step. The filter tests and the benchmark run every one; the
// command tests fail while a command of the filters' menu without a dialog
// is missing here.
struct LumaFilter {
    const char* step;
    bool (*fast)(const ImageRecord& source, ImageRecord& destination);
    void (*slow)(const ImageRecord& source, ImageRecord& destination);
};
inline constexpr LumaFilter kLumaFilters[] = {
    {"roberts", roberts_filter, roberts}, {"sobel", sobel_filter, sobel},       {"kirsch", kirsch_filter, kirsch},
    {"wallis", wallis_filter, wallis},    {"linear", linear_filter, linear},    {"laplace", laplace_filter, laplace},
};

}  // namespace reference
