// The platform services the core calls. Declarations only: every executable
// links exactly one implementation (the Qt window, the Win32 window, the
// headless one shared by the command-line tool, the fuzz targets and the
// tests).
//
// All texts are UTF-8; an implementation converts where its platform needs
// another encoding. A WindowHandle is the front end's own opaque handle of
// the main window; the core passes it through and never looks inside.
#pragma once

#include <filesystem>
#include <span>

#include "commands/param_dialog.h"
#include "ops/segment/segment.h"
#include "shell/view.h"

using WindowHandle = void*;

// A modal message box with a caption, a text and one OK button, no owner.
void show_message(const char* caption, const char* text);

// Runs the parameter dialog modally over `owner` on dialog.param_dialog_spec
// through the logic of commands/param_dialog.h. Returns 1 for OK (the value
// is then in param_dialog_spec.result) and 2 for Cancel or close.
int show_param_dialog(WindowHandle owner, ParamDialog& dialog);

// The file chooser. `filter` holds pairs of NUL-terminated strings
// (description, pattern) ending in an empty string. Returns 1 with the chosen
// full path in `file`, or 0 when the user cancelled.
int choose_bmp_file(WindowHandle owner, const char* title, const char* initial_directory, const char* filter,
                    std::filesystem::path& file, int flags, int save);

// Marks the whole client area of `window` invalid, background to be erased.
void request_repaint(WindowHandle window);

// Destroys the main window at once (not a close request): the front end then
// releases every buffer and plane and ends its loop with exit code 0.
void destroy_window(WindowHandle window);

// Segmentation's result: the frames in picture coordinates and the black
// lines that show them on the view as it stands (client coordinates). The
// lines are drawn straight onto the client area and last until the next
// repaint.
void draw_segment_frames(WindowHandle window, std::span<const SegmentFrame> frames,
                         std::span<const WindowLine> lines);

// Shows or hides the status bar under the view; the view's client area
// grows or shrinks by its height, and the window repaints.
void show_status_bar(WindowHandle window, bool shown);

// Opens or closes the panel that explains a pixel of the picture on display
// (shell/explain_panel.h) beside the view. The front end keeps the panel's
// text up to date while it is open; closing it by its own close box runs the
// view menu's item, so the item's check mark follows.
void show_explain_panel(WindowHandle window, bool shown);

// Brackets work that may take longer than a blink (a busy cursor).
void begin_busy();
void end_busy();
