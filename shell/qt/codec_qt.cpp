// The picture codecs of the Qt program and of lumaforge-cli on Linux: Qt's
// image IO (QtGui alone; no display and no application object needed). PNG
// is built into QtGui, JPEG and GIF come as plugins with it, TIFF and WebP
// with the extra image-format plugins.
//
// Reading: the reader is asked for the size and the orientation before
// anything is decoded; Qt's own allocation limit is lifted only once our
// limits accepted that size. The decoded image comes out as stored, in
// whatever format Qt chose; the common 8-bit ones are copied as they are,
// every other one (16-bit, premultiplied, grey with alpha) is converted a
// strip of rows at a time, so the whole picture never exists twice.
//
// One kind of PNG bypasses Qt's reader: 16-bit RGB or grey with a
// transparent colour (a tRNS chunk). Qt 6.4's reader returns such a file as
// RGBA64 but fills it as if each pixel had three 16-bit channels, so most
// pixels come out with their channels shifted. libpng, which that reader runs
// on, reads those files right, so they are read through libpng's own API
// (the stored samples, no gamma or colour conversion, as everywhere else).
#include <png.h>

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdint>
#include <cstdio>

#include "commands/platform.h"
#include "image/heap.h"

namespace {

// The formats opened: the ones the open chooser lists. Qt reads more (TGA,
// XPM, ...), some of them without a signature to check, and a stray file
// should get the usual refusal, not a picture made of its bytes.
bool readable(const QByteArray& format)
{
    return format == "png" || format == "jpeg" || format == "jpg" || format == "gif" || format == "tiff" ||
           format == "tif" || format == "webp";
}

QString qt_file_name(const std::filesystem::path& path)
{
#ifdef _WIN32
    return QString::fromStdWString(path.wstring());
#else
    return QFile::decodeName(QByteArray(path.c_str()));
#endif
}

inline void put(std::uint8_t* out, QRgb p)
{
    const unsigned a = static_cast<unsigned>(qAlpha(p));
    out[0] = over_white(static_cast<unsigned>(qBlue(p)), a);
    out[1] = over_white(static_cast<unsigned>(qGreen(p)), a);
    out[2] = over_white(static_cast<unsigned>(qRed(p)), a);
}

// The stored rows of `image` into the target, each pixel where the upright
// picture has it.
void copy_rows(const QImage& image, const PictureTarget& target)
{
    const int w = image.width(), h = image.height();
    const auto each_row = [&](auto&& write_pixel) {
        for (int y = 0; y < h; ++y) {
            const PictureTarget::Place place = target.stored_row(static_cast<std::uint32_t>(y));
            const uchar* line = image.constScanLine(y);
            std::uint8_t* out = place.first;
            for (int x = 0; x < w; ++x, out += place.step) write_pixel(out, line, y, x);
        }
    };
    switch (image.format()) {
    case QImage::Format_RGB32:
        each_row([](std::uint8_t* out, const uchar* line, int, int x) {
            const QRgb p = reinterpret_cast<const QRgb*>(line)[x];
            out[0] = static_cast<std::uint8_t>(qBlue(p));
            out[1] = static_cast<std::uint8_t>(qGreen(p));
            out[2] = static_cast<std::uint8_t>(qRed(p));
        });
        return;
    case QImage::Format_ARGB32:
        each_row([](std::uint8_t* out, const uchar* line, int, int x) { put(out, reinterpret_cast<const QRgb*>(line)[x]); });
        return;
    case QImage::Format_Grayscale8:
        each_row([](std::uint8_t* out, const uchar* line, int, int x) { out[0] = out[1] = out[2] = line[x]; });
        return;
    case QImage::Format_Indexed8: {
        QList<QRgb> table = image.colorTable();
        table.resize(256, qRgb(0, 0, 0));  // indices past the palette show black
        each_row([&table](std::uint8_t* out, const uchar* line, int, int x) { put(out, table[line[x]]); });
        return;
    }
    default: break;
    }
    // Everything else through 16 bits per channel, not premultiplied, a
    // strip of rows at a time.
    constexpr int kStrip = 64;
    QImage strip;
    int strip_top = -kStrip;
    each_row([&](std::uint8_t* out, const uchar*, int y, int x) {
        if (y >= strip_top + kStrip) {
            strip_top = y;
            strip = image.copy(0, y, w, std::min(kStrip, h - y)).convertToFormat(QImage::Format_RGBA64);
        }
        const QRgba64 p = reinterpret_cast<const QRgba64*>(strip.constScanLine(y - strip_top))[x];
        const std::uint64_t a = p.alpha();
        out[0] = over_white16(p.blue(), a);
        out[1] = over_white16(p.green(), a);
        out[2] = over_white16(p.red(), a);
    });
}

// Qt's name for an orientation, as Exif numbers it.
int exif_orientation(QImageIOHandler::Transformations t)
{
    switch (t) {
    case QImageIOHandler::TransformationMirror: return PictureTarget::MIRRORED;
    case QImageIOHandler::TransformationRotate180: return PictureTarget::HALF_TURN;
    case QImageIOHandler::TransformationFlip: return PictureTarget::FLIPPED;
    case QImageIOHandler::TransformationFlipAndRotate90: return PictureTarget::TRANSPOSED;
    case QImageIOHandler::TransformationRotate90: return PictureTarget::QUARTER_CLOCKWISE;
    case QImageIOHandler::TransformationMirrorAndRotate90: return PictureTarget::TRANSVERSED;
    case QImageIOHandler::TransformationRotate270: return PictureTarget::QUARTER_ANTICLOCKWISE;
    default: return PictureTarget::AS_STORED;
    }
}

// What libpng holds while it reads one file; released however the read ends.
struct PngRead {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    HeapArray<std::uint8_t> rows;  // the stored rows as libpng gives them
    ~PngRead()
    {
        if (png != nullptr) png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        if (file != nullptr) std::fclose(file);
    }
};

enum class PngPath { Qt, Decoded, TooLarge, Failed };

void png_failed(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void png_warned(png_structp, png_const_charp) {}

// Reads the picture when it is a 16-bit RGB or grey PNG with a transparent
// colour; any other PNG is left to Qt. libpng jumps back to the setjmp on
// an error, so nothing here owns anything: `r` does.
PngPath read_png_transparent16(PngRead& r, PictureTarget& target)
{
    if (setjmp(png_jmpbuf(r.png))) return PngPath::Failed;
    png_set_error_fn(r.png, nullptr, png_failed, png_warned);
    png_init_io(r.png, r.file);
    png_read_info(r.png, r.info);
    const png_uint_32 width = png_get_image_width(r.png, r.info), height = png_get_image_height(r.png, r.info);
    const int type = png_get_color_type(r.png, r.info);
    png_color_16p key = nullptr;
    if (png_get_bit_depth(r.png, r.info) != 16 || (type != PNG_COLOR_TYPE_RGB && type != PNG_COLOR_TYPE_GRAY) ||
        png_get_tRNS(r.png, r.info, nullptr, nullptr, &key) == 0 || key == nullptr)
        return PngPath::Qt;
    if (!target.begin(width, height)) return PngPath::TooLarge;
    const std::size_t channels = type == PNG_COLOR_TYPE_RGB ? 3 : 1, row_bytes = 2 * channels * width;
    // An interlaced picture comes in passes over every row, so all rows are
    // kept; otherwise one row at a time.
    const int passes = png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    const std::size_t kept_rows = passes > 1 ? height : 1;
    r.rows = HeapArray<std::uint8_t>::allocate(row_bytes * kept_rows);
    if (!r.rows) return PngPath::TooLarge;
    const unsigned transparent[3] = {channels == 3 ? key->red : key->gray, key->green, key->blue};
    const auto put_row = [&](png_uint_32 y, const std::uint8_t* in) {
        const PictureTarget::Place place = target.stored_row(y);
        std::uint8_t* out = place.first;
        for (png_uint_32 x = 0; x < width; ++x, in += 2 * channels, out += place.step) {
            unsigned sample[3];
            for (std::size_t c = 0; c < 3; ++c) sample[c] = c < channels ? (in[2 * c] << 8 | in[2 * c + 1]) : sample[0];
            bool clear = true;
            for (std::size_t c = 0; c < channels; ++c) clear = clear && sample[c] == transparent[c];
            const std::uint64_t a = clear ? 0 : 65535;
            out[0] = over_white16(sample[2], a);
            out[1] = over_white16(sample[1], a);
            out[2] = over_white16(sample[0], a);
        }
    };
    if (passes > 1) {
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y) png_read_row(r.png, r.rows.get() + y * row_bytes, nullptr);
        for (png_uint_32 y = 0; y < height; ++y) put_row(y, r.rows.get() + y * row_bytes);
    } else {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(r.png, r.rows.get(), nullptr);
            put_row(y, r.rows.get());
        }
    }
    png_read_end(r.png, nullptr);
    return PngPath::Decoded;
}

PngPath read_png_where_qt_misreads(const std::filesystem::path& path, PictureTarget& target)
{
    PngRead r;
#ifdef _WIN32
    r.file = _wfopen(path.c_str(), L"rb");
#else
    r.file = std::fopen(path.c_str(), "rb");
#endif
    if (r.file == nullptr) return PngPath::Qt;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_failed, png_warned);
    if (r.png == nullptr) return PngPath::Failed;
    r.info = png_create_info_struct(r.png);
    if (r.info == nullptr) return PngPath::Failed;
    return read_png_transparent16(r, target);
}

}  // namespace

DecodeResult decode_picture(const std::filesystem::path& path, PictureTarget& target)
{
    QImageReader reader(qt_file_name(path));
    reader.setDecideFormatFromContent(true);
    // The picture is read as stored and turned upright as it is copied.
    reader.setAutoTransform(false);
    if (!reader.canRead() || !readable(reader.format())) return DecodeResult::NotAPicture;
    if (reader.format() == "png") {
        switch (read_png_where_qt_misreads(path, target)) {
        case PngPath::Qt: break;
        case PngPath::Decoded: return DecodeResult::Decoded;
        case PngPath::TooLarge: return DecodeResult::TooLarge;
        case PngPath::Failed: return DecodeResult::Failed;
        }
    }
    const QSize size = reader.size();
    if (!size.isValid()) return DecodeResult::Failed;
    if (!target.begin(static_cast<std::uint64_t>(size.width()), static_cast<std::uint64_t>(size.height()),
                      exif_orientation(reader.transformation())))
        return DecodeResult::TooLarge;
    // Qt's plugins allocate for what the file declares, which may differ
    // from the size above (a GIF's frame larger than its screen): a few
    // bytes must not take hundreds of megabytes. The limit lets through the
    // widest pixel format Qt decodes into (four floats, 16 bytes) at the
    // size the target accepted, and nothing larger. The limit is Qt's one
    // for the whole process, so it is put back after the read.
    const std::uint64_t most = static_cast<std::uint64_t>(size.width()) * static_cast<std::uint64_t>(size.height()) * 16;
    const int previous_limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(static_cast<int>(std::min<std::uint64_t>(most / (1u << 20) + 1, INT_MAX)));
    QImage image;
    const bool read = reader.read(&image);
    QImageReader::setAllocationLimit(previous_limit);
    if (!read || image.size() != size) return DecodeResult::Failed;
    copy_rows(image, target);
    return DecodeResult::Decoded;
}

EncodeResult encode_picture(const PictureView& picture, const std::string& extension, std::vector<std::uint8_t>& bytes,
                            std::string& error)
{
    const QByteArray format = QByteArray::fromStdString(extension.size() > 1 ? extension.substr(1) : std::string());
    const bool writable = format == "png" || format == "jpg" || format == "jpeg" || format == "tif" ||
                          format == "tiff" || format == "webp";
    if (!writable || !QImageWriter::supportedImageFormats().contains(format)) return EncodeResult::UnknownFormat;
    if (picture.width == 0 || picture.height == 0) {
        error = "a picture without pixels has no " + extension + " form";
        return EncodeResult::Failed;
    }
    QImage image(static_cast<int>(picture.width), static_cast<int>(picture.height), QImage::Format_RGB888);
    if (image.isNull()) {
        error = "not enough memory to encode the picture";
        return EncodeResult::Failed;
    }
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        const std::uint8_t* in = picture.bottom_row + (picture.height - 1 - y) * picture.stride;
        uchar* out = image.scanLine(static_cast<int>(y));
        for (std::uint32_t x = 0; x < picture.width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (picture.text_key != nullptr && format == "png")
        writer.setText(QString::fromLatin1(picture.text_key),
                       QString::fromUtf8(picture.text.data(), static_cast<qsizetype>(picture.text.size())));
    // PNG's "quality" is its compression effort: 50 writes a 12-megapixel
    // photo about 2.5 times as fast as the default for an 11 % larger file.
    writer.setQuality(format == "png" ? 50 : 95);
    if (!writer.write(image)) {
        error = writer.errorString().toStdString();
        return EncodeResult::Failed;
    }
    bytes.assign(encoded.begin(), encoded.end());
    return EncodeResult::Encoded;
}

bool read_picture_text(const std::filesystem::path& path, const char* key, std::string& text)
{
    QImageReader reader(qt_file_name(path), "png");
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead() || reader.format() != "png") return false;
    const QString value = reader.text(QString::fromLatin1(key));
    if (value.isNull() || !reader.textKeys().contains(QString::fromLatin1(key))) return false;
    text = value.toStdString();
    return true;
}
