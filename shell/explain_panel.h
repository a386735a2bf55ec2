// The panel that explains a pixel, as every window keeps it: which picture
// pixel it explains, a heading that says which and why, and the core's
// explanation of it (explain_pixel, explanation_text) for the picture on
// display. Every front end shows these two texts as they are.
//
// The panel explains the pixel pinned by the last click on the picture, or,
// with none pinned, the last picture pixel the cursor was over: moving the
// cursor off the picture (to the panel, say) keeps it. A click on another
// pixel pins that one; a click beside the picture unpins. Pixels are picture
// pixels (x from the left, y from the top), so a pinned pixel stays through
// commands, undo, zooming and scrolling.
//
// The texts are made again only when the pixel, a picture (the records'
// buffers, sizes or what made them: commands/session.h) or the language
// changes, so a mouse move within one pixel, a repaint or a scroll that
// leaves the pixel costs a comparison; after a change of language the next
// call makes them in the new one. The functions return whether a text
// changed, which is when a front end sets its widgets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/session.h"

// A point of the view's client area.
struct ClientPoint {
    int x = 0, y = 0;
};

struct ExplainPanel {
    std::optional<PicturePoint> pinned;   // by the last click on the picture
    std::optional<PicturePoint> hovered;  // the last picture pixel under the cursor
    std::string heading;                  // one line: the pixel, pinned or following the cursor
    std::string text;                     // its explanation; empty when there is none

    // What the texts were made for.
    struct Basis {
        bool made = false;
        std::optional<PicturePoint> pixel;
        bool pinned = false;
        const ImageRecord* shown = nullptr;
        const std::uint8_t *shown_pixels = nullptr, *other_pixels = nullptr;
        std::int32_t width = 0, height = 0, other_width = 0, other_height = 0;
        std::uint64_t shown_generation = 0, other_generation = 0;
        std::string language;  // the texts' language
        bool operator==(const Basis&) const = default;
    } basis;
};

// The cursor over client point `at` of the view, or outside the view
// (nullopt): a picture pixel there becomes the hovered one. Also what a
// front end calls after a command or a repaint, with the cursor where it is,
// since zooming and scrolling move the picture under it.
bool explain_panel_pointer(ExplainPanel& panel, const Session& session, std::optional<ClientPoint> at);

// A click at client point `at`: pins the picture pixel there, or unpins
// beside the picture.
bool explain_panel_click(ExplainPanel& panel, const Session& session, ClientPoint at);

// The explanation's lines for a panel `columns` characters wide (a
// fixed-pitch font): a line of text longer than that is broken at blanks
// into lines that fit, the rest of it indented by two; the rows of a window
// of numbers (lines that start with a blank) keep their columns and stay
// whole, as does a word longer than the panel, so only they may need the
// panel to scroll sideways. Characters are counted as UTF-8 code points.
std::vector<std::string> wrap_explanation(const std::string& text, int columns);
