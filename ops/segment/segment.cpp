// Rows and columns are tested with a bitwise AND of their lumas: it equals
// 255 exactly when every luma is 255, which is when their mean is 255. One
// pass over the luma plane finds the bands; one pass over each band's rows
// folds them into a column profile.
#include "ops/segment/segment.h"

#include <cstddef>
#include <cstdint>

#include "image/heap.h"
#include "image/statistics.h"

namespace {

constexpr std::uint8_t kGround = 255;

// AND of n bytes; 255 when they are all ground.
inline std::uint8_t and_of(const std::uint8_t* p, std::size_t n)
{
    std::uint8_t acc = kGround;
    for (std::size_t i = 0; i < n; ++i) acc &= p[i];
    return acc;
}

struct Band {
    const std::uint8_t* plane;
    std::size_t width;
    int start, end;  // plane rows, inclusive

    const std::uint8_t* row(int r) const { return plane + static_cast<std::size_t>(r) * width; }
    bool ink_in(int r, int seg_start, int seg_end) const
    {
        return and_of(row(r) + seg_start, static_cast<std::size_t>(seg_end - seg_start + 1)) != kGround;
    }
};

// The lowest connected run of rows holding ink in the segment's columns.
SegmentFrame frame_segment(const Band& band, int seg_start, int seg_end)
{
    int bottom = band.start;
    while (bottom < band.end && !band.ink_in(bottom, seg_start, seg_end)) ++bottom;
    int top = bottom;
    while (top < band.end && band.ink_in(top + 1, seg_start, seg_end)) ++top;
    return {seg_start, seg_end, bottom, top};
}

void segment_band(const Band& band, std::uint8_t* profile, std::vector<SegmentFrame>& frames)
{
    const std::size_t w = band.width;
    const std::uint8_t* first = band.row(band.start);
    for (std::size_t x = 0; x < w; ++x) profile[x] = first[x];
    for (int r = band.start + 1; r <= band.end; ++r) {
        const std::uint8_t* row = band.row(r);
        for (std::size_t x = 0; x < w; ++x) profile[x] &= row[x];
    }
    bool open = false;
    int seg_start = 0;
    for (std::size_t x = 0; x < w; ++x) {
        const bool ink = profile[x] != kGround;
        if (ink && !open) {
            open = true;
            seg_start = static_cast<int>(x);
        } else if (!ink && open) {
            open = false;
            frames.push_back(frame_segment(band, seg_start, static_cast<int>(x) - 1));
        }
    }
}

}  // namespace

std::optional<std::vector<SegmentFrame>> find_segment_frames(const ImageRecord& record)
{
    HeapArray<std::uint8_t> plane;
    if (!make_luma_plane(record, plane)) return std::nullopt;
    auto profile = HeapArray<std::uint8_t>::allocate(record.width);
    if (!profile) return std::nullopt;

    std::vector<SegmentFrame> frames;
    const std::size_t w = record.width;
    bool open = false;
    int band_start = 0;
    for (int y = 0; y < record.height; ++y) {
        const bool ink = and_of(plane.get() + static_cast<std::size_t>(y) * w, w) != kGround;
        if (ink && !open) {
            open = true;
            band_start = y;
        } else if (!ink && open) {
            open = false;
            segment_band(Band{plane.get(), w, band_start, y - 1}, profile.get(), frames);
        }
    }
    return frames;
}
