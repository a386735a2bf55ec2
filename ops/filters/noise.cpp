// Impulse noise: a copy of the source with `points` pixels of random colour.
//
// The generator is a 32-bit linear congruential one, s <- 214013 s + 2531011,
// each draw yielding bits 16..30 of s (0..32767), started afresh from the
// seed on every call. The program seeds it from the calendar time in whole
// seconds, so two calls within one second paint the same points.
//
// Each point takes five draws: column, row, blue, green, red. A draw R maps
// to floor((R * k) * (size - 1)) with k the single-precision 1/32767, which
// is slightly below it: R * k never reaches 1, so the right-hand column and
// the top row never get a point and no channel reaches 255. A picture of
// width or height 0 gets no points (there is no pixel to paint).
#include <cstring>

#include "ops/operations.h"
#include "image/statistics.h"

namespace {

struct NoiseGenerator {
    std::uint32_t state;
    int next()
    {
        state = 214013u * state + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
};

// R * k is exact in a double (15 by 24 bits), and so is its product with a
// size below 2^16 or with 255: the truncation is an exact floor.
const double kScale = static_cast<double>(1.0f / 32767.0f);
const double kColour = static_cast<double>(255.0f);

int scaled(int draw, double range) { return static_cast<int>((draw * kScale) * range); }

}  // namespace

bool add_noise(const ImageRecord& source, ImageRecord& destination, std::int32_t points, std::uint32_t seed)
{
    if (!ensure_destination(source, destination)) return false;
    copy_size_fields(source, destination);
    std::uint8_t* out = destination.pixels.get();
    if (source.data_size > 0) std::memcpy(out, source.pixels.get(), static_cast<std::size_t>(source.data_size));

    NoiseGenerator random{seed};
    const std::size_t stride = source.stride();
    const double columns = source.width - 1, rows = source.height - 1;
    if (source.width != 0 && source.height != 0)
        for (std::int32_t i = 0; i < points; ++i) {
            const int x = scaled(random.next(), columns);
            const int y = scaled(random.next(), rows);
            std::uint8_t* pixel = out + static_cast<std::size_t>(y) * stride + 3 * static_cast<std::size_t>(x);
            pixel[0] = static_cast<std::uint8_t>(scaled(random.next(), kColour));
            pixel[1] = static_cast<std::uint8_t>(scaled(random.next(), kColour));
            pixel[2] = static_cast<std::uint8_t>(scaled(random.next(), kColour));
        }
    compute_statistics(destination);
    return true;
}
