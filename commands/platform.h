// The platform services the core calls. Declarations only: every executable
// links exactly one implementation (the Qt window, the Win32 window, the
// headless one shared by the command-line tool, the fuzz targets and the
// tests).
//
// All texts are UTF-8; an implementation converts where its platform needs
// another encoding. A WindowHandle is the front end's own opaque handle of
// the main window; the core passes it through and never looks inside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/param_dialog.h"
#include "image/picture_target.h"
#include "ops/filters/custom_kernel.h"
#include "ops/segment/segment.h"
#include "render/view.h"

using WindowHandle = void*;

// A modal message box with a caption, a text and one OK button, no owner.
void show_message(const char* caption, const char* text);

// Runs the parameter dialog modally over `owner` on dialog.param_dialog_spec
// through the logic of commands/param_dialog.h. Returns 1 for OK (the value
// is then in param_dialog_spec.result) and 2 for Cancel or close.
int show_param_dialog(WindowHandle owner, ParamDialog& dialog);

// Runs the kernel dialog modally over `owner`, filled from `kernel` (the
// last kernel used), through the logic of commands/kernel_dialog.h. Returns
// 1 for OK with the dialog's kernel (kernel_valid) in `kernel`, 2 for Cancel
// or close (`kernel` unchanged).
int show_kernel_dialog(WindowHandle owner, CustomKernel& kernel);

// The file chooser, for a picture to open or a file to save. `filter` holds
// pairs of NUL-terminated strings (description, pattern; several patterns
// separated by ';') ending in an empty string, the first pair preselected.
// `save` asks for a file to write; then `file` holds on entry the name to
// propose (no folder; empty: none) and `initial_directory` (UTF-8, or
// nullptr) the folder to start in. True with the chosen full path in `file`;
// false when the user cancelled.
bool choose_picture_file(WindowHandle owner, const char* title, const char* initial_directory, const char* filter,
                         std::filesystem::path& file, int flags, bool save);

// Flags of the save chooser, as the common file dialog takes them: ask
// before replacing a file, hide the read-only box, the folder must exist.
// The platform gives a name typed without an extension the one of the
// filter selected (the first filter's by default).
inline constexpr int kSaveChooserFlags = 0x0002 | 0x0004 | 0x0800;

// Pictures other than BMP, through the platform's own codecs (the core
// reads and writes only BMP itself).
//
// decode_picture reads the picture in `path`: it learns the stored size and
// the orientation the picture declares first and calls target.begin() with
// them; when begin() refuses, it stops at once and returns TooLarge. It then
// writes every stored row where target.stored_row() says, blue, green, red,
// 8 bits each: grey, palette and 16-bit pictures expanded or rounded to the
// nearest 8-bit value, and transparency composited over white, each channel
// round((c * a + max * (max - a)) / (max * max) * 255) with max the largest
// sample value (255 or 65535).
// Only the first frame of an animation is read. NotAPicture: no decoder of
// the platform takes the file (only PNG, JPEG, GIF, TIFF and WebP are
// tried); Failed: it is one, but broken or cut short.
enum class DecodeResult { Decoded, NotAPicture, TooLarge, Failed };
DecodeResult decode_picture(const std::filesystem::path& path, PictureTarget& target);

// A picture to encode: `height` rows of 3 * width bytes blue, green, red,
// stored bottom-up (the first row is the bottom one), `stride` bytes apart.
// A PNG also gets `text` (UTF-8) in its text metadata under the keyword
// `text_key`, when one is given; other formats ignore it.
struct PictureView {
    std::uint32_t width = 0, height = 0;
    const std::uint8_t* bottom_row = nullptr;
    std::size_t stride = 0;
    const char* text_key = nullptr;
    std::string_view text;
};

// Encodes `picture` in the format that `extension` names (".png", ".jpg",
// lower case with its dot; never ".bmp", which the core writes itself): PNG
// losslessly, JPEG (and WebP, where the platform writes it) at quality 95.
// The file's bytes go to `bytes`; the
// caller writes them. UnknownFormat: the platform has no encoder for that
// extension; Failed: the encoder gave up, `error` says why.
enum class EncodeResult { Encoded, UnknownFormat, Failed };
EncodeResult encode_picture(const PictureView& picture, const std::string& extension, std::vector<std::uint8_t>& bytes,
                            std::string& error);

// The text a PNG file carries in its text metadata under the keyword `key`
// (UTF-8), read as the platform's decoder reads it; false when the file is
// no PNG or has no such text.
bool read_picture_text(const std::filesystem::path& path, const char* key, std::string& text);

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

// The guide: the full path (or, in the browser, the address) of its first
// page as this executable finds it installed, or empty when it has none.
std::string guide_path();

// Shows a local HTML document in the system's browser; false when nothing
// could show it.
bool show_document(WindowHandle window, const std::string& path);
// Opens or closes the journal panel (shell/journal_panel.h): the session's
// steps and their command line, kept up to date by the front end while it is
// open; its close box runs the view menu's item, as the explanation's does.
void show_journal_panel(WindowHandle window, bool shown);

// The language of the texts changed (text::set_language): the front end
// re-reads every text it shows (menus, panels, the status bar, its own page
// texts) at once, leaving pictures and view as they are.
void language_changed(WindowHandle window);
// Keeps the chosen language's code for the next start (the platform's
// settings: Qt's, the user's registry key, the page's local storage).
void remember_language(const std::string& code);

// Brackets work that may take longer than a blink (a busy cursor).
void begin_busy();
void end_busy();
