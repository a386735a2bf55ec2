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

#include "image/statistics.h"
#include "ops/explain.h"
#include "ops/operations.h"
#include "text/catalogue.h"

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

// The points in the order they are painted: paint(x, memory row, blue,
// green, red) for each, five draws apiece.
template <class Paint>
void for_each_point(std::uint32_t seed, std::int32_t points, int width, int height, Paint&& paint)
{
    if (width == 0 || height == 0) return;
    NoiseGenerator random{seed};
    const double columns = width - 1, rows = height - 1;
    for (std::int32_t i = 0; i < points; ++i) {
        const int x = scaled(random.next(), columns);
        const int y = scaled(random.next(), rows);
        const auto blue = static_cast<std::uint8_t>(scaled(random.next(), kColour));
        const auto green = static_cast<std::uint8_t>(scaled(random.next(), kColour));
        const auto red = static_cast<std::uint8_t>(scaled(random.next(), kColour));
        paint(x, y, blue, green, red);
    }
}

}  // namespace

bool add_noise(const ImageRecord& source, ImageRecord& destination, std::int32_t points, std::uint32_t seed)
{
    if (!ensure_destination(source, destination)) return false;
    copy_size_fields(source, destination);
    std::uint8_t* out = destination.pixels.get();
    if (source.data_size > 0) std::memcpy(out, source.pixels.get(), static_cast<std::size_t>(source.data_size));

    const std::size_t stride = source.stride();
    for_each_point(seed, points, source.width, source.height,
                   [&](int x, int y, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
                       std::uint8_t* pixel = out + static_cast<std::size_t>(y) * stride + 3 * static_cast<std::size_t>(x);
                       pixel[0] = blue;
                       pixel[1] = green;
                       pixel[2] = red;
                   });
    compute_statistics(destination);
    return true;
}

// The generator replayed from the command's seed: the last point that fell
// on the pixel decides it; without one the pixel is the source's copy.
Explanation explain_noise(const PixelQuestion& q, std::int32_t points, std::uint32_t seed)
{
    Explanation e = explain::computed(q);
    explain::add_own_pixel(q, e);
    const int row = static_cast<int>(q.source.memory_row(q.y));
    std::int32_t index = 0, last = 0, hits = 0;
    std::uint8_t colour[3] = {};
    for_each_point(seed, points, q.source.width, q.source.height,
                   [&](int x, int y, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
                       ++index;
                       if (x != q.x || y != row) return;
                       ++hits;
                       last = index;
                       colour[0] = blue;
                       colour[1] = green;
                       colour[2] = red;
                   });
    explain::add_step(e, "seed", "Начальное состояние генератора", seed);
    explain::add_step(e, "hits", "Точек шума в этом пикселе", hits);
    if (hits == 0) {
        const PixelBytes copy = explain::bytes_at(q.source, q.x, q.y);
        e.result = copy;
        e.note = text::tr("Шум не задел пиксель: он скопирован из исходного изображения.");
        return e;
    }
    explain::add_step(e, "last_point", "Номер последней точки в пикселе", last);
    explain::add_channel_step(e, "colour", "Цвет точки (случайные B, G, R)", colour[0], colour[1], colour[2]);
    e.result = {colour[2], colour[1], colour[0]};
    e.note = text::format("Пиксель задет шумом: точка %1 из %2.", {std::to_string(last), std::to_string(points)});
    return e;
}
