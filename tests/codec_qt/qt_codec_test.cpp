// Pictures other than BMP through the open command and Save As, with Qt's
// image IO as the platform's codec (the build of the Qt program and of
// lumaforge-cli on Linux). The test pictures are made here, through the
// same Qt encoder, or byte by byte where Qt writes no such file.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "image/bmp.h"
#include "image/heap.h"
#include "tests/codec_qt/picture_corpus.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "tests/support/records.h"
#include "image/test_seam.h"

namespace {

QString qt_name(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// Over white, as the open command promises: round((c*a + max*(max-a)) /
// max^2 * 255).
int over_white(long double c, long double a, long double max)
{
    return static_cast<int>(std::floor((c * a + max * (max - a)) / (max * max) * 255.0L + 0.5L));
}

std::uint32_t crc32(const std::uint8_t* p, std::size_t n)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

// A PNG file: its header, the chunks in `extra` (type and data), and
// `idat` as its one data chunk.
std::vector<std::uint8_t> png_file(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t type,
                                   std::uint8_t interlace, const std::vector<std::uint8_t>& idat,
                                   const std::vector<std::pair<const char*, std::vector<std::uint8_t>>>& extra = {})
{
    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&out](const char* type, std::vector<std::uint8_t> data) {
        put_be32(out, static_cast<std::uint32_t>(data.size()));
        std::vector<std::uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        out.insert(out.end(), body.begin(), body.end());
        put_be32(out, crc32(body.data(), body.size()));
    };
    std::vector<std::uint8_t> ihdr;
    put_be32(ihdr, width);
    put_be32(ihdr, height);
    ihdr.insert(ihdr.end(), {depth, type, 0, 0, interlace});
    chunk("IHDR", ihdr);
    for (const auto& [name, data] : extra) chunk(name, data);
    chunk("IDAT", idat);
    chunk("IEND", {});
    return out;
}

// A PNG that declares a width x height RGB picture and holds no pixels
// (its one data chunk is an empty compressed stream).
std::vector<std::uint8_t> png_header_only(std::uint32_t width, std::uint32_t height)
{
    return png_file(width, height, 8, 2, 0, {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
}

// A 16-bit PNG (type 2 RGB, 0 grey) of `samples` (row after row, pixel
// after pixel), unfiltered, its data in stored deflate blocks, interlaced
// by passes when asked.
std::vector<std::uint8_t> png16(int w, int h, std::uint8_t type, bool interlaced, const std::vector<unsigned>& samples,
                                const std::vector<std::uint8_t>& trns)
{
    const int channels = type == 2 ? 3 : 1;
    std::vector<std::uint8_t> raw;
    const auto add_rows = [&](int x0, int y0, int dx, int dy) {
        for (int y = y0; y < h; y += dy) {
            if (x0 >= w) return;
            raw.push_back(0);  // no filter
            for (int x = x0; x < w; x += dx)
                for (int c = 0; c < channels; ++c) {
                    const unsigned v = samples[static_cast<std::size_t>((y * w + x) * channels + c)];
                    raw.insert(raw.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
                }
        }
    };
    if (interlaced) {
        for (const auto [x0, y0, dx, dy] : {std::array{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}})
            add_rows(x0, y0, dx, dy);
    } else {
        add_rows(0, 0, 1, 1);
    }
    std::vector<std::uint8_t> z = {0x78, 0x01, 1, std::uint8_t(raw.size()), std::uint8_t(raw.size() >> 8),
                                   std::uint8_t(~raw.size()), std::uint8_t(~raw.size() >> 8)};
    z.insert(z.end(), raw.begin(), raw.end());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
    put_be32(z, b << 16 | a);
    return png_file(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), 16, type, interlaced ? 1 : 0, z,
                    {{"tRNS", trns}});
}

// A GIF of one frame with a 256-colour palette, one index transparent. Its
// codes are written 9 bits wide, a clear code before every 100, so the
// table never grows: a valid file without compressing anything.
std::vector<std::uint8_t> gif_bytes(int w, int h, const std::vector<QRgb>& palette, int transparent,
                                    const std::vector<std::uint8_t>& indices)
{
    std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    const auto le16 = [&out](int v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    le16(w);
    le16(h);
    out.insert(out.end(), {0xF7, 0, 0});
    for (QRgb c : palette) out.insert(out.end(), {std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c))});
    out.insert(out.end(), {0x21, 0xF9, 4, 1, 0, 0, std::uint8_t(transparent), 0});
    out.push_back(0x2C);
    le16(0), le16(0), le16(w), le16(h);
    out.push_back(0);
    out.push_back(8);  // minimum code size
    std::vector<std::uint8_t> bits;
    std::uint32_t buffer = 0;
    int count = 0;
    const auto code = [&](unsigned c) {
        buffer |= c << count;
        for (count += 9; count >= 8; count -= 8, buffer >>= 8) bits.push_back(static_cast<std::uint8_t>(buffer));
    };
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i % 100 == 0) code(256);
        code(indices[i]);
    }
    code(257);
    if (count > 0) bits.push_back(static_cast<std::uint8_t>(buffer));
    for (std::size_t at = 0; at < bits.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, bits.size() - at);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), bits.begin() + static_cast<std::ptrdiff_t>(at),
                   bits.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    out.insert(out.end(), {0, 0x3B});
    return out;
}

// The shown pixel (x, y) counted from the top-left, blue, green, red.
Bgr shown(const ImageRecord& r, int x, int y)
{
    const std::uint8_t* p = r.pixels.get() + static_cast<std::size_t>(r.height - 1 - y) * r.stride() + 3 * x;
    return {p[0], p[1], p[2]};
}

class Pictures : public SessionTest {
protected:
    void SetUp() override { dir = scratch_dir(); }

    void write(const QImage& image, const char* name, const char* format = nullptr)
    {
        QImageWriter writer(qt_name(dir / name), format ? QByteArray(format) : QByteArray());
        ASSERT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    }

    // Opens through the open command; the record on display, or nullptr.
    const ImageRecord* open(const std::filesystem::path& path)
    {
        shown_before = session.images.current_image;
        fake.files.push_back(path);
        run_command(session, kFakeWindow, IDM_OPEN);
        return session.images.current_image;
    }

    void expect_refused_with(const char* text)
    {
        // A refusal keeps what was there: nothing, or the picture before.
        EXPECT_EQ(session.images.current_image, shown_before);
        if (shown_before == nullptr) {
            EXPECT_FALSE(session.images.image_a.pixels);
        }
        ASSERT_EQ(fake.messages.size(), 1u);
        EXPECT_EQ(fake.messages[0].caption, kLoadCaption);
        EXPECT_EQ(fake.messages[0].text, text);
    }

    std::filesystem::path dir;
    const ImageRecord* shown_before = nullptr;
};

TEST_F(Pictures, TransparencyIsCompositedOverWhite)
{
    QImage image(256, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) image.setPixel(x, y, qRgba(x, 255 - x, (x * 3) & 255, y * 4 + 3));
    write(image, "alpha.png");
    const ImageRecord* r = open(dir / "alpha.png");
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->width, 256);
    ASSERT_EQ(r->height, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) {
            const QRgb p = image.pixel(x, y);
            const Bgr got = shown(*r, x, y);
            const int a = y * 4 + 3;
            ASSERT_EQ(got.r, over_white(qRed(p), a, 255)) << x << "," << y;
            ASSERT_EQ(got.g, over_white(qGreen(p), a, 255)) << x << "," << y;
            ASSERT_EQ(got.b, over_white(qBlue(p), a, 255)) << x << "," << y;
        }
    EXPECT_EQ(r->row_padding, 0);
}

TEST_F(Pictures, SixteenBitAndGreyPicturesBecomeTheNearest8BitColour)
{
    QImage deep(300, 20, QImage::Format_RGBA64);
    QImage grey16(300, 20, QImage::Format_Grayscale16);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 300; ++x) {
            const auto v = static_cast<quint16>(x * 218 + y * 7);
            deep.setPixelColor(x, y, QColor::fromRgba64(v, static_cast<quint16>(65535 - v), static_cast<quint16>(v / 3),
                                                        static_cast<quint16>(y == 0 ? 65535 : y * 3000 + x)));
            reinterpret_cast<quint16*>(grey16.scanLine(y))[x] = v;
        }
    write(deep, "deep.png");
    write(grey16, "grey16.png");

    const ImageRecord* r = open(dir / "deep.png");
    ASSERT_NE(r, nullptr);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 300; ++x) {
            const QRgba64 p = reinterpret_cast<const QRgba64*>(deep.constScanLine(y))[x];
            const Bgr got = shown(*r, x, y);
            ASSERT_EQ(got.r, over_white(p.red(), p.alpha(), 65535)) << x << "," << y;
            ASSERT_EQ(got.g, over_white(p.green(), p.alpha(), 65535)) << x << "," << y;
            ASSERT_EQ(got.b, over_white(p.blue(), p.alpha(), 65535)) << x << "," << y;
        }
    r = open(dir / "grey16.png");
    ASSERT_NE(r, nullptr);
    for (int x = 0; x < 300; ++x) {
        const Bgr got = shown(*r, x, 5);
        const int expected = static_cast<int>(std::floor((x * 218 + 35) / 257.0 + 0.5));
        ASSERT_EQ(got.r, expected) << x;
        ASSERT_TRUE(got.g == expected && got.b == expected) << x;
    }
}

TEST_F(Pictures, SixteenBitPicturesWithATransparentColourAreExact)
{
    // Values where rounding (c / 257) and the high byte differ, the key
    // colour (white) and colours one step from it (opaque).
    const std::vector<unsigned> rgb = {0x12C0, 0x0000, 0xFFFF, 0xABCD, 0x1234, 0x5678, 0x7F80, 0x8080, 0x0101,
                                       0xABCD, 0x1234, 0x5679, 0x00FF, 0xFF00, 0x8000, 0xABCD, 0x1234, 0x5678};
    const std::vector<std::uint8_t> rgb_key = {0xAB, 0xCD, 0x12, 0x34, 0x56, 0x78};
    const std::vector<Bgr> rgb_expected = {{255, 0, 19},   {255, 255, 255}, {1, 128, 127},
                                           {86, 18, 171},  {128, 254, 1},   {255, 255, 255}};
    const std::vector<unsigned> grey = {0x4000, 0x12C0, 0xFFFF, 0x4001, 0x0080, 0x8000};
    const std::vector<std::uint8_t> grey_key = {0x40, 0x00};
    const std::vector<int> grey_expected = {255, 19, 255, 64, 0, 128};
    for (const bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "progressive");
        write_file(dir / "rgb16.png", png16(3, 2, 2, interlaced, rgb, rgb_key));
        write_file(dir / "grey16.png", png16(3, 2, 0, interlaced, grey, grey_key));
        const ImageRecord* r = open(dir / "rgb16.png");
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(r->width, 3);
        for (int i = 0; i < 6; ++i) {
            const Bgr got = shown(*r, i % 3, i / 3), want = rgb_expected[static_cast<std::size_t>(i)];
            EXPECT_TRUE(got.b == want.b && got.g == want.g && got.r == want.r)
                << "pixel " << i << ": " << int(got.r) << "," << int(got.g) << "," << int(got.b);
        }
        r = open(dir / "grey16.png");
        ASSERT_NE(r, nullptr);
        for (int i = 0; i < 6; ++i) {
            const Bgr got = shown(*r, i % 3, i / 3);
            const int want = grey_expected[static_cast<std::size_t>(i)];
            EXPECT_TRUE(got.b == want && got.g == want && got.r == want) << "pixel " << i << ": " << int(got.r);
        }
    }
    // A damaged stream in such a file is refused, as in any other PNG.
    auto cut = png16(3, 2, 2, false, rgb, rgb_key);
    cut[cut.size() - 20] ^= 0xFF;
    write_file(dir / "cut16.png", cut);
    reset_fake();
    open(dir / "cut16.png");
    expect_refused_with(kReadFailed);
}

TEST_F(Pictures, EveryCorpusPictureOpensAtItsFirstFrame)
{
    for (const CorpusFile& file : picture_corpus()) {
        write_file(dir / file.name, file.bytes);
        reset_fake();
        const ImageRecord* r = open(dir / file.name);
        ASSERT_NE(r, nullptr) << file.name << ": " << (fake.messages.empty() ? "" : fake.messages[0].text);
        EXPECT_EQ(r->width * r->height, 37 * 23) << file.name;
        // The later frames and pages are black; the first is not.
        EXPECT_GT(r->mean_r + r->mean_g + r->mean_b, 30) << file.name;
    }
}

TEST_F(Pictures, PalettePicturesTakeTheirColoursFromThePalette)
{
    std::vector<QRgb> palette(256);
    for (int i = 0; i < 256; ++i) palette[static_cast<std::size_t>(i)] = qRgb(i, (i * 5) & 255, 255 - i);
    std::vector<std::uint8_t> indices(37 * 11);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>(i * 7);
    write_file(dir / "palette.gif", gif_bytes(37, 11, palette, 14, indices));
    const ImageRecord* r = open(dir / "palette.gif");
    ASSERT_NE(r, nullptr) << (fake.messages.empty() ? "" : fake.messages[0].text);
    ASSERT_EQ(r->width, 37);
    EXPECT_EQ(r->row_padding, 1);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x) {
            const int i = indices[static_cast<std::size_t>(y * 37 + x)];
            const QRgb c = i == 14 ? qRgb(255, 255, 255) : palette[static_cast<std::size_t>(i)];
            const Bgr got = shown(*r, x, y);
            ASSERT_TRUE(got.r == qRed(c) && got.g == qGreen(c) && got.b == qBlue(c)) << x << "," << y;
        }

    // A palette PNG whose transparent entry is half see-through.
    QImage indexed(5, 3, QImage::Format_Indexed8);
    indexed.setColorTable({qRgba(10, 20, 30, 255), qRgba(200, 100, 0, 128)});
    indexed.fill(1);
    indexed.setPixel(2, 1, 0);
    write(indexed, "palette.png");
    r = open(dir / "palette.png");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(shown(*r, 2, 1).r, 10);
    EXPECT_EQ(shown(*r, 0, 0).r, over_white(200, 128, 255));
    EXPECT_EQ(shown(*r, 4, 2).b, over_white(0, 128, 255));
}

// A JPEG of `stored` with an Exif segment declaring `orientation` right
// after the start marker, as a camera writes it.
std::vector<std::uint8_t> jpeg_with_orientation(const QImage& stored, int orientation)
{
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    if (!writer.write(stored)) return {};
    std::vector<std::uint8_t> bytes(encoded.begin(), encoded.end());
    const std::vector<std::uint8_t> exif = {0xFF, 0xE1, 0,   34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I',
                                            42,   0,    8,   0,  0,   0,   1,   0,   0x12, 0x01, 3, 0,
                                            1,    0,    0,   0,  std::uint8_t(orientation), 0, 0, 0, 0, 0, 0, 0};
    bytes.insert(bytes.begin() + 2, exif.begin(), exif.end());
    return bytes;
}

TEST_F(Pictures, APhotoStandsUprightAsItsOrientationSays)
{
    // Quadrants: red, green above blue, white, stored as a camera stores it.
    QImage stored(64, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            stored.setPixel(x, y, y < 16 ? (x < 32 ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                                         : (x < 32 ? qRgb(0, 0, 255) : qRgb(255, 255, 255)));
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        const auto file = dir / ("turned-" + std::to_string(orientation) + ".jpg");
        write_file(file, jpeg_with_orientation(stored, orientation));
        QImageReader upright_reader(qt_name(file));
        upright_reader.setAutoTransform(true);
        const QImage upright = upright_reader.read();  // Qt's own turning: the oracle
        const ImageRecord* r = open(file);
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(r->width, upright.width());
        ASSERT_EQ(r->height, upright.height());
        EXPECT_EQ(r->width, orientation >= 5 ? 32 : 64);
        for (int y = 0; y < upright.height(); ++y)
            for (int x = 0; x < upright.width(); ++x) {
                const QRgb p = upright.pixel(x, y);
                const Bgr got = shown(*r, x, y);
                ASSERT_TRUE(got.r == qRed(p) && got.g == qGreen(p) && got.b == qBlue(p)) << x << "," << y;
            }
    }
    // Orientation 6, a quarter clockwise: the bottom-left quadrant (blue)
    // comes to the top left.
    const ImageRecord* r = open(dir / "turned-6.jpg");
    ASSERT_NE(r, nullptr);
    EXPECT_GT(shown(*r, 4, 4).b, 200);
    EXPECT_LT(shown(*r, 4, 4).r, 60);
}

TEST_F(Pictures, ASmallFileDeclaringAHugePictureIsRefusedBeforeAnyAllocation)
{
    for (const auto& [w, h] : {std::pair{100000u, 100000u}, std::pair{60000u, 60000u}}) {
        reset_fake();
        write_file(dir / "bomb.png", png_header_only(w, h));
        test_seam::heap_fail_at(0);
        open(dir / "bomb.png");
        const std::uint64_t asked = test_seam::heap_bytes_requested();
        expect_refused_with(kTooLarge);
        EXPECT_LT(asked, 1u << 20) << w << "x" << h;
    }
}

TEST_F(Pictures, BrokenOrUnknownFilesGetTheReadersRefusals)
{
    QImage image(200, 150, QImage::Format_RGB32);
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x) image.setPixel(x, y, qRgb(x, y, (x * y) & 255));
    write(image, "whole.png");
    auto bytes = read_file(dir / "whole.png");
    bytes.resize(bytes.size() / 2);
    write_file(dir / "cut.png", bytes);
    open(dir / "cut.png");
    expect_refused_with(kReadFailed);

    // Refused as well, though some decoders read them: a JPEG or GIF cut
    // short (read with grey or missing rows), a PNG whose data chunk has a
    // wrong checksum.
    for (const CorpusFile& file : picture_corpus()) {
        if (file.name != "gif-animated.gif") continue;
        write_file(dir / "cut.gif", std::vector<std::uint8_t>(file.bytes.begin(), file.bytes.begin() + 600));
        reset_fake();
        open(dir / "cut.gif");
        expect_refused_with(kReadFailed);
        write_file(dir / "first-frame.gif", std::vector<std::uint8_t>(file.bytes.begin(), file.bytes.end() - 700));
        reset_fake();
        EXPECT_NE(open(dir / "first-frame.gif"), nullptr) << "a cut in a later frame is never seen";
    }
    // Data after a JPEG's end marker and a damaged ancillary PNG chunk are
    // passed over.
    write(image, "whole.jpg");
    auto jpeg = read_file(dir / "whole.jpg");
    jpeg.resize(jpeg.size() * 2 / 3);
    write_file(dir / "cut.jpg", jpeg);
    reset_fake();
    open(dir / "cut.jpg");
    expect_refused_with(kReadFailed);
    jpeg = read_file(dir / "whole.jpg");
    jpeg.insert(jpeg.end(), {0xFF, 0xD8, 0xFF, 0x00, 'x'});
    write_file(dir / "trailer.jpg", jpeg);
    reset_fake();
    EXPECT_NE(open(dir / "trailer.jpg"), nullptr);
    auto png = png16(3, 2, 0, false, {1, 2, 3, 4, 5, 6}, {0, 1});
    const std::size_t trns_crc = 8 + 25 + 8 + 2;  // signature, header chunk, the tRNS chunk's data
    png[trns_crc] ^= 1;
    write_file(dir / "ancillary.png", png);
    EXPECT_NE(open(dir / "ancillary.png"), nullptr);
    png[trns_crc] ^= 1;
    png[png.size() - 13] ^= 1;  // the data chunk's checksum
    write_file(dir / "checksum.png", png);
    reset_fake();
    open(dir / "checksum.png");
    expect_refused_with(kReadFailed);

    // Formats Qt reads but the program does not offer are refused as any
    // file that is not a picture.
    reset_fake();
    write(image, "picture.xpm", "xpm");
    open(dir / "picture.xpm");
    expect_refused_with(kNotBmp);
}

TEST_F(Pictures, SaveAsPngKeepsEveryPixelAndJpegComesClose)
{
    ASSERT_TRUE(open_picture(session, random_record(41, 17, 8)));
    const ImageRecord original = clone(session.images.image_a);
    for (const char* name : {"copy.png", "copy.jpg"}) {
        fake.files.push_back(dir / name);
        run_command(session, kFakeWindow, IDM_SAVE_AS);
    }
    ASSERT_TRUE(fake.messages.empty()) << fake.messages[0].text;

    const ImageRecord* r = open(dir / "copy.png");
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->width, 41);
    ASSERT_EQ(r->height, 17);
    for (std::size_t row = 0; row < 17; ++row)
        ASSERT_EQ(std::memcmp(r->pixels.get() + row * r->stride(), original.pixels.get() + row * original.stride(), 3 * 41),
                  0)
            << "row " << row << " from the bottom";

    r = open(dir / "copy.jpg");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->width, 41);
    EXPECT_EQ(r->height, 17);
    EXPECT_EQ(QImageReader(qt_name(dir / "copy.jpg")).format(), "jpeg");
}

TEST_F(Pictures, TheCommandLineReadsAndWritesEveryFormat)
{
    QImage image(33, 9, QImage::Format_ARGB32);
    image.fill(qRgba(255, 0, 0, 255));
    image.setPixel(3, 4, qRgba(0, 0, 0, 0));
    write(image, "in.png");
    const std::string cli = LUMAFORGE_CLI;
    const std::string in = (dir / "in.png").string();
    const auto run = [](const std::string& command) { return std::system((command + " 2>/dev/null").c_str()); };
    ASSERT_EQ(run(cli + " " + in + " negative save=" + (dir / "step.png").string() + " undo -o " +
                  (dir / "out.bmp").string()),
              0);
    ImageRecord bmp;
    ASSERT_EQ(load_bmp(dir / "out.bmp", bmp), LoadResult::Loaded);
    EXPECT_EQ(bmp.width, 33);
    EXPECT_EQ(shown(bmp, 3, 4).g, 255) << "transparent: white";
    EXPECT_EQ(shown(bmp, 0, 0).r, 255);
    const QImage step(qt_name(dir / "step.png"));
    EXPECT_EQ(step.pixel(0, 0) & 0xFFFFFF, 0x00FFFFu) << "the negative, saved by the save step";
    EXPECT_NE(run(cli + " " + in + " -o " + (dir / "out.unknown").string()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.unknown"));
}

}  // namespace
