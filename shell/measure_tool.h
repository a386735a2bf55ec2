// The mouse on the view with a pointing tool, the same in every window: a
// press starts a line (Профиль) or a rectangle (Область) at the picture pixel
// under it, moves stretch it (a point beside the picture counts as the
// nearest pixel of its edge), release keeps it, Escape during the drag puts
// back what was there before. With the pointer in the split compare view a
// press on the divider (within 3 screen pixels of it) drags the divider.
#pragma once

#include <optional>
#include <string>

#include "commands/measure.h"
#include "commands/session.h"

struct MeasureDrag {
    enum Kind { NONE, LINE, RECT, DIVIDER } kind = NONE;
    PicturePoint anchor;
    std::optional<ProfileLine> line_before;
    std::optional<PictureRect> rect_before;
    int divider_before = 0;
};

// What a mouse event changed: nothing, the line or rectangle drawn over the
// view (the view's own pixels stay), or the view itself (the divider moved).
enum class DragChange { None, Overlay, View };

DragChange measure_press(Session& session, MeasureDrag& drag, int x, int y);
DragChange measure_move(Session& session, MeasureDrag& drag, int x, int y);
// Ends the drag; what it drew stays.
void measure_release(MeasureDrag& drag);
// Escape: ends the drag and puts back what was there before it.
DragChange measure_cancel(Session& session, MeasureDrag& drag);

// Forgets the line and the rectangle once the picture on display no longer
// has the size they were drawn on; returns whether it did.
bool measure_forget_if_resized(Session& session);

// The status bar's words for the tool in use: "Инструмент: указатель" ...
std::string tool_status_text(const Session& session);

// The measuring panel's numbers for the line or the rectangle, made again
// only when what they were made from changed (the tool, the line or
// rectangle, the picture on display, either record's pixels, whether the
// other record has the same size), so scrolls and repaints cost a comparison.
struct MeasureCache {
    std::optional<Profile> profile;  // the profile tool with a line drawn
    std::optional<Region> region;    // the region tool with a rectangle drawn

    // Measures again if anything changed, or always with `force`; returns
    // whether it did.
    bool refresh(const Session& session, bool force = false);

private:
    struct From {
        MeasureTool tool;
        std::optional<ProfileLine> line;
        std::optional<PictureRect> rect;
        const ImageRecord* shown;
        std::uint64_t generation_a, generation_b;
        bool other;
        bool operator==(const From&) const = default;
    };
    std::optional<From> from_;
};
