#include "image/picture_target.h"

#include <limits>

#include "image/statistics.h"

bool PictureTarget::begin(std::uint64_t width, std::uint64_t height)
{
    if (block_ || width > 65535 || height > 65535) return false;
    const std::uint64_t stride = 3 * width + row_padding_for(static_cast<std::uint32_t>(width));
    const std::uint64_t size = stride * height;
    if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return false;
    block_ = HeapArray<std::uint8_t>::allocate(static_cast<std::size_t>(size));
    if (!block_) return false;
    width_ = static_cast<std::uint32_t>(width);
    height_ = static_cast<std::uint32_t>(height);
    stride_ = static_cast<std::size_t>(stride);
    return true;
}

std::uint8_t* PictureTarget::row(std::uint32_t y) { return block_.get() + (height_ - 1 - y) * stride_; }

bool PictureTarget::finish()
{
    if (!block_) return false;
    record_.width = static_cast<std::uint16_t>(width_);
    record_.height = static_cast<std::uint16_t>(height_);
    record_.row_padding = row_padding_for(width_);
    record_.data_size = static_cast<std::int32_t>(stride_ * height_);
    record_.pixels = std::move(block_);
    compute_statistics(record_);
    return true;
}
