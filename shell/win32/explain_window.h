// The panel that explains a pixel (shell/explain_panel.h) in the Windows
// program: a tool window owned by the main window, placed at the right of
// its view when first opened, with the heading (which pixel, pinned or
// following the cursor) above a read-only edit control in a fixed-pitch
// font. Its close box runs the view menu's item, so the check mark follows.
// With the panel active, Ctrl+C copies the explanation (the selection, or
// all of it), Ctrl+A selects it all and Alt+F4 closes the panel; every
// other key goes to the main window's accelerators as usual.
#pragma once

#include <optional>

#include "commands/session.h"
#include "shell_win32.h"

// Shows or hides the panel; its texts follow at the next
// explain_window_pointer, which the main window calls after every command.
void show_explain_window(bool shown);

// The cursor over client point `at` of the main window's view, or not over
// it; also called after every command and paint with the cursor where it is.
void explain_window_pointer(const Session& session, std::optional<POINT> at);
// A click of the left button on the view.
void explain_window_click(const Session& session, POINT at);

// The texts again in the language now in use, for the same pixel.
void explain_window_language_changed(const Session& session, std::optional<POINT> at);

// Handles the panel's own keys; true when `message` needs nothing more.
bool explain_window_key(const MSG& message);
