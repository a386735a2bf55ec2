#include "image/image_record.h"

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
