#include "ops/transforms/transform_block.h"

#include <cmath>
#include <string>
#include <utility>

#include "image/parallel.h"
#include "ops/explain.h"
#include "text/catalogue.h"

#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

int transform_passes(std::int32_t transform_state)
{
    switch (transform_state) {
    case TRANSFORM_FFT_LINEAR:
    case TRANSFORM_WALSH_LINEAR: return 1;
    case TRANSFORM_FFT_2D:
    case TRANSFORM_WALSH_2D: return 2;
    default: return 0;
    }
}

bool is_fourier_state(std::int32_t transform_state)
{
    return transform_state == TRANSFORM_FFT_LINEAR || transform_state == TRANSFORM_FFT_2D;
}

bool is_walsh_state(std::int32_t transform_state)
{
    return transform_state == TRANSFORM_WALSH_LINEAR || transform_state == TRANSFORM_WALSH_2D;
}

int transform_stages(int n) { return static_cast<int>(std::log10(static_cast<double>(n)) * 3.321928047038501 + 0.5); }

bool block_fits(const ImageRecord& record, int n)
{
    if (n < 2 || (n & (n - 1)) != 0) return false;
    if (!record.pixels || n > record.width || n > record.height) return false;
    // The last byte of the block must lie inside the pixel block.
    const std::size_t last = (static_cast<std::size_t>(n) - 1) * record.stride() + 3u * static_cast<std::size_t>(n);
    return last <= record.pixels.size();
}

namespace {

// Truncation toward zero into 64 bits, then the low byte (two's complement).
inline std::uint8_t wrap_to_byte(float v) { return static_cast<std::uint8_t>(static_cast<std::int64_t>(v)); }

#if defined(__wasm_simd128__)
// wrap_to_byte of four floats, in the low byte of each lane. Truncation to
// 32 bits has the low byte of truncation to 64 bits below 2^31 in magnitude;
// from there on every float is a multiple of 256, whose low byte is 0. The
// saturating truncation gives those 2^31 - 1 or -2^31, the first of which no
// float below 2^31 truncates to.
inline v128_t wrap_to_bytes(v128_t v)
{
    const v128_t t = wasm_i32x4_trunc_sat_f32x4(v);
    return wasm_v128_andnot(t, wasm_i32x4_eq(t, wasm_i32x4_splat(2147483647)));
}

// to[c][r] = from[r][c] for a 4 x 4 square; rows `from_stride` and
// `to_stride` floats apart.
inline void transpose_4x4(const float* from, std::size_t from_stride, float* to, std::size_t to_stride)
{
    const v128_t r0 = wasm_v128_load(from), r1 = wasm_v128_load(from + from_stride);
    const v128_t r2 = wasm_v128_load(from + 2 * from_stride), r3 = wasm_v128_load(from + 3 * from_stride);
    const v128_t t0 = wasm_i32x4_shuffle(r0, r1, 0, 4, 1, 5), t1 = wasm_i32x4_shuffle(r0, r1, 2, 6, 3, 7);
    const v128_t t2 = wasm_i32x4_shuffle(r2, r3, 0, 4, 1, 5), t3 = wasm_i32x4_shuffle(r2, r3, 2, 6, 3, 7);
    wasm_v128_store(to, wasm_i32x4_shuffle(t0, t2, 0, 1, 4, 5));
    wasm_v128_store(to + to_stride, wasm_i32x4_shuffle(t0, t2, 2, 3, 6, 7));
    wasm_v128_store(to + 2 * to_stride, wasm_i32x4_shuffle(t1, t3, 0, 1, 4, 5));
    wasm_v128_store(to + 3 * to_stride, wasm_i32x4_shuffle(t1, t3, 2, 3, 6, 7));
}
#endif

}  // namespace

void store_block(ImageRecord& record, double scale)
{
    const float factor = static_cast<float>(scale);
    const std::size_t n = static_cast<std::size_t>(record.block_size);
    const std::size_t stride = record.stride();
    std::uint8_t* const base = record.pixels.get();
    const float* const re_b = record.coef_re_b.get();
    const float* const re_g = record.coef_re_g.get();
    const float* const re_r = record.coef_re_r.get();
    parallel_rows(n, n * n, [&](std::size_t first, std::size_t end) {
        for (std::size_t k = first; k < end; ++k) {
            std::uint8_t* p = base + k * stride;
            const std::size_t row = k * n;
            std::size_t c = 0;
#if defined(__wasm_simd128__)
            // WebAssembly: four pixels at a time, each as one 32-bit lane
            // whose low three bytes are stored. Every store writes four more
            // bytes, which the next pixels' store (or the loop below) then
            // writes over: there are always at least two more pixels.
            const v128_t byte = wasm_i32x4_splat(0xFF);
            const v128_t times = wasm_f32x4_splat(factor);
            for (; c + 6 <= n; c += 4, p += 12) {
                const v128_t b = wrap_to_bytes(wasm_f32x4_mul(wasm_v128_load(re_b + row + c), times));
                const v128_t g = wrap_to_bytes(wasm_f32x4_mul(wasm_v128_load(re_g + row + c), times));
                const v128_t r = wrap_to_bytes(wasm_f32x4_mul(wasm_v128_load(re_r + row + c), times));
                const v128_t bgr = wasm_v128_or(wasm_v128_or(wasm_v128_and(b, byte), wasm_i32x4_shl(wasm_v128_and(g, byte), 8)),
                                                wasm_i32x4_shl(r, 16));
                wasm_v128_store(p, wasm_i8x16_shuffle(bgr, bgr, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 0, 0, 0, 0));
            }
#endif
            for (; c < n; ++c, p += 3) {
                p[0] = wrap_to_byte(re_b[row + c] * factor);
                p[1] = wrap_to_byte(re_g[row + c] * factor);
                p[2] = wrap_to_byte(re_r[row + c] * factor);
            }
        }
    });
}

void transpose_block(float* plane, std::size_t n)
{
    // Tile pairs [a][b] and [b][a] are read row by row into two small
    // buffers and written back transposed, also row by row: the rows of a
    // power-of-two plane share cache sets, so walking a tile by columns would
    // miss on every element.
    constexpr std::size_t tile = 32;
    if (n < tile) {
        for (std::size_t l = 0; l + 1 < n; ++l)
            for (std::size_t m = l + 1; m < n; ++m) std::swap(plane[l * n + m], plane[m * n + l]);
        return;
    }
    const std::size_t tiles = n / tile;  // n is a power of two
    parallel_rows(tiles, n * n, [&](std::size_t first, std::size_t end) {
        float a[tile][tile], b[tile][tile];
        for (std::size_t ta = first; ta < end; ++ta)
            for (std::size_t tb = ta; tb < tiles; ++tb) {
                float* const at = plane + ta * tile * n + tb * tile;  // rows of ta, columns of tb
                float* const bt = plane + tb * tile * n + ta * tile;
#if defined(__wasm_simd128__)
                // WebAssembly: in vectors of four. The buffers take the
                // tiles' 4 x 4 squares in mirrored places (a row-by-row copy
                // would become a call to memcpy, which moves 4 bytes at a
                // time), and each square is transposed on its way out.
                for (std::size_t i = 0; i < tile; i += 4)
                    for (std::size_t j = 0; j < tile; j += 4)
                        for (std::size_t r = 0; r < 4; ++r) {
                            wasm_v128_store(&a[j + r][i], wasm_v128_load(at + (i + r) * n + j));
                            wasm_v128_store(&b[j + r][i], wasm_v128_load(bt + (i + r) * n + j));
                        }
                for (std::size_t i = 0; i < tile; i += 4)
                    for (std::size_t j = 0; j < tile; j += 4) {
                        transpose_4x4(&b[i][j], tile, at + i * n + j, n);
                        transpose_4x4(&a[i][j], tile, bt + i * n + j, n);
                    }
#else
                for (std::size_t i = 0; i < tile; ++i)
                    for (std::size_t j = 0; j < tile; ++j) {
                        a[i][j] = at[i * n + j];
                        b[i][j] = bt[i * n + j];
                    }
                for (std::size_t i = 0; i < tile; ++i)
                    for (std::size_t j = 0; j < tile; ++j) {
                        at[i * n + j] = b[j][i];
                        bt[i * n + j] = a[j][i];
                    }
#endif
            }
    });
}

void fill_bit_reversal(std::int32_t* rev, int n, int stages)
{
    rev[0] = 0;
    rev[1] = n / 2;
    int j = 2;
    for (int s = 1; s < stages; ++s) {
        for (int m = j; m < 2 * j; ++m) rev[m] = rev[m - j] + n / (2 * j);
        j *= 2;
    }
}

namespace {

bool pending_of_kind(const ImageRecord& record, const TransformKind& kind)
{
    return record.transform_state == kind.states[0] || record.transform_state == kind.states[1];
}

bool forward(ImageRecord& record, const TransformKind& kind, BlockArithmetic& arithmetic, int passes, int n)
{
    if (record.transform_state != TRANSFORM_NONE) return true;
    if ((passes != 1 && passes != 2) || !block_fits(record, n)) return true;
    if (!arithmetic.prepare(n, +1)) return false;
    const std::size_t size = static_cast<std::size_t>(n);
    HeapArray<float> taken[6];
    for (int i = 0; i < kind.plane_count; ++i) {
        taken[i] = HeapArray<float>::allocate_uninitialized(size * size);
        if (!taken[i]) return false;
    }
    record.transform_state = kind.states[passes - 1];
    record.block_size = n;
    for (int i = 0; i < kind.plane_count; ++i) record.*kind.planes[i] = std::move(taken[i]);
    arithmetic.run(record, passes, +1);
    store_block(record);
    return true;
}

bool inverse(ImageRecord& record, const TransformKind& kind, BlockArithmetic& arithmetic)
{
    if (!pending_of_kind(record, kind)) return true;
    const int n = record.block_size;
    const std::size_t size = static_cast<std::size_t>(n);
    // An inverse never writes outside its own block, whatever the record
    // went through since the forward transform.
    if (!block_fits(record, n)) return true;
    for (int i = 0; i < kind.plane_count; ++i) {
        const HeapArray<float>& plane = record.*kind.planes[i];
        if (!plane || plane.size() != size * size) return true;
    }
    if (!arithmetic.prepare(n, -1)) return false;
    arithmetic.run(record, transform_passes(record.transform_state), -1);
    store_block(record, 1.0 / static_cast<double>(n));
    for (int i = 0; i < kind.plane_count; ++i) (record.*kind.planes[i]).reset();
    record.transform_state = TRANSFORM_NONE;
    return true;
}

}  // namespace

bool transform_block(ImageRecord& record, const TransformKind& kind, BlockArithmetic& arithmetic, int passes,
                     int direction, int n)
{
    if (direction == 1) return forward(record, kind, arithmetic, passes, n);
    if (direction == -1) return inverse(record, kind, arithmetic);
    return true;
}

// No per-pixel formula: every coefficient depends on the whole block. The
// panel says where the block is and what it holds, and for a pending
// transform the coefficient behind the pixel's bytes.
Explanation explain_block(const PixelQuestion& q)
{
    const ImageRecord& r = q.result;
    const int n = r.block_size;
    const auto row = r.memory_row(q.y);
    Explanation e;
    e.x = q.x;
    e.y = q.y;
    e.status = ExplainStatus::Block;
    e.result = explain::bytes_at(r, q.x, q.y);
    e.written = n > 0 && q.x < n && row < static_cast<std::size_t>(n);
    const std::string size = std::to_string(n);
    explain::add_step(e, "block_size", "Размер блока", n);
    if (!e.written) {
        e.note = text::format("Пиксель вне блока (блок %1 x %1 в левом нижнем углу): преобразование его не меняет.", {size});
        return e;
    }
    explain::add_step(e, "block_column", "Столбец в блоке", q.x);
    explain::add_step(e, "block_row", "Строка в блоке (снизу)", static_cast<double>(row));
    const int passes = transform_passes(r.transform_state);
    if (passes == 0) {
        e.note = text::format("Пиксель блока (блок %1 x %1 в левом нижнем углу), восстановленного обратным преобразованием.",
                              {size});
        return e;
    }
    explain::add_step(e, "passes", "Проходов", passes);
    const std::size_t at = row * static_cast<std::size_t>(n) + static_cast<std::size_t>(q.x);
    if (r.coef_re_b.size() > at && r.coef_re_g.size() > at && r.coef_re_r.size() > at)
        explain::add_channel_step(e, "coefficient", "Вещественная часть коэффициента (в байте — младшие 8 бит целой части)",
                                  r.coef_re_b[at], r.coef_re_g[at], r.coef_re_r[at]);
    // One pass for a linear transform, two for a 2D one.
    const char* pending =
        is_fourier_state(r.transform_state)
            ? (passes == 1 ? "Пиксель блока (блок %1 x %1 в левом нижнем углу), ожидающего обратного БПФ, %2 проход."
                           : "Пиксель блока (блок %1 x %1 в левом нижнем углу), ожидающего обратного БПФ, %2 прохода.")
            : (passes == 1 ? "Пиксель блока (блок %1 x %1 в левом нижнем углу), ожидающего обратного преобразования "
                             "Уолша, %2 проход."
                           : "Пиксель блока (блок %1 x %1 в левом нижнем углу), ожидающего обратного преобразования "
                             "Уолша, %2 прохода.");
    e.note = text::format(pending, {size, std::to_string(passes)});
    return e;
}
