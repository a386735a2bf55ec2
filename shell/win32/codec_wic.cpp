// The picture codecs of the Windows program and of lumaforge-cli on Windows:
// the Windows Imaging Component, which every Windows system has (PNG, JPEG,
// GIF and TIFF always; WebP where its codec is installed).
//
// Reading: the decoder is chosen by the file's contents and asked for the
// size of its first frame before anything is decoded. A photo's orientation
// comes from its metadata (the Exif orientation tag, 1..8), and the target
// puts each pixel where the upright picture has it. Pixels are converted to
// 8-bit blue, green, red, alpha one row at a time and composited over white;
// pictures of 16 bits per channel are read as stored, a row at a time, and
// rounded and composited from their 16-bit values (the converter would cut
// each sample to its high byte).
#include <windows.h>

#include <initguid.h>  // the WIC identifiers are defined here, not taken from a library

#include <wincodec.h>

#include <string>
#include <vector>

#include "commands/platform.h"
#include "image/exif_orientation.h"
#include "shell/png_text.h"

namespace {

// Owns one COM interface pointer.
template <class T>
class Com {
public:
    Com() = default;
    ~Com()
    {
        if (p_ != nullptr) p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T** put() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

private:
    T* p_ = nullptr;
};

// COM for the calling thread while the codec works; a thread that has it
// already keeps it as it was.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope()
    {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

bool make_factory(Com<IWICImagingFactory>& factory)
{
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(factory.put())));
}

// The formats opened: the ones the open chooser lists.
bool readable(const GUID& container)
{
    return container == GUID_ContainerFormatPng || container == GUID_ContainerFormatJpeg ||
           container == GUID_ContainerFormatGif || container == GUID_ContainerFormatTiff ||
           container == GUID_ContainerFormatWebp;
}

// The EXIF orientation (1: as stored, 2..8: mirrored and/or turned), 1 when
// the frame declares none. A JPEG's is read from the file by our own
// reader: not every imaging component has the metadata reader for it (Wine's
// has none).
int orientation_of(IWICBitmapFrameDecode* frame, const GUID& container, const std::filesystem::path& path)
{
    if (container == GUID_ContainerFormatJpeg) return jpeg_exif_orientation(path);
    Com<IWICMetadataQueryReader> query;
    if (FAILED(frame->GetMetadataQueryReader(query.put()))) return 1;
    const wchar_t* name = container == GUID_ContainerFormatTiff ? L"/ifd/{ushort=274}" : nullptr;
    if (name == nullptr) return 1;
    PROPVARIANT value;
    PropVariantInit(&value);
    int orientation = 1;
    if (SUCCEEDED(query->GetMetadataByName(name, &value)) && value.vt == VT_UI2 && value.uiVal >= 1 &&
        value.uiVal <= 8)
        orientation = value.uiVal;
    PropVariantClear(&value);
    return orientation;
}

// The stored formats of 16 bits per channel, unpremultiplied: how many
// channels, and where red and blue are.
struct Deep {
    int channels = 0, red = 0, blue = 0;
};
Deep deep_format(const WICPixelFormatGUID& format)
{
    if (format == GUID_WICPixelFormat16bppGray) return {1, 0, 0};
    if (format == GUID_WICPixelFormat48bppRGB) return {3, 0, 2};
    if (format == GUID_WICPixelFormat48bppBGR) return {3, 2, 0};
    if (format == GUID_WICPixelFormat64bppRGBA) return {4, 0, 2};
    if (format == GUID_WICPixelFormat64bppBGRA) return {4, 2, 0};
    return {};
}

}  // namespace

DecodeResult decode_picture(const std::filesystem::path& path, PictureTarget& target)
{
    ComScope com;
    Com<IWICImagingFactory> factory;
    if (!make_factory(factory)) return DecodeResult::Failed;
    Com<IWICBitmapDecoder> decoder;
    const HRESULT opened = factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                               WICDecodeMetadataCacheOnDemand, decoder.put());
    if (FAILED(opened))
        return opened == WINCODEC_ERR_COMPONENTNOTFOUND ? DecodeResult::NotAPicture : DecodeResult::Failed;
    GUID container{};
    if (FAILED(decoder->GetContainerFormat(&container)) || !readable(container)) return DecodeResult::NotAPicture;
    Com<IWICBitmapFrameDecode> frame;
    UINT width = 0, height = 0;
    if (FAILED(decoder->GetFrame(0, frame.put())) || FAILED(frame->GetSize(&width, &height)))
        return DecodeResult::Failed;
    if (!target.begin(width, height, orientation_of(frame.get(), container, path))) return DecodeResult::TooLarge;

    WICPixelFormatGUID stored{};
    if (FAILED(frame->GetPixelFormat(&stored))) return DecodeResult::Failed;
    if (const Deep deep = deep_format(stored); deep.channels != 0) {
        std::vector<std::uint16_t> row(static_cast<std::size_t>(deep.channels) * width);
        const UINT row_bytes = static_cast<UINT>(2 * row.size());
        for (UINT y = 0; y < height; ++y) {
            const WICRect rect{0, static_cast<INT>(y), static_cast<INT>(width), 1};
            if (FAILED(frame->CopyPixels(&rect, row_bytes, row_bytes, reinterpret_cast<BYTE*>(row.data()))))
                return DecodeResult::Failed;
            const PictureTarget::Place place = target.stored_row(y);
            std::uint8_t* out = place.first;
            for (const std::uint16_t* in = row.data(); in != row.data() + row.size(); in += deep.channels, out += place.step) {
                const std::uint16_t red = in[deep.red], green = in[deep.channels >= 3 ? 1 : 0], blue = in[deep.blue];
                const std::uint16_t alpha = deep.channels == 4 ? in[3] : 65535;
                out[0] = over_white16(blue, alpha);
                out[1] = over_white16(green, alpha);
                out[2] = over_white16(red, alpha);
            }
        }
        return DecodeResult::Decoded;
    }

    Com<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return DecodeResult::Failed;
    std::vector<BYTE> row(4 * static_cast<std::size_t>(width));
    for (UINT y = 0; y < height; ++y) {
        const WICRect rect{0, static_cast<INT>(y), static_cast<INT>(width), 1};
        if (FAILED(converter->CopyPixels(&rect, 4 * width, static_cast<UINT>(row.size()), row.data())))
            return DecodeResult::Failed;
        const PictureTarget::Place place = target.stored_row(y);
        std::uint8_t* out = place.first;
        for (const BYTE* in = row.data(); in != row.data() + row.size(); in += 4, out += place.step) {
            out[0] = over_white(in[0], in[3]);
            out[1] = over_white(in[1], in[3]);
            out[2] = over_white(in[2], in[3]);
        }
    }
    return DecodeResult::Decoded;
}

namespace {

std::string hresult_text(const char* what, HRESULT result)
{
    char text[96];
    wsprintfA(text, "%s failed (HRESULT 0x%08lX)", what, static_cast<unsigned long>(result));
    return text;
}

}  // namespace

EncodeResult encode_picture(const PictureView& picture, const std::string& extension, std::vector<std::uint8_t>& bytes,
                            std::string& error)
{
    const GUID* container = extension == ".png"                       ? &GUID_ContainerFormatPng
                            : extension == ".jpg" || extension == ".jpeg" ? &GUID_ContainerFormatJpeg
                            : extension == ".tif" || extension == ".tiff" ? &GUID_ContainerFormatTiff
                                                                        : nullptr;
    if (container == nullptr) return EncodeResult::UnknownFormat;
    if (picture.width == 0 || picture.height == 0) {
        error = "a picture without pixels has no " + extension + " form";
        return EncodeResult::Failed;
    }
    ComScope com;
    Com<IWICImagingFactory> factory;
    Com<IStream> stream;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    Com<IPropertyBag2> options;
    HRESULT r = make_factory(factory) ? S_OK : E_FAIL;
    if (FAILED(r)) {
        error = "the imaging component is not available";
        return EncodeResult::Failed;
    }
    const auto step = [&](const char* what, HRESULT result) {
        if (FAILED(result) && SUCCEEDED(r)) {
            r = result;
            error = hresult_text(what, result);
        }
        return SUCCEEDED(r);
    };
    step("CreateStreamOnHGlobal", CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) &&
        step("CreateEncoder", factory->CreateEncoder(*container, nullptr, encoder.put())) &&
        step("Initialize", encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
        step("CreateNewFrame", encoder->CreateNewFrame(frame.put(), options.put()));
    if (SUCCEEDED(r) && *container == GUID_ContainerFormatJpeg) {
        PROPBAG2 option{};
        option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT quality;
        VariantInit(&quality);
        quality.vt = VT_R4;
        quality.fltVal = 0.95f;
        step("ImageQuality", options->Write(1, &option, &quality));
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    step("Initialize frame", frame.get() ? frame->Initialize(options.get()) : E_FAIL) &&
        step("SetSize", frame->SetSize(picture.width, picture.height)) &&
        step("SetPixelFormat", frame->SetPixelFormat(&format));
    if (SUCCEEDED(r) && format != GUID_WICPixelFormat24bppBGR)
        step("SetPixelFormat", WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT);
    // PNG text through the frame's metadata writer; where the platform's
    // encoder offers none, the chunk goes in after encoding.
    bool text_written = picture.text_key == nullptr || *container != GUID_ContainerFormatPng;
    Com<IWICMetadataQueryWriter> metadata;
    if (SUCCEEDED(r) && !text_written && SUCCEEDED(frame->GetMetadataQueryWriter(metadata.put()))) {
        std::wstring name = L"/tEXt/{str=";
        for (const char* c = picture.text_key; *c != '\0'; ++c) name += static_cast<wchar_t>(*c);
        name += L"}";
        std::string text(picture.text);
        PROPVARIANT value;
        PropVariantInit(&value);
        value.vt = VT_LPSTR;
        value.pszVal = text.data();
        text_written = SUCCEEDED(metadata->SetMetadataByName(name.c_str(), &value));
    }
    // Top row first, straight from the bottom-up block.
    const UINT row_bytes = 3 * picture.width;
    for (std::uint32_t y = 0; y < picture.height && SUCCEEDED(r); ++y) {
        const std::uint8_t* row = picture.bottom_row + (picture.height - 1 - y) * picture.stride;
        step("WritePixels", frame->WritePixels(1, row_bytes, row_bytes, const_cast<BYTE*>(row)));
    }
    if (FAILED(r)) return EncodeResult::Failed;
    HGLOBAL memory = nullptr;
    STATSTG stat{};
    step("Commit frame", frame->Commit()) && step("Commit", encoder->Commit()) &&
        step("GetHGlobalFromStream", GetHGlobalFromStream(stream.get(), &memory)) &&
        step("Stat", stream->Stat(&stat, STATFLAG_NONAME));
    if (FAILED(r)) return EncodeResult::Failed;
    const auto* data = static_cast<const std::uint8_t*>(GlobalLock(memory));
    if (data == nullptr) {
        error = "GlobalLock failed";
        return EncodeResult::Failed;
    }
    bytes.assign(data, data + stat.cbSize.QuadPart);
    GlobalUnlock(memory);
    if (!text_written && !add_png_text(bytes, picture.text_key, picture.text)) {
        error = "the picture's text could not be stored";
        return EncodeResult::Failed;
    }
    return EncodeResult::Encoded;
}

bool read_picture_text(const std::filesystem::path& path, const char* key, std::string& text)
{
    ComScope com;
    Com<IWICImagingFactory> factory;
    Com<IWICBitmapDecoder> decoder;
    GUID container{};
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICMetadataQueryReader> query;
    if (!make_factory(factory) ||
        FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                  decoder.put())) ||
        FAILED(decoder->GetContainerFormat(&container)) || container != GUID_ContainerFormatPng)
        return false;
    // Plain text, and compressed text as Qt's encoder writes anything long.
    for (const wchar_t* chunk : {L"/tEXt/{str=", L"/zTXt/{str="}) {
        if (!query.get() && (FAILED(decoder->GetFrame(0, frame.put())) ||
                             FAILED(frame->GetMetadataQueryReader(query.put()))))
            break;
        std::wstring name = chunk;
        for (const char* c = key; *c != '\0'; ++c) name += static_cast<wchar_t>(*c);
        name += L"}";
        PROPVARIANT value;
        PropVariantInit(&value);
        const bool found = SUCCEEDED(query->GetMetadataByName(name.c_str(), &value)) && value.vt == VT_LPSTR &&
                           value.pszVal != nullptr;
        if (found) text = value.pszVal;
        PropVariantClear(&value);
        if (found) return true;
    }
    const std::optional<std::string> chunk = png_file_text(path, key);
    if (chunk) text = *chunk;
    return chunk.has_value();
}
