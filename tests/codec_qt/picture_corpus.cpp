#include "tests/codec_qt/picture_corpus.h"

#include <QBuffer>
#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QImageWriter>
#include <array>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 37, kHeight = 23;  // odd sizes: every row padding, partial blocks and passes

void be32(Bytes& out, std::uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

std::uint32_t crc32(const Bytes& bytes)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

Bytes zlib(const Bytes& raw)
{
    const QByteArray packed = qCompress(reinterpret_cast<const uchar*>(raw.data()), static_cast<qsizetype>(raw.size()), 9);
    return Bytes(packed.begin() + 4, packed.end());  // past qCompress's length prefix
}

// Sample c of pixel (x, y) at `depth` bits: gradients with some texture that
// reach both ends of the range.
unsigned sample(int x, int y, int c, int depth)
{
    const unsigned v = static_cast<unsigned>((x * 1777 + y * 2851 + c * 20011 + x * y * 97) % 65536);
    return v >> (16 - depth);
}

struct Png {
    int type = 2, depth = 8;
    bool interlaced = false, transparent_colour = false;
    std::vector<std::pair<const char*, Bytes>> extra = {};  // chunks before the data
    bool animated = false;  // the picture is the first of two frames; the second is black
};

int channels_of(int type) { return type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1; }

// The samples of pixel (x, y) as the file stores them.
std::array<unsigned, 4> stored(const Png& p, int x, int y)
{
    std::array<unsigned, 4> s{};
    for (int c = 0; c < channels_of(p.type); ++c) s[static_cast<std::size_t>(c)] = sample(x, y, c, p.depth);
    return s;
}

Bytes png(const Png& p)
{
    const int channels = channels_of(p.type), bits = channels * p.depth, bpp = bits < 8 ? 1 : bits / 8;
    Bytes raw;
    const auto add_pass = [&](int x0, int y0, int dx, int dy) {
        const int columns = (kWidth - x0 + dx - 1) / dx, rows = (kHeight - y0 + dy - 1) / dy;
        if (columns <= 0 || rows <= 0) return;
        const std::size_t row_bytes = (static_cast<std::size_t>(columns) * bits + 7) / 8;
        Bytes previous(row_bytes, 0);
        for (int r = 0; r < rows; ++r) {
            Bytes row(row_bytes, 0);
            for (int k = 0; k < columns; ++k) {
                const auto s = stored(p, x0 + k * dx, y0 + r * dy);
                for (int c = 0; c < channels; ++c) {
                    const std::size_t bit = static_cast<std::size_t>(k * bits + c * p.depth);
                    const unsigned v = s[static_cast<std::size_t>(c)];
                    if (p.depth == 16) {
                        row[bit / 8] = static_cast<std::uint8_t>(v >> 8);
                        row[bit / 8 + 1] = static_cast<std::uint8_t>(v);
                    } else {
                        row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - p.depth - bit % 8));
                    }
                }
            }
            // Every filter in turn: none, sub, up, average, Paeth.
            const int filter = r % 5;
            raw.push_back(static_cast<std::uint8_t>(filter));
            for (std::size_t i = 0; i < row_bytes; ++i) {
                const int left = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0, up = previous[i];
                const int corner = i >= static_cast<std::size_t>(bpp) ? previous[i - bpp] : 0;
                int predicted = 0;
                if (filter == 1) predicted = left;
                if (filter == 2) predicted = up;
                if (filter == 3) predicted = (left + up) / 2;
                if (filter == 4) {
                    const int e = left + up - corner, a = std::abs(e - left), b = std::abs(e - up), c = std::abs(e - corner);
                    predicted = a <= b && a <= c ? left : b <= c ? up : corner;
                }
                raw.push_back(static_cast<std::uint8_t>(row[i] - predicted));
            }
            previous = row;
        }
    };
    if (p.interlaced) {
        for (const auto [x0, y0, dx, dy] : {std::array{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}})
            add_pass(x0, y0, dx, dy);
    } else {
        add_pass(0, 0, 1, 1);
    }

    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&out](const char* type, const Bytes& data) {
        be32(out, static_cast<std::uint32_t>(data.size()));
        Bytes body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        out.insert(out.end(), body.begin(), body.end());
        be32(out, crc32(body));
    };
    Bytes header;
    be32(header, kWidth);
    be32(header, kHeight);
    header.insert(header.end(), {std::uint8_t(p.depth), std::uint8_t(p.type), 0, 0, std::uint8_t(p.interlaced)});
    chunk("IHDR", header);
    for (const auto& [type, data] : p.extra) chunk(type, data);
    if (p.type == 3) {
        const int entries = 1 << p.depth;
        Bytes palette, alpha;
        for (int i = 0; i < entries; ++i) {
            palette.insert(palette.end(), {std::uint8_t(i * 255 / (entries - 1)), std::uint8_t(i * 97), std::uint8_t(255 - i * 3)});
            alpha.push_back(static_cast<std::uint8_t>(i % 3 == 0 ? 255 : i * 37));
        }
        chunk("PLTE", palette);
        if (p.transparent_colour) chunk("tRNS", alpha);
    } else if (p.transparent_colour) {
        // The colour of pixel (3, 2) is the transparent one.
        const auto key = stored(p, 3, 2);
        Bytes trns;
        for (int c = 0; c < channels_of(p.type); ++c)
            trns.insert(trns.end(), {std::uint8_t(key[static_cast<std::size_t>(c)] >> 8), std::uint8_t(key[static_cast<std::size_t>(c)])});
        chunk("tRNS", trns);
    }
    const auto frame_control = [&](std::uint32_t sequence) {
        Bytes control;
        for (const std::uint32_t v : {sequence, std::uint32_t(kWidth), std::uint32_t(kHeight), 0u, 0u})
            be32(control, v);
        control.insert(control.end(), {0, 1, 0, 10, 0, 0});  // delay 1/10 s, no disposal, no blending
        chunk("fcTL", control);
    };
    if (p.animated) {
        chunk("acTL", {0, 0, 0, 2, 0, 0, 0, 0});
        frame_control(0);
    }
    chunk("IDAT", zlib(raw));
    if (p.animated) {
        frame_control(1);
        const std::size_t row_bytes = (static_cast<std::size_t>(kWidth) * bits + 7) / 8;
        Bytes black, data = {0, 0, 0, 2};
        for (int y = 0; y < kHeight; ++y) {
            black.push_back(0);
            black.insert(black.end(), row_bytes, 0);
        }
        const Bytes packed = zlib(black);
        data.insert(data.end(), packed.begin(), packed.end());
        chunk("fdAT", data);
    }
    chunk("IEND", {});
    return out;
}

// An uncompressed RGB TIFF of `pages` pages: the corpus's colours on the
// first, each later one black.
Bytes tiff(int pages)
{
    Bytes out = {'I', 'I', 42, 0};
    const auto le = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    le(8, 4);
    const std::uint32_t pixels = 3 * kWidth * kHeight;
    for (int page = 0; page < pages; ++page) {
        const auto here = static_cast<std::uint32_t>(out.size());
        const std::uint32_t entries = 10, bits_at = here + 2 + 12 * entries + 4, data_at = bits_at + 6;
        le(entries, 2);
        const std::uint32_t fields[][4] = {{256, 3, 1, kWidth}, {257, 3, 1, kHeight}, {258, 3, 3, bits_at},
                                           {259, 3, 1, 1},      {262, 3, 1, 2},       {273, 4, 1, data_at},
                                           {277, 3, 1, 3},      {278, 3, 1, kHeight}, {279, 4, 1, pixels},
                                           {284, 3, 1, 1}};
        for (const auto& f : fields) {
            le(f[0], 2);
            le(f[1], 2);
            le(f[2], 4);
            le(f[3], 4);
        }
        le(page + 1 < pages ? data_at + pixels : 0, 4);
        le(8, 2), le(8, 2), le(8, 2);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int c = 0; c < 3; ++c)
                    out.push_back(page == 0 ? static_cast<std::uint8_t>(sample(x, y, c, 8)) : std::uint8_t{0});
    }
    return out;
}

// A GIF of one frame (or two: the second must never show) with a
// 256-colour palette, index 14 transparent. Codes are written 9 bits wide, a
// clear code before every 100, so the table never grows.
Bytes gif(bool animated)
{
    Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    const auto le16 = [&out](int v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    le16(kWidth);
    le16(kHeight);
    out.insert(out.end(), {0xF7, 0, 0});
    for (int i = 0; i < 256; ++i) out.insert(out.end(), {std::uint8_t(i), std::uint8_t(i * 5), std::uint8_t(255 - i)});
    for (int frame = 0; frame < (animated ? 2 : 1); ++frame) {
        out.insert(out.end(), {0x21, 0xF9, 4, 1, 10, 0, 14, 0});
        out.push_back(0x2C);
        le16(0), le16(0), le16(kWidth), le16(kHeight);
        out.insert(out.end(), {0, 8});
        Bytes bits;
        std::uint32_t buffer = 0;
        int count = 0;
        const auto code = [&](unsigned c) {
            buffer |= c << count;
            for (count += 9; count >= 8; count -= 8, buffer >>= 8) bits.push_back(static_cast<std::uint8_t>(buffer));
        };
        for (int i = 0; i < kWidth * kHeight; ++i) {
            if (i % 100 == 0) code(256);
            code(static_cast<unsigned>(frame == 0 ? (i * 7) % 256 : 200));
        }
        code(257);
        if (count > 0) bits.push_back(static_cast<std::uint8_t>(buffer));
        for (std::size_t at = 0; at < bits.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, bits.size() - at);
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), bits.begin() + static_cast<std::ptrdiff_t>(at),
                       bits.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

// Smooth gradients, as in a photo: JPEG decoders differ in how they smooth
// colour between their half-resolution samples, by more than rounding
// only where colour jumps from pixel to pixel.
QImage colours(bool alpha)
{
    QImage image(kWidth, kHeight, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            image.setPixel(x, y, qRgba(x * 7, y * 11, 60 + 2 * x + 3 * y, alpha ? (x * 13 + y * 5) & 255 : 255));
    return image;
}

Bytes encoded(const QImage& image, const char* format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image)) return {};
    return Bytes(bytes.begin(), bytes.end());
}

// A camera's Exif segment declaring `orientation`, right after the start
// marker.
Bytes with_orientation(Bytes jpeg, int orientation)
{
    const Bytes exif = {0xFF, 0xE1, 0,    34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                        1,    0,    0x12, 0x01, 3, 0, 1, 0, 0, 0, std::uint8_t(orientation), 0, 0, 0, 0, 0, 0, 0};
    if (jpeg.size() > 2) jpeg.insert(jpeg.begin() + 2, exif.begin(), exif.end());
    return jpeg;
}

}  // namespace

std::vector<CorpusFile> picture_corpus()
{
    std::vector<CorpusFile> files;
    const auto add = [&files](std::string name, Bytes bytes) {
        if (!bytes.empty()) files.push_back({std::move(name), std::move(bytes)});
    };
    const char* kinds[] = {"grey", "", "rgb", "palette", "grey-alpha", "", "rgba"};
    const std::vector<std::pair<int, std::vector<int>>> depths = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    for (const auto& [type, list] : depths)
        for (int depth : list) {
            const std::string base = std::string("png-") + kinds[type] + "-" + std::to_string(depth);
            add(base + ".png", png({type, depth}));
            if (type == 0 || type == 2 || type == 3) add(base + "-trns.png", png({type, depth, false, true}));
        }
    add("png-rgb-8-interlaced.png", png({2, 8, true}));
    add("png-rgb-16-trns-interlaced.png", png({2, 16, true, true}));
    add("png-grey-16-trns-interlaced.png", png({0, 16, true, true}));
    add("png-palette-2-trns-interlaced.png", png({3, 2, true, true}));
    add("png-grey-alpha-16-interlaced.png", png({4, 16, true}));
    add("png-grey-1-interlaced.png", png({0, 1, true}));
    const QByteArray p3 = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    Bytes iccp = {'P', '3', 0, 0};
    const Bytes profile = zlib(Bytes(p3.begin(), p3.end()));
    iccp.insert(iccp.end(), profile.begin(), profile.end());
    const Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 't', 'e', 's', 't'};
    add("png-rgba-8-gamma-text.png", png({6, 8, false, false, {{"gAMA", {0, 0, 0xB1, 0x8F}}, {"tEXt", text}}}));
    add("png-rgb-8-p3.png", png({2, 8, false, false, {{"iCCP", iccp}}}));
    add("png-rgba-8-animated.png", png({6, 8, false, false, {}, true}));
    add("tiff-pages.tif", tiff(2));
    add("gif-transparent.gif", gif(false));
    add("gif-animated.gif", gif(true));
    add("tiff-rgb.tif", encoded(colours(false), "tiff", 0));
    add("tiff-rgba.tif", encoded(colours(true), "tiff", 0));
    add("webp-lossless.webp", encoded(colours(true), "webp", 100));
    const Bytes jpeg = encoded(colours(false), "jpeg", 90);
    add("jpeg.jpg", jpeg);
    add("jpeg-orientation-6.jpg", with_orientation(jpeg, 6));
    add("jpeg-orientation-7.jpg", with_orientation(jpeg, 7));
    QImage wide = colours(false);
    wide.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    add("jpeg-p3.jpg", encoded(wide, "jpeg", 90));
    return files;
}
