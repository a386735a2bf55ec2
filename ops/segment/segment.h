// Segmentation of dark text on a white ground by projection profiles of the
// luma. A pixel is ink when its luma is below 255 and ground when it is
// exactly 255 (so pure white is the only ground colour).
//
// Bands are maximal runs of picture rows holding ink that end below a ground
// row; within a band, segments are maximal runs of columns holding ink that
// end left of a ground column. A band reaching the top row, or a segment
// reaching the right edge, is never closed and is dropped. Each segment is
// framed over the lowest connected run of rows that hold ink in its columns,
// so the dot over a letter stays outside its frame.
#pragma once

#include <optional>
#include <vector>

#include "image/image_record.h"

// One frame: columns seg_start..seg_end and rows bottom..top, rows counted
// in the pixel block's order (row 0 is the bottom row of the picture).
struct SegmentFrame {
    int seg_start, seg_end, bottom, top;
    bool operator==(const SegmentFrame&) const = default;
};

// The frames in drawing order (bands from the bottom up, segments from left
// to right), or nothing when the heap refuses the working buffers.
std::optional<std::vector<SegmentFrame>> find_segment_frames(const ImageRecord& record);

