// Literal block transforms: the algorithm step by step, a sine and a cosine
// per butterfly, reordering through temporary planes, one thread. Slow on
// purpose; the tests and the benchmark hold the fast transforms to it bit
// for bit. Allocation failure is not handled here.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "image/image_record.h"

namespace reference {

inline int stages_of(int n) { return static_cast<int>(std::log10(static_cast<double>(n)) * 3.321928047038501 + 0.5); }

inline void store_block_literally(ImageRecord& record)
{
    const int n = record.block_size;
    for (int k = 0; k < n; ++k)
        for (int c = 0; c < n; ++c) {
            std::uint8_t* p = record.pixels.get() + k * record.stride() + 3 * c;
            p[0] = static_cast<std::uint8_t>(static_cast<std::int64_t>(record.coef_re_b[k * n + c]) & 0xFF);
            p[1] = static_cast<std::uint8_t>(static_cast<std::int64_t>(record.coef_re_g[k * n + c]) & 0xFF);
            p[2] = static_cast<std::uint8_t>(static_cast<std::int64_t>(record.coef_re_r[k * n + c]) & 0xFF);
        }
}

inline void transpose_literally(float* plane, int n)
{
    for (int l = 0; l <= n - 2; ++l)
        for (int m = l + 1; m <= n - 1; ++m) std::swap(plane[l * n + m], plane[m * n + l]);
}

inline std::vector<std::int32_t> bit_reversal(int n, int stages)
{
    std::vector<std::int32_t> rev(static_cast<std::size_t>(n));
    rev[0] = 0;
    rev[1] = n / 2;
    int j = 2;
    for (int s = 0; s < stages - 1; ++s) {
        for (int m = j; m <= 2 * j - 1; ++m) rev[m] = rev[m - j] + n / (2 * j);
        j = 2 * j;
    }
    return rev;
}

// Planes in the order blue, green, red.
struct FftPlanes {
    float* re[3];
    float* im[3];
};

inline FftPlanes fft_planes(ImageRecord& r)
{
    return {{r.coef_re_b.get(), r.coef_re_g.get(), r.coef_re_r.get()},
            {r.coef_im_b.get(), r.coef_im_g.get(), r.coef_im_r.get()}};
}

inline void fft_row(const FftPlanes& p, int r, int n, int stages, int direction)
{
    int half = 1;
    for (int s = 1; s <= stages; ++s) {
        const int span = 2 * half;
        for (int g = 0; g < n; g += span)
            for (int D = 0; D <= half - 1; ++D) {
                const double theta = direction * 6.28318 * D / span;
                const double cs = std::cos(theta), sn = std::sin(theta);
                const int i1 = r * n + g + D, i2 = r * n + g + D + half;
                for (int ch = 0; ch < 3; ++ch) {
                    float* re = p.re[ch];
                    float* im = p.im[ch];
                    const double x1 = re[i1], y1 = im[i1], x2 = re[i2], y2 = im[i2];
                    const double tr = x2 * cs + y2 * sn;
                    const double ti = y2 * cs - x2 * sn;
                    re[i2] = static_cast<float>(x1 - tr);
                    im[i2] = static_cast<float>(y1 - ti);
                    re[i1] = static_cast<float>(x1 + tr);
                    im[i1] = static_cast<float>(y1 + ti);
                }
            }
        half = span;
    }
    if (direction == -1)
        for (int ch = 0; ch < 3; ++ch)
            for (int c = 0; c < n; ++c) {
                p.re[ch][r * n + c] = static_cast<float>(p.re[ch][r * n + c] * (1.0 / n));
                p.im[ch][r * n + c] = static_cast<float>(p.im[ch][r * n + c] * (1.0 / n));
            }
}

// plane[k][c] = temporary[k][rev[c]] for all six planes.
inline void reorder_from_temporaries(const FftPlanes& p, std::vector<std::vector<float>>& temp,
                                     const std::vector<std::int32_t>& rev, int n)
{
    float* planes[6] = {p.re[0], p.re[1], p.re[2], p.im[0], p.im[1], p.im[2]};
    for (int i = 0; i < 6; ++i) std::memcpy(temp[i].data(), planes[i], sizeof(float) * n * n);
    for (int i = 0; i < 6; ++i)
        for (int k = 0; k < n; ++k)
            for (int c = 0; c < n; ++c) planes[i][k * n + c] = temp[i][k * n + rev[c]];
}

inline void fft_passes(ImageRecord& record, int passes, int direction, int n, int stages,
                       const std::vector<std::int32_t>& rev, std::vector<std::vector<float>>& temp)
{
    const FftPlanes p = fft_planes(record);
    for (int pass = 0; pass < passes; ++pass) {
        for (int r = 0; r < n; ++r) fft_row(p, r, n, stages, direction);
        if (passes == 2 && pass == 0) {
            for (int ch = 0; ch < 3; ++ch) {
                transpose_literally(p.re[ch], n);
                transpose_literally(p.im[ch], n);
            }
            if (temp.empty()) temp.assign(6, std::vector<float>(static_cast<std::size_t>(n) * n));
            reorder_from_temporaries(p, temp, rev, n);
        }
    }
}

inline void fft_block(ImageRecord& record, int passes, int direction, int n)
{
    std::vector<std::vector<float>> temp;
    if (direction == 1) {
        if (record.transform_state != TRANSFORM_NONE) return;
        const int stages = stages_of(n);
        const std::vector<std::int32_t> rev = bit_reversal(n, stages);
        record.transform_state = passes;
        record.block_size = n;
        const std::size_t count = static_cast<std::size_t>(n) * n;
        record.coef_re_r = HeapArray<float>::allocate(count);
        record.coef_re_g = HeapArray<float>::allocate(count);
        record.coef_re_b = HeapArray<float>::allocate(count);
        record.coef_im_r = HeapArray<float>::allocate(count);
        record.coef_im_g = HeapArray<float>::allocate(count);
        record.coef_im_b = HeapArray<float>::allocate(count);
        for (int k = 0; k < n; ++k)
            for (int c = 0; c < n; ++c) {
                const std::uint8_t* px = record.pixels.get() + k * record.stride() + 3 * rev[c];
                record.coef_re_b[k * n + c] = px[0];
                record.coef_re_g[k * n + c] = px[1];
                record.coef_re_r[k * n + c] = px[2];
            }
        fft_passes(record, passes, direction, n, stages, rev, temp);
        store_block_literally(record);
        return;
    }
    if (record.transform_state != TRANSFORM_FFT_LINEAR && record.transform_state != TRANSFORM_FFT_2D) return;
    passes = record.transform_state;
    n = record.block_size;
    const int stages = stages_of(n);
    const std::vector<std::int32_t> rev = bit_reversal(n, stages);
    temp.assign(6, std::vector<float>(static_cast<std::size_t>(n) * n));
    reorder_from_temporaries(fft_planes(record), temp, rev, n);
    fft_passes(record, passes, direction, n, stages, rev, temp);
    store_block_literally(record);
    release_planes(record);
    record.block_size = n;
    record.transform_state = TRANSFORM_NONE;
}

inline void walsh_row(float* const planes[3], int r, int n, int stages, int direction)
{
    int half = 1;
    for (int s = 1; s <= stages; ++s) {
        const int span = 2 * half;
        for (int g = 0; g < n; g += span)
            for (int D = 0; D <= half - 1; ++D) {
                const int i1 = r * n + g + D, i2 = r * n + g + D + half;
                for (int ch = 0; ch < 3; ++ch) {
                    const float a = planes[ch][i1], b = planes[ch][i2];
                    planes[ch][i1] = a + b;
                    planes[ch][i2] = a - b;
                }
            }
        half = span;
    }
    if (direction == -1)
        for (int ch = 0; ch < 3; ++ch)
            for (int c = 0; c < n; ++c)
                planes[ch][r * n + c] = static_cast<float>(planes[ch][r * n + c] * (1.0 / n));
}

inline void walsh_block(ImageRecord& record, int passes, int direction, int n)
{
    if (direction == 1) {
        if (record.transform_state != TRANSFORM_NONE) return;
        record.transform_state = passes + 2;
        record.block_size = n;
        const std::size_t count = static_cast<std::size_t>(n) * n;
        record.coef_re_r = HeapArray<float>::allocate(count);
        record.coef_re_g = HeapArray<float>::allocate(count);
        record.coef_re_b = HeapArray<float>::allocate(count);
        for (int k = 0; k < n; ++k)
            for (int c = 0; c < n; ++c) {
                const std::uint8_t* px = record.pixels.get() + k * record.stride() + 3 * c;
                record.coef_re_b[k * n + c] = px[0];
                record.coef_re_g[k * n + c] = px[1];
                record.coef_re_r[k * n + c] = px[2];
            }
    } else {
        if (record.transform_state != TRANSFORM_WALSH_LINEAR && record.transform_state != TRANSFORM_WALSH_2D) return;
        passes = record.transform_state - 2;
        n = record.block_size;
    }
    const int stages = stages_of(n);
    float* const planes[3] = {record.coef_re_b.get(), record.coef_re_g.get(), record.coef_re_r.get()};
    for (int pass = 0; pass < passes; ++pass) {
        for (int r = 0; r < n; ++r) walsh_row(planes, r, n, stages, direction);
        if (passes == 2 && pass == 0)
            for (float* plane : planes) transpose_literally(plane, n);
    }
    store_block_literally(record);
    if (direction == -1) {
        record.coef_re_r.reset();
        record.coef_re_g.reset();
        record.coef_re_b.reset();
        record.block_size = n;
        record.transform_state = TRANSFORM_NONE;
    }
}

}  // namespace reference
