// The picture codecs of the page: the browser's own.
//
// Reading: a browser decodes only asynchronously, and the open command reads
// within one call. So the page decodes a picture that is not a BMP before the
// command runs and stages its pixels with the module (lf_stage_picture);
// decode_picture takes them for that file, laid over white, straight into
// the record. Browsers hand out 8-bit channels only, and cut 16-bit samples
// to their high byte, so the page decodes 16-bit PNGs itself and stages
// their 16-bit samples. A file with nothing staged is refused: as broken when
// it starts as a PNG, JPEG, GIF or WebP does (the browser could not decode
// it), as not a picture otherwise.
//
// Writing: a canvas encodes synchronously (toDataURL). The picture goes
// into it a strip of rows at a time, straight from the record's block, fully
// opaque, so the canvas's premultiplied storage keeps every value; PNG is
// lossless, JPEG and WebP at quality 95. A browser that writes no such
// format answers with PNG instead, which counts as no encoder for it.
#include <emscripten/emscripten.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "commands/platform.h"
#include "shell/png_text.h"
#include "shell/web/web_exports.h"

namespace {

// The pixels the page decoded for the file at `path`.
struct Staged {
    std::string path;
    void* rgba = nullptr;
    int width = 0, height = 0, bits = 8;
};
Staged staged;

// Compressed PNG text the page inflated, per file and keyword.
struct StagedText {
    std::string path, key, text;
};
StagedText staged_text;

void drop_staged()
{
    std::free(staged.rgba);
    staged = Staged{};
}

// Whether the file starts as one of the formats the browser decodes.
bool browser_format(const std::filesystem::path& path)
{
    char head[12] = {};
    std::ifstream(path, std::ios::binary).read(head, sizeof head);
    return std::memcmp(head, "\x89PNG", 4) == 0 || std::memcmp(head, "\xFF\xD8\xFF", 3) == 0 ||
           std::memcmp(head, "GIF8", 4) == 0 || (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0);
}

}  // namespace

void lf_stage_picture(void* rgba, int width, int height, int bits, const char* path)
{
    drop_staged();
    if (path != nullptr && width > 0 && height > 0 && (bits == 8 || bits == 16))
        staged = Staged{path, rgba, width, height, bits};
    else
        std::free(rgba);
}

void lf_stage_text(const char* path, const char* key, const char* text)
{
    staged_text = StagedText{path ? path : "", key ? key : "", text ? text : ""};
}

// 1 encoded (a malloc'd block at *out of *size bytes), 0 the canvas failed,
// -1 no encoder for the type.
EM_JS(int, browser_encode,
      (const std::uint8_t* bottom_row, int stride, int width, int height, const char* type_text, int quality,
       std::uint8_t** out, int* size),
      {
          const type = UTF8ToString(type_text);
          let url = "";
          try {
              const canvas = document.createElement("canvas");
              canvas.width = width;
              canvas.height = height;
              const context = canvas.getContext("2d");
              if (!context || canvas.width != width || canvas.height != height) return 0;
              const rows = Math.max(1, Math.min(height, Math.floor(4194304 / (4 * width))));
              for (let top = 0; top < height; top += rows) {
                  const strip = Math.min(rows, height - top);
                  const image = context.createImageData(width, strip);
                  const data = image.data;
                  for (let y = 0; y < strip; ++y) {
                      // Rows are stored bottom-up: row top + y from the top.
                      let from = bottom_row + (height - 1 - top - y) * stride;
                      let to = 4 * width * y;
                      for (let x = 0; x < width; ++x, from += 3, to += 4) {
                          data[to] = HEAPU8[from + 2];
                          data[to + 1] = HEAPU8[from + 1];
                          data[to + 2] = HEAPU8[from];
                          data[to + 3] = 255;
                      }
                  }
                  context.putImageData(image, 0, top);
              }
              url = canvas.toDataURL(type, quality / 100);
          } catch (error) {
              return 0;
          }
          const head = "data:" + type + ";base64,";
          if (!url.startsWith(head)) return url.startsWith("data:image/") ? -1 : 0;
          const bytes = atob(url.substring(head.length));
          const block = _malloc(bytes.length);
          if (!block) return 0;
          for (let i = 0; i < bytes.length; ++i) HEAPU8[block + i] = bytes.charCodeAt(i);
          HEAPU32[out >> 2] = block;
          HEAP32[size >> 2] = bytes.length;
          return 1;
      });

DecodeResult decode_picture(const std::filesystem::path& path, PictureTarget& target)
{
    if (staged.path.empty() || path.string() != staged.path)
        return browser_format(path) ? DecodeResult::Failed : DecodeResult::NotAPicture;
    const Staged picture = staged;
    staged = Staged{};
    struct Release {
        void* block;
        ~Release() { std::free(block); }
    } release{picture.rgba};
    const auto w = static_cast<std::uint32_t>(picture.width), h = static_cast<std::uint32_t>(picture.height);
    if (picture.rgba == nullptr || !target.begin(w, h)) return DecodeResult::TooLarge;
    const auto each_pixel = [&](const auto* in, auto&& lay) {
        for (std::uint32_t y = 0; y < h; ++y) {
            const PictureTarget::Place place = target.stored_row(y);
            std::uint8_t* out = place.first;
            for (std::uint32_t x = 0; x < w; ++x, in += 4, out += place.step) {
                out[0] = lay(in[2], in[3]);
                out[1] = lay(in[1], in[3]);
                out[2] = lay(in[0], in[3]);
            }
        }
    };
    if (picture.bits == 16)
        each_pixel(static_cast<const std::uint16_t*>(picture.rgba),
                   [](std::uint16_t c, std::uint16_t a) { return over_white16(c, a); });
    else
        each_pixel(static_cast<const std::uint8_t*>(picture.rgba),
                   [](std::uint8_t c, std::uint8_t a) { return over_white(c, a); });
    return DecodeResult::Decoded;
}

EncodeResult encode_picture(const PictureView& picture, const std::string& extension, std::vector<std::uint8_t>& bytes,
                            std::string& error)
{
    const char* type = extension == ".png"                         ? "image/png"
                       : extension == ".jpg" || extension == ".jpeg" ? "image/jpeg"
                       : extension == ".webp"                        ? "image/webp"
                                                                     : nullptr;
    if (type == nullptr) return EncodeResult::UnknownFormat;
    std::uint8_t* block = nullptr;
    int size = 0;
    const int encoded = browser_encode(picture.bottom_row, static_cast<int>(picture.stride),
                                       static_cast<int>(picture.width), static_cast<int>(picture.height), type, 95,
                                       &block, &size);
    if (encoded < 0) return EncodeResult::UnknownFormat;
    if (encoded == 0) {
        error = "the browser could not encode a " + std::to_string(picture.width) + "x" +
                std::to_string(picture.height) + " picture";
        return EncodeResult::Failed;
    }
    bytes.assign(block, block + size);
    std::free(block);
    // The canvas writes no text: the page puts the chunk in itself.
    if (picture.text_key != nullptr && extension == ".png" && !add_png_text(bytes, picture.text_key, picture.text)) {
        error = "the picture's text could not be stored";
        return EncodeResult::Failed;
    }
    return EncodeResult::Encoded;
}

bool read_picture_text(const std::filesystem::path& path, const char* key, std::string& text)
{
    if (!staged_text.path.empty() && staged_text.path == path.string() && staged_text.key == key) {
        text = staged_text.text;
        return true;
    }
    const std::optional<std::string> chunk = png_file_text(path, key);
    if (chunk) text = *chunk;
    return chunk.has_value();
}
