#include "image/image_record.h"

#include <limits>

#include "image/statistics.h"

std::optional<std::uint64_t> block_size_within_limits(std::uint64_t width, std::uint64_t height)
{
    if (width > 65535 || height > 65535) return std::nullopt;
    const std::uint64_t size = (3 * width + row_padding_for(static_cast<std::uint32_t>(width))) * height;
    if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return std::nullopt;
    return size;
}

void install_picture(ImageRecord& record, std::uint32_t width, std::uint32_t height, HeapArray<std::uint8_t> block)
{
    record.width = static_cast<std::uint16_t>(width);
    record.height = static_cast<std::uint16_t>(height);
    record.row_padding = row_padding_for(width);
    record.data_size = static_cast<std::int32_t>(record.stride() * height);
    record.pixels = std::move(block);
    compute_statistics(record);
}

ImageRecord blank_record(std::uint16_t width, std::uint16_t height)
{
    ImageRecord r;
    r.width = width;
    r.height = height;
    r.row_padding = row_padding_for(width);
    r.data_size = static_cast<std::int32_t>(r.stride() * height);
    r.pixels = HeapArray<std::uint8_t>::allocate(static_cast<std::size_t>(r.data_size));
    return r;
}

void copy_size_fields(const ImageRecord& source, ImageRecord& destination)
{
    destination.width = source.width;
    destination.height = source.height;
    destination.row_padding = source.row_padding;
    destination.data_size = source.data_size;
}

void release_planes(ImageRecord& record)
{
    record.coef_re_r.reset();
    record.coef_re_g.reset();
    record.coef_re_b.reset();
    record.coef_im_r.reset();
    record.coef_im_g.reset();
    record.coef_im_b.reset();
    record.transform_state = TRANSFORM_NONE;
}

void ImageStore::release_all_images()
{
    image_a.pixels.reset();
    image_b.pixels.reset();
    release_planes(image_a);
    release_planes(image_b);
    current_image = nullptr;
}

bool ensure_destination(const ImageRecord& source, ImageRecord& destination)
{
    if (destination.pixels) return true;
    auto block = HeapArray<std::uint8_t>::allocate(static_cast<std::size_t>(source.data_size));
    if (!block) return false;
    destination.pixels = std::move(block);
    return true;
}
