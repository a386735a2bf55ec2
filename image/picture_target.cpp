#include "image/picture_target.h"


bool PictureTarget::begin(std::uint64_t stored_width, std::uint64_t stored_height, int orientation)
{
    if (orientation < AS_STORED || orientation > QUARTER_ANTICLOCKWISE) orientation = AS_STORED;
    const bool sideways = orientation >= TRANSPOSED;
    const std::uint64_t width = sideways ? stored_height : stored_width;
    const std::uint64_t height = sideways ? stored_width : stored_height;
    const auto size = block_size_within_limits(width, height);
    if (block_ || !size) return false;
    block_ = HeapArray<std::uint8_t>::allocate(static_cast<std::size_t>(*size));
    if (!block_) return false;
    width_ = static_cast<std::uint32_t>(width);
    height_ = static_cast<std::uint32_t>(height);
    stored_width_ = static_cast<std::uint32_t>(stored_width);
    stored_height_ = static_cast<std::uint32_t>(stored_height);
    orientation_ = orientation;
    stride_ = 3 * static_cast<std::size_t>(width) + row_padding_for(width_);
    return true;
}

std::uint8_t* PictureTarget::at(std::uint32_t x, std::uint32_t y) const
{
    return block_.get() + (height_ - 1 - y) * stride_ + 3 * static_cast<std::size_t>(x);
}

PictureTarget::Place PictureTarget::stored_row(std::uint32_t y) const
{
    // Upright rows lie bottom-up in the block: one row further down the
    // picture is one stride back.
    const auto down = -static_cast<std::ptrdiff_t>(stride_);
    const std::uint32_t last_x = stored_width_ - 1, last_y = stored_height_ - 1;
    if (stored_width_ == 0) return {block_.get(), 0};
    switch (orientation_) {
    case MIRRORED: return {at(last_x, y), -3};
    case HALF_TURN: return {at(last_x, last_y - y), -3};
    case FLIPPED: return {at(0, last_y - y), 3};
    case TRANSPOSED: return {at(y, 0), down};
    case QUARTER_CLOCKWISE: return {at(last_y - y, 0), down};
    case TRANSVERSED: return {at(last_y - y, last_x), -down};
    case QUARTER_ANTICLOCKWISE: return {at(y, last_x), -down};
    default: return {at(0, y), 3};
    }
}

bool PictureTarget::finish()
{
    if (!block_) return false;
    install_picture(record_, width_, height_, std::move(block_));
    return true;
}
