// The measuring panel of the Windows program: a tool window owned by the
// main window, below its view, shown while Профиль or Область is the tool.
// For a line it plots R, G, B and luma against the distance along it (the
// other record's values dashed) with GDI, and hovering the plot gives the
// sample's values and marks it on the view; for a rectangle it shows the
// region's four histograms as the view's panel draws them (the other
// record's beside them), the table of its numbers and "Копировать", which
// puts the table on the clipboard as tab-separated text.
#pragma once

#include <optional>

#include "commands/session.h"
#include "shell_win32.h"

// Shows, hides and fills the panel for the session as it is now; measures
// again only when the line, the rectangle, the tool or a picture changed.
void measure_window_update(const Session& session);

// The title, the button and the drawn texts in the language now in use.
void measure_window_language_changed();

// Ctrl+C with the panel active copies the region's table, as its button
// does; true when `message` needs nothing more.
bool measure_window_key(const MSG& message);

// The profile sample under the cursor in the plot, marked on the view.
std::optional<PicturePoint> measure_window_marker();

// The line, the rectangle and the marked sample over the view, drawn on
// `dc` after the view's frame (yellow on a black border).
void draw_measure_overlay(HDC dc, const Session& session);
