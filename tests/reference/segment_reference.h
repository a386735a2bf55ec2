// Literal segmentation: row means and column means in double, a table of
// row cursors per band swept column by column, the extent search row by row.
// Returns the frames in drawing order.
#pragma once

#include <cstdint>
#include <vector>

#include "image/image_record.h"
#include "image/statistics.h"
#include "ops/segment/segment.h"

namespace reference {

inline std::vector<SegmentFrame> segment_frames(const ImageRecord& record)
{
    std::vector<SegmentFrame> frames;
    const int w = record.width, h = record.height;
    std::vector<std::uint8_t> plane(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = record.pixels.get() + y * record.stride() + 3 * x;
            plane[static_cast<std::size_t>(y) * w + x] = luma(p[0], p[1], p[2]);
        }
    auto row_is_ground = [&](int y) {
        double sum = 0;
        for (int x = 0; x < w; ++x) sum += plane[static_cast<std::size_t>(y) * w + x];
        return sum / w == 255.0;
    };
    auto ink_in = [&](int y, int s, int e) {
        for (int x = s; x <= e; ++x)
            if (plane[static_cast<std::size_t>(y) * w + x] < 255) return true;
        return false;
    };

    bool band = false;
    int band_start = 0;
    for (int y = 0; y < h; ++y) {
        const bool ground = row_is_ground(y);
        if (!ground && !band) {
            band = true;
            band_start = y;
        } else if (ground && band) {
            band = false;
            const int band_end = y - 1, band_h = band_end - band_start + 1;
            std::vector<const std::uint8_t*> cursors;
            for (int i = 0; i < band_h; ++i) cursors.push_back(&plane[static_cast<std::size_t>(band_start + i) * w]);
            bool segment = false;
            int seg_start = 0;
            for (int x = 0; x < w; ++x) {
                double sum = 0;
                for (auto& c : cursors) sum += *c++;
                const bool column_ground = sum / band_h == 255.0;
                if (!column_ground && !segment) {
                    segment = true;
                    seg_start = x;
                } else if (column_ground && segment) {
                    segment = false;
                    const int seg_end = x - 1;
                    int r = band_start;
                    while (!ink_in(r, seg_start, seg_end)) ++r;
                    const int bottom = r;
                    int top = band_end;
                    for (r = bottom + 1; r <= band_end; ++r)
                        if (!ink_in(r, seg_start, seg_end)) {
                            top = r - 1;
                            break;
                        }
                    frames.push_back({seg_start, seg_end, bottom, top});
                }
            }
        }
    }
    return frames;
}

}  // namespace reference
