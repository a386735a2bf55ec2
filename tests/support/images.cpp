#include "tests/support/images.h"

#include <atomic>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <unistd.h>

ImageRecord make_record(int w, int h, const std::function<Bgr(int, int)>& f, std::uint8_t padding_byte)
{
    ImageRecord r = blank_record(static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h));
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = r.pixels.get() + y * r.stride();
        for (int x = 0; x < w; ++x) {
            const Bgr c = f(x, y);
            row[3 * x] = c.b;
            row[3 * x + 1] = c.g;
            row[3 * x + 2] = c.r;
        }
        for (int p = 0; p < r.row_padding; ++p) row[3 * w + p] = padding_byte;
    }
    compute_statistics(r);
    return r;
}

ImageRecord random_record(int w, int h, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    ImageRecord r = make_record(w, h, [](int, int) { return Bgr{0, 0, 0}; });
    for (std::int32_t i = 0; i < r.data_size; ++i) r.pixels[i] = static_cast<std::uint8_t>(rng());
    compute_statistics(r);
    return r;
}

void install(ImageRecord& slot, ImageRecord&& record) { slot = std::move(record); }

namespace {
HeapArray<float> copy_plane(const HeapArray<float>& p)
{
    if (!p) return {};
    auto c = HeapArray<float>::allocate(p.size());
    std::memcpy(c.get(), p.get(), p.size() * sizeof(float));
    return c;
}
}  // namespace

ImageRecord clone(const ImageRecord& s)
{
    ImageRecord r;
    r.width = s.width;
    r.height = s.height;
    r.row_padding = s.row_padding;
    r.data_size = s.data_size;
    if (s.pixels) {
        r.pixels = HeapArray<std::uint8_t>::allocate(s.pixels.size());
        std::memcpy(r.pixels.get(), s.pixels.get(), s.pixels.size());
    }
    std::memcpy(r.hist_r, s.hist_r, sizeof r.hist_r);
    std::memcpy(r.hist_g, s.hist_g, sizeof r.hist_g);
    std::memcpy(r.hist_b, s.hist_b, sizeof r.hist_b);
    std::memcpy(r.hist_luma, s.hist_luma, sizeof r.hist_luma);
    r.max_r = s.max_r;
    r.max_g = s.max_g;
    r.max_b = s.max_b;
    r.max_luma = s.max_luma;
    r.mean_r = s.mean_r;
    r.mean_g = s.mean_g;
    r.mean_b = s.mean_b;
    r.block_size = s.block_size;
    r.transform_state = s.transform_state;
    r.coef_re_r = copy_plane(s.coef_re_r);
    r.coef_re_g = copy_plane(s.coef_re_g);
    r.coef_re_b = copy_plane(s.coef_re_b);
    r.coef_im_r = copy_plane(s.coef_im_r);
    r.coef_im_g = copy_plane(s.coef_im_g);
    r.coef_im_b = copy_plane(s.coef_im_b);
    return r;
}

namespace {
void put(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t value, int bytes)
{
    if (v.size() < at + bytes) v.resize(at + bytes, 0);
    for (int i = 0; i < bytes; ++i) v[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
}  // namespace

std::vector<std::uint8_t> bmp_file_bytes(const BmpFields& s)
{
    std::vector<std::uint8_t> v(54, 0);
    v[0] = 'B';
    v[1] = 'M';
    put(v, 10, s.pixel_offset, 4);
    put(v, 14, s.header_size, 4);
    put(v, 18, static_cast<std::uint32_t>(s.width), 4);
    put(v, 22, static_cast<std::uint32_t>(s.height), 4);
    put(v, 26, 1, 2);
    put(v, 28, s.bit_count, 2);
    put(v, 30, s.compression, 4);
    put(v, 46, s.colours_used, 4);
    // Gap bytes between the header and the pixel array; an offset inside the
    // header makes the pixel array overwrite header bytes.
    if (s.pixel_array.empty()) {
        put(v, 2, static_cast<std::uint32_t>(v.size()), 4);
        if (s.truncate_to < v.size()) v.resize(s.truncate_to);
        return v;
    }
    if (v.size() < s.pixel_offset) v.resize(s.pixel_offset, 0x77);
    const std::size_t end = static_cast<std::size_t>(s.pixel_offset) + s.pixel_array.size();
    if (v.size() < end) v.resize(end);
    std::copy(s.pixel_array.begin(), s.pixel_array.end(), v.begin() + s.pixel_offset);
    put(v, 2, static_cast<std::uint32_t>(v.size()), 4);
    if (s.truncate_to < v.size()) v.resize(s.truncate_to);
    return v;
}

BmpFields bmp_of(const ImageRecord& r)
{
    BmpFields s;
    s.width = r.width;
    s.height = r.height;
    s.pixel_array.assign(r.pixels.get(), r.pixels.get() + r.data_size);
    return s;
}

std::filesystem::path scratch_dir()
{
    static std::atomic<int> counter{0};
    const auto dir = std::filesystem::temp_directory_path() /
                     ("lumaforge-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir);
    static struct Cleanup {
        std::vector<std::filesystem::path> dirs;
        ~Cleanup()
        {
            for (auto& d : dirs) {
                std::error_code ec;
                std::filesystem::remove_all(d, ec);
            }
        }
    } cleanup;
    cleanup.dirs.push_back(dir);
    return dir;
}

void write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
