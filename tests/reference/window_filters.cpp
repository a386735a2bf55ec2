#include "tests/reference/window_filters.h"

#include <cmath>
#include <vector>

#include "image/statistics.h"

namespace {

void common_start(const ImageRecord& source, ImageRecord& destination)
{
    ensure_destination(source, destination);
    copy_size_fields(source, destination);
}

}  // namespace

void reference_partial_bubble_sort(std::uint8_t* a, int n)
{
    const int half = n / 2;
    for (int o = n - 1; o >= half; --o)
        for (int t = 0; t < o; ++t)
            if (a[t] > a[t + 1]) {
                const std::uint8_t s = a[t];
                a[t] = a[t + 1];
                a[t + 1] = s;
            }
}

void reference_statistical_filter(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture)
{
    HeapArray<std::uint8_t> plane;
    make_luma_plane(source, plane);
    common_start(source, destination);
    const int n = aperture, half = n / 2, w = source.width, h = source.height;
    std::vector<const std::uint8_t*> row(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) row[k] = plane.get() + static_cast<std::size_t>(k) * w;
    const double r2 = 1.0 / (n * n);
    const double r1 = 1.0 / n;
    std::uint8_t* out = destination.pixels.get();
    for (int y = half; y <= h - 1 - half; ++y) {
        for (int x = half; x <= w - 1 - half; ++x) {
            double s = 0.0;
            for (int k = 0; k < n; ++k)
                for (int i = 0; i < n; ++i) s += row[k][i];
            const double mean = s * r2;
            double a = 0.0;
            for (int k = 0; k < n; ++k)
                for (int i = 0; i < n; ++i) a += (row[k][i] - mean) * (row[k][i] - mean);
            const double sigma = std::sqrt(a) * r1;
            const double c = plane[static_cast<std::size_t>(y) * w + x];
            int v = static_cast<int>(sigma * c + 0.5);
            if (v < 0) v = 0;
            if (v > 255) v = 255;
            std::uint8_t* p = out + y * destination.stride() + 3 * x;
            p[0] = p[1] = p[2] = static_cast<std::uint8_t>(v);
            for (int k = 0; k < n; ++k) ++row[k];
        }
        for (int k = 0; k < n; ++k) row[k] += n - 1;
    }
    compute_statistics(destination);
}

void reference_smooth_2d(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture)
{
    common_start(source, destination);
    const int n = aperture, half = n / 2, w = source.width, h = source.height;
    const std::size_t stride = source.stride();
    std::vector<const std::uint8_t*> row(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) row[k] = source.pixels.get() + k * stride;
    const double r = 1.0 / (n * n);
    for (int y = half; y <= h - 1 - half; ++y) {
        for (int x = half; x <= w - 1 - half; ++x) {
            double sb = 0.0, sg = 0.0, sr = 0.0;
            for (int k = 0; k < n; ++k)
                for (int i = 0; i < n; ++i) {
                    sb += row[k][3 * i];
                    sg += row[k][3 * i + 1];
                    sr += row[k][3 * i + 2];
                }
            std::uint8_t* p = destination.pixels.get() + y * stride + 3 * x;
            p[0] = static_cast<std::uint8_t>(static_cast<int>(sb * r + 0.5));
            p[1] = static_cast<std::uint8_t>(static_cast<int>(sg * r + 0.5));
            p[2] = static_cast<std::uint8_t>(static_cast<int>(sr * r + 0.5));
            for (int k = 0; k < n; ++k) row[k] += 3;
        }
        for (int k = 0; k < n; ++k) row[k] += source.row_padding + 3 * n - 3;
    }
    compute_statistics(destination);
}

void reference_smooth_linear(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture)
{
    common_start(source, destination);
    const int n = aperture, half = n / 2, w = source.width, h = source.height;
    const std::size_t stride = source.stride();
    const double r = 1.0 / n;
    for (int y = 0; y < h; ++y)
        for (int x = half; x <= w - 1 - half; ++x) {
            double s[3] = {0.0, 0.0, 0.0};
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < 3; ++c) s[c] += source.pixels[y * stride + 3 * (x - half + i) + c];
            for (int c = 0; c < 3; ++c)
                destination.pixels[y * stride + 3 * x + c] = static_cast<std::uint8_t>(static_cast<int>(s[c] * r + 0.5));
        }
    compute_statistics(destination);
}

void reference_median_linear(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture)
{
    common_start(source, destination);
    const int n = aperture, half = n / 2, w = source.width, h = source.height;
    const std::size_t stride = source.stride();
    std::vector<std::uint8_t> blue(n), green(n), red(n);
    for (int y = 0; y < h; ++y)
        for (int x = half; x <= w - 1 - half; ++x) {
            for (int i = 0; i < n; ++i) {
                const std::uint8_t* p = source.pixels.get() + y * stride + 3 * (x - half + i);
                blue[i] = p[0];
                green[i] = p[1];
                red[i] = p[2];
            }
            reference_partial_bubble_sort(blue.data(), n);
            reference_partial_bubble_sort(green.data(), n);
            reference_partial_bubble_sort(red.data(), n);
            std::uint8_t* q = destination.pixels.get() + y * stride + 3 * x;
            q[0] = blue[half];
            q[1] = green[half];
            q[2] = red[half];
        }
    compute_statistics(destination);
}

void reference_median_2d(const ImageRecord& source, ImageRecord& destination, std::uint8_t aperture)
{
    const int n = aperture, half = n / 2, w = source.width, h = source.height;
    std::vector<const std::uint8_t*> row(static_cast<std::size_t>(n));
    std::vector<std::vector<std::uint8_t>> rows[3];
    std::vector<std::uint8_t> medians[3];
    for (int c = 0; c < 3; ++c) {
        rows[c].assign(n, std::vector<std::uint8_t>(n));
        medians[c].assign(n, 0);
    }
    common_start(source, destination);
    const std::size_t stride = source.stride();
    for (int k = 0; k < n; ++k) row[k] = source.pixels.get() + k * stride;
    for (int y = half; y <= h - 1 - half; ++y) {
        for (int x = half; x <= w - 1 - half; ++x) {
            for (int k = 0; k < n; ++k)
                for (int i = 0; i < n; ++i)
                    for (int c = 0; c < 3; ++c) rows[c][k][i] = row[k][3 * i + c];
            for (int c = 0; c < 3; ++c) {
                for (int k = 0; k < n; ++k) {
                    reference_partial_bubble_sort(rows[c][k].data(), n);
                    medians[c][k] = rows[c][k][half];
                }
                reference_partial_bubble_sort(medians[c].data(), n);
                destination.pixels[y * stride + 3 * x + c] = medians[c][half];
            }
            for (int k = 0; k < n; ++k) row[k] += 3;
        }
        for (int k = 0; k < n; ++k) row[k] += source.row_padding + 3 * n - 3;
    }
    compute_statistics(destination);
}
