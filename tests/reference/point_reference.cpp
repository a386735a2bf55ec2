#include "tests/reference/point_reference.h"

namespace {
int reference_luma(int b, int g, int r)
{
    double v = 0.11 * b;
    v = v + 0.5;
    v = v + 0.59 * g;
    v = v + 0.3 * r;
    return static_cast<int>(v);
}

template <class F>
void each_pixel(const ImageRecord& src, F f)
{
    std::size_t at = 0;
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x, at += 3) f(at);
        at += src.row_padding;
    }
}
}  // namespace

void reference_grayscale(const ImageRecord& src, std::vector<std::uint8_t>& out)
{
    const std::uint8_t* s = src.pixels.get();
    each_pixel(src, [&](std::size_t at) {
        const int l = reference_luma(s[at], s[at + 1], s[at + 2]);
        out[at] = out[at + 1] = out[at + 2] = static_cast<std::uint8_t>(l);
    });
}

void reference_binarize(const ImageRecord& src, std::vector<std::uint8_t>& out, std::uint8_t threshold)
{
    const std::uint8_t* s = src.pixels.get();
    each_pixel(src, [&](std::size_t at) {
        const int l = reference_luma(s[at], s[at + 1], s[at + 2]);
        out[at] = out[at + 1] = out[at + 2] = l > threshold ? 255 : 0;
    });
}

void reference_negative(const ImageRecord& src, std::vector<std::uint8_t>& out)
{
    for (std::int32_t i = 0; i < src.data_size; ++i) out[i] = static_cast<std::uint8_t>(255 - src.pixels[i]);
}

void reference_brightness(const ImageRecord& src, std::vector<std::uint8_t>& out, std::int16_t offset)
{
    for (std::int32_t i = 0; i < src.data_size; ++i) {
        int v = src.pixels[i] + offset;
        if (v > 255) v = 255;
        if (v < 0) v = 0;
        out[i] = static_cast<std::uint8_t>(v);
    }
}

void reference_contrast(const ImageRecord& src, std::vector<std::uint8_t>& out, float k)
{
    const std::uint8_t* s = src.pixels.get();
    const int means[3] = {src.mean_b, src.mean_g, src.mean_r};
    each_pixel(src, [&](std::size_t at) {
        for (int c = 0; c < 3; ++c) {
            const int d = s[at + c] - means[c];
            double v = d * static_cast<double>(k);
            v = v + means[c];
            v = v + 0.5;
            const int t = static_cast<int>(v);
            out[at + c] = static_cast<std::uint8_t>(t > 255 ? 255 : t < 0 ? 0 : t);
        }
    });
}
