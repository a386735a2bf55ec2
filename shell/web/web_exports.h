// What the page (shell/web/app.js) calls in the WebAssembly module. Plain C
// functions of ints and pointers, exported by name; texts are UTF-8 and the
// ones returned stay valid until the next call that returns a text.
//
// A command runs in two calls: lf_prepare says what it is about to ask (and
// sets up the parameter dialog, whose view lf_dialog_view gives), the page
// asks the user and leaves the answer with lf_answer_dialog or
// lf_answer_file, then lf_run runs it. lf_run's result says what the page has
// to do next: blit a new frame (lf_render), show the queued messages
// (lf_take_messages), or end.
#pragma once

#include <cstdint>

#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>
#define LF_EXPORT extern "C" EMSCRIPTEN_KEEPALIVE
#else
#define LF_EXPORT extern "C"
#endif

// lf_prepare's answers.
enum { LF_NOT_RUN = 0, LF_ASKS_NOTHING = 1, LF_ASKS_PARAMETER = 2, LF_ASKS_FILE = 3, LF_ASKS_SAVE = 4, LF_ASKS_KERNEL = 5 };
// lf_run's result bits: LF_LANGUAGE_CHANGED when the command chose another
// language, whose texts the page then shows everywhere.
enum { LF_REPAINT = 1, LF_FRAME_CHANGED = 2, LF_MESSAGES = 4, LF_DESTROYED = 8, LF_LANGUAGE_CHANGED = 16 };
// lf_wheel's flags: the keys held and where the wheel turned.
enum { LF_WHEEL_CTRL = 1, LF_WHEEL_SHIFT = 2, LF_WHEEL_OVER_BAR = 4, LF_WHEEL_OVER_HORIZONTAL_BAR = 8 };
// lf_texts_changed's bits.
enum { LF_STATUS_TEXT = 1, LF_EXPLANATION = 2 };
// lf_lay_out's bars.
enum { LF_VERTICAL_BAR = 1, LF_HORIZONTAL_BAR = 2 };

LF_EXPORT const char* lf_version();
// The command table as JSON (commands/command_json.h): menus, captions,
// accelerators. Its texts are the Russian ones: the page shows them through
// lf_tr.
LF_EXPORT const char* lf_command_table();

// A text of the program (its Russian, as the source writes it) in the
// language in use (text/catalogue.h): the text itself when Russian is in use
// or the catalogue lacks it.
LF_EXPORT const char* lf_tr(const char* russian);
// The languages as the view menu offers them: {"menu_id": the "Язык /
// Language" row, "language": the code in use, "items": [{"id", "code",
// "name", "chosen"}...]}.
LF_EXPORT const char* lf_languages();
// Chooses the language `code` as its menu item does (the choice remembered,
// the page told through lf_run's LF_LANGUAGE_CHANGED); what lf_run returns,
// or LF_NOT_RUN for a code no catalogue has.
LF_EXPORT int lf_set_language(const char* code);

LF_EXPORT int lf_prepare(int id);
// The save chooser as the save command asks for it: {"title", "name" (the
// proposed file name), "filters": [{"description", "extension"}...]}, the
// first filter preselected.
LF_EXPORT const char* lf_save_chooser();
// The check mark of a menu item: 1 or 0, -1 for an item without one.
LF_EXPORT int lf_checked(int id);
// The prepared dialog as it opens: {"title", "min_label", "max_label",
// "value_text", "range_min", "range_max", "tick_step", "position"}.
LF_EXPORT const char* lf_dialog_view();
// The value field's text for a slider position.
LF_EXPORT const char* lf_dialog_value_text(int position);
// The answer of the next parameter dialog: OK at `position`, or cancel.
LF_EXPORT void lf_answer_dialog(int ok, int position);
// The kernel dialog as it opens: {"title", "kernel": FIELDS, "presets":
// [{"name", "caption", "kernel": FIELDS}...], "rules": [...], "channels":
// [...]}, FIELDS being {"size", "weights" (size x size texts, top row
// first), "divisor" ("auto" or a number), "auto_value", "offset", "rule",
// "channels"} (commands/kernel_dialog.h).
LF_EXPORT const char* lf_kernel_view();
// The answer of the next kernel dialog: OK with the fields as lines (size,
// the weights, divisor, offset, rule, channels); "" when they make a kernel
// (the answer is then kept), else why not, naming the field. null: cancel.
LF_EXPORT const char* lf_answer_kernel(const char* fields);
// The same answer as a command line's kernel word ("3:0,-1,0,-1,5,-1,0,-1,0:auto:0:clamp:rgb"):
// what the page's scripted runs give instead of the dialog; "" when taken.
LF_EXPORT const char* lf_answer_kernel_word(const char* word);
// The next file chooser's answer: a path in the module's file system, or
// null or "" for cancel.
LF_EXPORT void lf_answer_file(const char* path);
LF_EXPORT int lf_run(int id);
// The messages shown since the last call, as [{"caption", "text"}...].
LF_EXPORT const char* lf_take_messages();

// The client area, width x height RGBA pixels top-down, drawn again only
// when the view changed.
LF_EXPORT const std::uint8_t* lf_render(int width, int height);
// The constants of this file and render/view.h's scroll codes by name, as
// JSON: {"LF_NOT_RUN": 0, ..., "SCROLL_LINE_BACK": 0, ...}.
LF_EXPORT const char* lf_constants();
// The view state by name, as JSON: "scroll_x", "scroll_y", "scroll_max_x",
// "scroll_max_y", "zoom" (view.h's levels), "client_width", "client_height",
// "status_bar", "explain_panel" and "journal_panel" (shown: true or false).
LF_EXPORT const char* lf_view();
// Lays the view out (render/view.h, layout_view) in the page's area for it,
// width x height with the bars, each bar `bar_width` / `bar_height` thick,
// `shown_bars` (LF_*_BAR) showing now. Zooming and fitting work against the
// client size from here on; returns the bars to show.
LF_EXPORT int lf_lay_out(int width, int height, int bar_width, int bar_height, int shown_bars);
// One scroll notification (view.h's codes); the view is drawn again.
LF_EXPORT void lf_scroll(int horizontal, int code, int thumb);
// A thumb dragged to `position`, which may pass 16 bits.
LF_EXPORT void lf_scroll_to(int horizontal, int position);
// One turn of the wheel in its units (120 a notch, positive away from the
// user), `flags` LF_WHEEL_*, at client point (x, y). 1: draw the view again.
LF_EXPORT int lf_wheel(int down, int across, int flags, int x, int y);

// The pointer over client point (x, y) of the view, or off it (inside 0),
// and a click of the left button there (which pins a pixel in the panel).
// Both return what lf_texts_changed would.
LF_EXPORT int lf_pointer(int inside, int x, int y);
LF_EXPORT int lf_click(int x, int y);
// Which texts changed since they were last asked about (LF_STATUS_TEXT,
// LF_EXPLANATION).
LF_EXPORT int lf_texts_changed();
// The status bar's text, the panel's heading and its explanation.
LF_EXPORT const char* lf_status_text();
// The status bar's right part: the zoom, the picture's size, the file's name.
LF_EXPORT const char* lf_status_summary();
LF_EXPORT const char* lf_explain_heading();
LF_EXPORT const char* lf_explain_text();

// The pointing tools (shell/measure_tool.h) at client point (x, y): a press
// returns -1 when it starts no drag (the page then clicks as the pointer
// does), else what it changed: 0 nothing, 1 the line or rectangle over the
// view, 2 the view itself (the split view's divider; draw it again). A move
// during the drag and Escape (lf_cancel) answer the same way.
LF_EXPORT int lf_press(int x, int y);
LF_EXPORT int lf_drag(int x, int y);
LF_EXPORT void lf_release();
LF_EXPORT int lf_cancel();
// What the tools show: {"tool": "pointer"|"profile"|"region", "status":
// the status bar's words for the tool and the compare mode, "line":
// [x0, y0, x1, y1] or null, "rect": [x, y, w, h] or null, "picture": whether
// a picture shows, "serial": a number
// that changes whenever the measured numbers do}.
LF_EXPORT const char* lf_measure_state();
// The numbers themselves, as lumaforge-cli prints them: {"profile": ... or
// null, "region": ... or null}.
LF_EXPORT const char* lf_measure_data();
// The measured region's four histograms drawn as the view's panel draws
// them, RGBA, 258 x 417, top-down; `other` for the other record's (null when
// there is none).
LF_EXPORT const std::uint8_t* lf_region_histograms(int other);
// The region's numbers as tab-separated text, as Copy puts them on the
// clipboard ("" without a region).
LF_EXPORT const char* lf_region_text();
// Whether a menu item would act now (greyed when not).
LF_EXPORT int lf_available(int id);

// A picture the page decoded from the file at `path` (RGBA, top-down, not
// premultiplied, `bits` 8 or 16 per channel, 16-bit ones in the module's
// byte order), for the open command's decoder to take when it reads that
// file. The module owns `rgba` (a malloc'd block) from here on; null when the
// page could not get a block for it, which the open command refuses as too
// large. A later call drops what an earlier one staged.
LF_EXPORT void lf_stage_picture(void* rgba, int width, int height, int bits, const char* path);
// The text a PNG at `path` carries under `key` as the page decompressed it
// (compressed text chunks: the module has no inflater of its own); the
// decoder's text reader answers with it for that file.
LF_EXPORT void lf_stage_text(const char* path, const char* key, const char* text);

// The journal panel (shell/journal_panel.h): its revision (changes with the
// journal), its text and the command line Copy takes, the opened file named
// by its name alone (the page's files have no folder the user knows); and
// the file the journal started from, in the module's file system ("" none).
LF_EXPORT double lf_journal_revision();
LF_EXPORT const char* lf_journal_text();
LF_EXPORT const char* lf_journal_command();
LF_EXPORT const char* lf_journal_input();
