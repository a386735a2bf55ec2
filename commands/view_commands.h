// The view menu's commands (rows of the command table): zoom in and out by a
// factor of two, natural size and the largest zoom that fits the window, each
// keeping the middle of the picture's visible part where it is; and the
// status bar and the panel that explains a pixel, each shown or hidden.
#pragma once

#include <optional>
#include <utility>

#include "commands/session.h"
#include "commands/platform.h"

void zoom_in_command(Session& session, WindowHandle window);
void zoom_out_command(Session& session, WindowHandle window);
void natural_size_command(Session& session, WindowHandle window);
void fit_command(Session& session, WindowHandle window);
void status_bar_command(Session& session, WindowHandle window);
void explain_panel_command(Session& session, WindowHandle window);
void journal_panel_command(Session& session, WindowHandle window);

// The pointing tools (the pointer, a line for a profile, a rectangle for a
// region) and the compare modes of the view (split, difference x1, x4, x16);
// choosing the mode that shows goes back to the plain view.
void pointer_tool_command(Session& session, WindowHandle window);
void profile_tool_command(Session& session, WindowHandle window);
void region_tool_command(Session& session, WindowHandle window);
void compare_split_command(Session& session, WindowHandle window);
void compare_diff_1_command(Session& session, WindowHandle window);
void compare_diff_4_command(Session& session, WindowHandle window);
void compare_diff_16_command(Session& session, WindowHandle window);

bool pointer_tool_chosen(const Session& session);
bool profile_tool_chosen(const Session& session);
bool region_tool_chosen(const Session& session);
bool compare_split_shown(const Session& session);
bool compare_diff_1_shown(const Session& session);
bool compare_diff_4_shown(const Session& session);
bool compare_diff_16_shown(const Session& session);

// The items' check marks.
bool status_bar_shown(const Session& session);
bool explain_panel_shown(const Session& session);
bool journal_panel_shown(const Session& session);

// Zooms to `zoom` keeping the picture pixel under client point (x, y) there,
// as Ctrl and the wheel do; repaints when the zoom changed.
void zoom_about(Session& session, WindowHandle window, int zoom, int x, int y);

// One turn of the wheel in its units (120 a notch, positive away from the
// user), as every window turns it. With `zoom` (Ctrl held) a level a notch
// about client point `about`, or about the middle of the picture's visible
// part without one (over a scroll bar); a part of a notch waits for the next
// turn. Otherwise `down` scrolls up and down and `across` left and right,
// `down` going across too when `sideways` (Shift held, or over the
// horizontal bar). Repaints when the view moved.
void wheel_turn(Session& session, WindowHandle window, int down, int across, bool zoom, bool sideways,
                std::optional<std::pair<int, int>> about);
