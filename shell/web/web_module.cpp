// The browser front end's half in WebAssembly: the platform services
// (commands/platform.h) and the functions the page calls (web_exports.h).
//
// The browser cannot wait inside a call for the user: a modal dialog would
// freeze the page. So the page asks first and runs after. It learns with
// lf_prepare what a command is about to ask, shows its own dialog or file
// chooser, leaves the answer here (lf_answer_dialog, lf_answer_file) and then
// runs the command; show_param_dialog and choose_picture_file hand that answer to
// the core as the user's. Messages are queued and shown by the page once the
// call has returned. The view is the core's frame, converted to RGBA for a
// canvas; segmentation draws its lines onto that frame, so they stay until
// the next repaint, as on the desktop.
//
// The status bar's text and the explanation panel (shell/explain_panel.h)
// are kept here for the pointer the page reports, and made again as the
// desktop windows make them: on a move, after a command and after a new
// frame; the page reads them only when lf_texts_changed says so. Showing or
// hiding the status bar or the panel calls the page's hooks on the module
// object (lfShowStatusBar, lfShowExplainPanel) while the command runs, so
// the page's layout, and with it the client size, is settled before the
// next frame.
//
// The texts the page shows are the core's Russian ones, through lf_tr in the
// language in use. Choosing another one (the view menu's language items,
// lf_set_language) makes the status bar and the panel's texts again here and
// tells the page with lf_run's LF_LANGUAGE_CHANGED, after which it shows its
// own texts anew; the page keeps the choice in its local storage.
#include "shell/web/web_exports.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "commands/command_json.h"
#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/kernel_dialog.h"
#include "commands/session.h"
#include "commands/view_commands.h"
#include "image/bmp.h"
#include "ops/explain.h"
#include "image/cpu_features.h"
#include "lumaforge_version.h"
#include "shell/chooser_filters.h"
#include "shell/explain_panel.h"
#include "shell/guide_location.h"
#include "shell/journal_panel.h"
#include "commands/measure.h"
#include "shell/measure_tool.h"
#include "commands/pixel_status.h"
#include "commands/platform.h"
#include "render/frame_lines.h"
#include "render/view.h"
#include "text/catalogue.h"

// WebAssembly has one vector level: the baseline copy of every kernel.
static_assert(!LUMAFORGE_CPU_COPIES, "no processor-specific copies in the browser");

namespace {

struct Page {
    Session session;
    Frame frame;          // the client area as the page shows it
    bool stale = true;    // the frame must be drawn again
    bool changed = true;  // the frame differs from what the page blitted
    bool destroyed = false;
    std::vector<std::uint8_t> rgba;
    std::vector<std::pair<std::string, std::string>> messages;

    std::optional<std::int32_t> dialog_answer;  // slider position on OK; none: cancel
    std::optional<std::string> file_answer;     // none: cancelled
    std::optional<CustomKernel> kernel_answer;  // none: cancel

    std::optional<ClientPoint> pointer;  // over the view, client coordinates
    std::string status;                  // the status bar's text: the pixel under the pointer
    std::string summary;                 // and at its right: zoom, picture size, file
    ExplainPanel explain;
    int texts_changed = 0;  // LF_STATUS_TEXT, LF_EXPLANATION: not yet read by the page
    bool language_changed = false;  // since the last command: the page shows its texts anew

    MeasureDrag drag;
    MeasureCache measured;  // the numbers for the line or rectangle
    int measure_serial = 0;
    std::vector<std::uint8_t> histograms;
};

Page page;
WindowHandle const kWindow = &page;

// The returned texts live until the next call that returns one.
const char* hand_out(std::string text)
{
    static std::string kept;
    kept = std::move(text);
    return kept.c_str();
}

// The status text and, while the panel is open, the explanation for the
// pointer where it is now: a command, zooming or scrolling moves the picture
// under it.
void follow_pointer()
{
    std::string status;
    if (page.pointer) status = status_text_at(page.session.images, page.session.view, page.pointer->x, page.pointer->y);
    std::string summary = status_summary(page.session);
    if (status != page.status || summary != page.summary) {
        page.status = std::move(status);
        page.summary = std::move(summary);
        page.texts_changed |= LF_STATUS_TEXT;
    }
    if (page.session.view.explain_panel && explain_panel_pointer(page.explain, page.session, page.pointer))
        page.texts_changed |= LF_EXPLANATION;
}

void bring_up_to_date(int width, int height)
{
    if (page.frame.width != width || page.frame.height != height) {
        page.frame.resize(width, height);
        page.stale = true;
    }
    if (!page.stale) return;
    render_client(page.frame, page.session.images, page.session.view);
    page.stale = false;
    page.changed = true;
    follow_pointer();
}

}  // namespace

// ---- platform services ------------------------------------------------------

// The page's hooks, set on the module object by the page.
EM_JS(void, page_show_status_bar, (int shown), { if (Module["lfShowStatusBar"]) Module["lfShowStatusBar"](shown != 0); });
EM_JS(void, page_show_explain_panel, (int shown),
      { if (Module["lfShowExplainPanel"]) Module["lfShowExplainPanel"](shown != 0); });
EM_JS(void, page_show_journal_panel, (int shown),
      { if (Module["lfShowJournalPanel"]) Module["lfShowJournalPanel"](shown != 0); });

EM_JS(int, page_show_document, (const char* address), {
    return window.open(UTF8ToString(address), "_blank") ? 1 : 0;
});

// The page's copy of the guide stands beside the page's file, every
// language's page in it (scripts/web writes them all).
std::string guide_path() { return "lumaforge-guide/" + guide_page(text::language()); }

bool show_document(WindowHandle, const std::string& path) { return page_show_document(path.c_str()) != 0; }

// A text the core hands over in Russian is shown in the language in use (one
// already translated stays as it is).
void show_message(const char* caption, const char* text)
{
    page.messages.emplace_back(text::tr(caption), text::tr(text));
}

int show_param_dialog(WindowHandle, ParamDialog& dialog)
{
    const std::optional<std::int32_t> position = page.dialog_answer;
    page.dialog_answer.reset();
    param_dialog_open(dialog);
    if (!position || *position < dialog.param_dialog_spec.range_min || *position > dialog.param_dialog_spec.range_max)
        return param_dialog_cancel(dialog);
    param_dialog_slider_moved(dialog, *position);
    return param_dialog_ok(dialog, *position);
}

int show_kernel_dialog(WindowHandle, CustomKernel& kernel)
{
    const std::optional<CustomKernel> answer = page.kernel_answer;
    page.kernel_answer.reset();
    if (!answer) return 2;
    kernel = *answer;
    return 1;
}

bool choose_picture_file(WindowHandle, const char*, const char*, const char*, std::filesystem::path& file, int, bool)
{
    const std::optional<std::string> chosen = page.file_answer;
    page.file_answer.reset();
    if (!chosen || chosen->empty()) return false;
    file = *chosen;
    return true;
}

void request_repaint(WindowHandle) { page.stale = true; }

void destroy_window(WindowHandle)
{
    page.session.images.release_all_images();
    page.destroyed = true;
}

void draw_segment_frames(WindowHandle, std::span<const SegmentFrame>, std::span<const WindowLine> lines)
{
    bring_up_to_date(page.frame.width, page.frame.height);
    for (const WindowLine& line : lines) draw_frame_line(page.frame, line);
    page.changed = true;
}

// The page shows or hides its element at once, so the client size the next
// frame is drawn for is the new one.
void show_status_bar(WindowHandle, bool shown)
{
    page_show_status_bar(shown);
    page.stale = true;
}

void show_explain_panel(WindowHandle, bool shown)
{
    page_show_explain_panel(shown);
    page.stale = true;  // the view narrows or widens beside the panel
    if (shown && explain_panel_pointer(page.explain, page.session, page.pointer)) page.texts_changed |= LF_EXPLANATION;
}

EM_JS(void, page_remember_language, (const char* code),
      { if (Module["lfRememberLanguage"]) Module["lfRememberLanguage"](UTF8ToString(code)); });

// The status bar's and the panel's texts are made again in the new language
// when the command returns (lf_run); the page's own texts follow its
// LF_LANGUAGE_CHANGED.
void language_changed(WindowHandle)
{
    page.language_changed = true;
    page.status.clear();
    page.summary.clear();
    page.texts_changed |= LF_STATUS_TEXT;
    page.explain.basis.made = false;
}

void remember_language(const std::string& code) { page_remember_language(code.c_str()); }

void show_journal_panel(WindowHandle, bool shown)
{
    page_show_journal_panel(shown);
    page.stale = true;  // the view grows or shrinks above the panel
}

// The page shows the busy cursor itself before it starts a long call: the
// browser draws nothing while the call runs.
// The page shows its own busy cursor around every call that runs a command.
void begin_busy() {}
void end_busy() {}

// ---- what the page calls ----------------------------------------------------

const char* lf_version() { return LUMAFORGE_VERSION; }

const char* lf_command_table()
{
    static const std::string table = command_table_json();
    return table.c_str();
}

const char* lf_tr(const char* russian) { return russian == nullptr ? "" : text::tr(russian); }

const char* lf_languages()
{
    const auto languages = text::languages();
    std::string items;
    for (std::size_t i = 0; i < languages.size(); ++i)
        items += (i ? ", " : "") + std::string("{\"id\": ") + std::to_string(kFirstLanguageId + static_cast<int>(i)) +
                 ", \"code\": " + json_string(languages[i].code) + ", \"name\": " + json_string(languages[i].name) +
                 ", \"chosen\": " + (languages[i].code == text::language() ? "true" : "false") + "}";
    return hand_out("{\"menu_id\": " + std::to_string(IDM_LANGUAGE) + ", \"language\": " +
                    json_string(text::language()) + ", \"items\": [" + items + "]}");
}

int lf_set_language(const char* code)
{
    const auto languages = text::languages();
    for (std::size_t i = 0; i < languages.size(); ++i)
        if (code != nullptr && languages[i].code == code) return lf_run(kFirstLanguageId + static_cast<int>(i));
    return LF_NOT_RUN;
}

int lf_prepare(int id)
{
    if (page.destroyed) return LF_NOT_RUN;
    if (language_of_item(id) >= 0) return LF_ASKS_NOTHING;  // the view menu's languages
    switch (prepare_command(page.session, id)) {
    case CommandPrompt::NotRun: return LF_NOT_RUN;
    case CommandPrompt::Nothing: return LF_ASKS_NOTHING;
    case CommandPrompt::ParameterDialog: return LF_ASKS_PARAMETER;
    case CommandPrompt::FileChooser: return LF_ASKS_FILE;
    case CommandPrompt::SaveChooser: return LF_ASKS_SAVE;
    case CommandPrompt::KernelDialog: return LF_ASKS_KERNEL;
    }
    return LF_NOT_RUN;
}

const char* lf_save_chooser()
{
    // The filter: pairs of description and patterns ("*.bmp"), the first
    // preselected; a name typed without an extension gets the chosen one's.
    std::string filters;
    for (const ChooserFilter& f : chooser_filters(kSaveFilter))
        filters += (filters.empty() ? "" : ", ") + std::string("{\"description\": ") + json_string(text::tr(f.description)) +
                   ", \"extension\": " + json_string(f.extension.empty() ? "" : "." + f.extension) + "}";
    const std::u8string name = proposed_save_path(page.session).filename().u8string();
    return hand_out("{\"title\": " + json_string(text::tr(kSaveTitle)) + ", \"name\": " +
                    json_string(std::string(name.begin(), name.end())) + ", \"filters\": [" + filters + "]}");
}

int lf_checked(int id)
{
    const CommandRow* row = find_command(static_cast<std::uint16_t>(id));
    if (row == nullptr || row->checked == nullptr) return -1;
    return row->checked(page.session) ? 1 : 0;
}

const char* lf_dialog_view()
{
    const ParamDialogView v = param_dialog_open(page.session.dialog);
    return hand_out("{\"title\": " + json_string(text::tr(v.title)) + ", \"min_label\": " +
                    json_string(text::tr(v.min_label)) + ", \"max_label\": " + json_string(text::tr(v.max_label)) + ", \"value_text\": " + json_string(v.value_text) +
                    ", \"range_min\": " + std::to_string(v.range_min) + ", \"range_max\": " +
                    std::to_string(v.range_max) + ", \"tick_step\": " + std::to_string(v.tick_step) +
                    ", \"position\": " + std::to_string(v.position) + "}");
}

const char* lf_dialog_value_text(int position) { return hand_out(param_dialog_slider_moved(page.session.dialog, position)); }

void lf_answer_dialog(int ok, int position)
{
    if (ok)
        page.dialog_answer = position;
    else
        page.dialog_answer.reset();
}

namespace {

std::string kernel_fields_json(const CustomKernel& kernel)
{
    const KernelFields f = kernel_field_texts(kernel);
    std::string weights;
    for (int i = 0; i < f.size * f.size; ++i) weights += (i ? ", " : "") + json_string(f.weights[i]);
    return "{\"size\": " + std::to_string(f.size) + ", \"weights\": [" + weights + "], \"divisor\": " +
           json_string(f.divisor) + ", \"auto_value\": " + std::to_string(kernel_divisor(kernel)) +
           ", \"offset\": " + json_string(f.offset) + ", \"rule\": " + std::to_string(f.out_of_range) +
           ", \"channels\": " + std::to_string(f.channels) + "}";
}

}  // namespace

const char* lf_kernel_view()
{
    std::string presets, rules, channels;
    for (const KernelPreset& p : kernel_presets())
        presets += std::string(presets.empty() ? "" : ", ") + "{\"name\": " + json_string(p.name) +
                   ", \"caption\": " + json_string(text::tr(p.caption)) + ", \"kernel\": " + kernel_fields_json(p.kernel) + "}";
    for (const char* c : kOutOfRangeCaptions) rules += std::string(rules.empty() ? "" : ", ") + json_string(text::tr(c));
    for (const char* c : kChannelCaptions) channels += std::string(channels.empty() ? "" : ", ") + json_string(text::tr(c));
    return hand_out("{\"title\": " + json_string(text::tr(kKernelDialogTitle)) + ", \"kernel\": " +
                    kernel_fields_json(page.session.kernel) + ", \"presets\": [" + presets + "], \"rules\": [" +
                    rules + "], \"channels\": [" + channels + "]}");
}

const char* lf_answer_kernel(const char* fields)
{
    page.kernel_answer.reset();
    if (fields == nullptr) return hand_out("");
    std::vector<std::string> lines;
    for (const char* p = fields;; ++p) {
        const char* end = p;
        while (*end != '\0' && *end != '\n') ++end;
        lines.emplace_back(p, end);
        if (*end == '\0') break;
        p = end;
    }
    KernelFields f;
    f.size = lines.empty() ? 0 : std::atoi(lines[0].c_str());
    const std::size_t count = f.size == 3 || f.size == 5 ? static_cast<std::size_t>(f.size * f.size) : 0;
    if (count == 0 || lines.size() != count + 5) return hand_out(text::tr("Неизвестный размер ядра."));
    for (std::size_t i = 0; i < count; ++i) f.weights[i] = lines[1 + i];
    f.divisor = lines[count + 1];
    f.offset = lines[count + 2];
    f.out_of_range = std::atoi(lines[count + 3].c_str());
    f.channels = std::atoi(lines[count + 4].c_str());
    CustomKernel kernel;
    std::string error;
    if (!kernel_from_fields(f, kernel, error)) return hand_out(error);
    page.kernel_answer = kernel;
    return hand_out("");
}

const char* lf_answer_kernel_word(const char* word)
{
    page.kernel_answer.reset();
    CustomKernel kernel;
    std::string error;
    if (word == nullptr || !parse_kernel_word(word, kernel, error)) return hand_out(error);
    page.kernel_answer = kernel;
    return hand_out("");
}

void lf_answer_file(const char* path)
{
    if (path != nullptr && *path != '\0')
        page.file_answer = path;
    else
        page.file_answer.reset();
}

int lf_run(int id)
{
    if (page.destroyed) return LF_DESTROYED;
    run_command(page.session, kWindow, id);
    // An answer the command did not take must not answer a later one.
    page.dialog_answer.reset();
    page.file_answer.reset();
    lf_stage_picture(nullptr, 0, 0, 8, nullptr);
    // A view to be drawn again follows the pointer when it is drawn.
    if (!page.destroyed && !page.stale) follow_pointer();
    int result = 0;
    if (page.stale) result |= LF_REPAINT;
    if (page.changed) result |= LF_FRAME_CHANGED;
    if (!page.messages.empty()) result |= LF_MESSAGES;
    if (page.destroyed) result |= LF_DESTROYED;
    if (page.language_changed) result |= LF_LANGUAGE_CHANGED;
    page.language_changed = false;
    return result;
}

const char* lf_take_messages()
{
    std::string out = "[";
    for (std::size_t i = 0; i < page.messages.size(); ++i)
        out += (i ? ", " : "") + std::string("{\"caption\": ") + json_string(page.messages[i].first) +
               ", \"text\": " + json_string(page.messages[i].second) + "}";
    page.messages.clear();
    return hand_out(out + "]");
}

const std::uint8_t* lf_render(int width, int height)
{
    if (width < 0 || height < 0) return nullptr;
    bring_up_to_date(width, height);
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (page.rgba.size() != 4 * pixels) {
        page.rgba.assign(4 * pixels, 255);
        page.changed = true;
    }
    if (page.changed) {
        std::uint8_t* out = page.rgba.data();
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* in = page.frame.row(y);
            for (int x = 0; x < width; ++x, in += 3, out += 4) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                out[3] = 255;
            }
        }
        page.changed = false;
    }
    return page.rgba.data();
}

const char* lf_constants()
{
    static const std::string constants = [] {
        const std::pair<const char*, int> named[] = {
            {"LF_NOT_RUN", LF_NOT_RUN},
            {"LF_ASKS_NOTHING", LF_ASKS_NOTHING},
            {"LF_ASKS_PARAMETER", LF_ASKS_PARAMETER},
            {"LF_ASKS_FILE", LF_ASKS_FILE},
            {"LF_ASKS_SAVE", LF_ASKS_SAVE},
            {"LF_ASKS_KERNEL", LF_ASKS_KERNEL},
            {"LF_REPAINT", LF_REPAINT},
            {"LF_FRAME_CHANGED", LF_FRAME_CHANGED},
            {"LF_MESSAGES", LF_MESSAGES},
            {"LF_DESTROYED", LF_DESTROYED},
            {"LF_LANGUAGE_CHANGED", LF_LANGUAGE_CHANGED},
            {"LF_WHEEL_CTRL", LF_WHEEL_CTRL},
            {"LF_WHEEL_SHIFT", LF_WHEEL_SHIFT},
            {"LF_WHEEL_OVER_BAR", LF_WHEEL_OVER_BAR},
            {"LF_WHEEL_OVER_HORIZONTAL_BAR", LF_WHEEL_OVER_HORIZONTAL_BAR},
            {"LF_STATUS_TEXT", LF_STATUS_TEXT},
            {"LF_EXPLANATION", LF_EXPLANATION},
            {"LF_VERTICAL_BAR", LF_VERTICAL_BAR},
            {"LF_HORIZONTAL_BAR", LF_HORIZONTAL_BAR},
            {"SCROLL_LINE_BACK", SCROLL_LINE_BACK},
            {"SCROLL_LINE_FORWARD", SCROLL_LINE_FORWARD},
        };
        std::string out;
        for (const auto& [name, value] : named)
            out += (out.empty() ? "{" : ", ") + json_string(name) + ": " + std::to_string(value);
        return out + "}";
    }();
    return constants.c_str();
}

const char* lf_view()
{
    const ViewState& v = page.session.view;
    const auto number = [](const char* name, std::int32_t value) { return json_string(name) + ": " + std::to_string(value); };
    const auto flag = [](const char* name, bool value) { return json_string(name) + (value ? ": true" : ": false"); };
    return hand_out("{" + number("scroll_x", v.scroll_x) + ", " + number("scroll_y", v.scroll_y) + ", " +
                    number("scroll_max_x", v.scroll_max_x) + ", " + number("scroll_max_y", v.scroll_max_y) + ", " +
                    number("zoom", v.zoom) + ", " + number("client_width", v.client_width) + ", " +
                    number("client_height", v.client_height) + ", " + flag("status_bar", v.status_bar) + ", " +
                    flag("explain_panel", v.explain_panel) + ", " + flag("journal_panel", v.journal_panel) + "}");
}

int lf_lay_out(int width, int height, int bar_width, int bar_height, int shown_bars)
{
    ViewState& v = page.session.view;
    const ViewArea area{std::max(0, width), std::max(0, height), bar_width, bar_height,
                        (shown_bars & LF_VERTICAL_BAR) != 0, (shown_bars & LF_HORIZONTAL_BAR) != 0, 0};
    const ViewLayout layout = layout_view(page.session.images.current_image, v, area);
    if (layout.client_width != v.client_width || layout.client_height != v.client_height) page.stale = true;
    if (page.session.images.current_image != nullptr) {
        apply_layout(v, layout);
    } else {  // the limits stay as the last picture left them
        v.client_width = layout.client_width;
        v.client_height = layout.client_height;
    }
    return (layout.vertical_bar ? LF_VERTICAL_BAR : 0) | (layout.horizontal_bar ? LF_HORIZONTAL_BAR : 0);
}

void lf_scroll(int horizontal, int code, int thumb)
{
    if (horizontal)
        scroll_horizontal(page.session.view, code, thumb);
    else
        scroll_vertical(page.session.view, code, thumb);
    page.stale = true;
}

void lf_scroll_to(int horizontal, int position)
{
    scroll_thumb_to(page.session.view, horizontal != 0, position);
    page.stale = true;
}

// As the desktop windows turn it: up and down, with Shift or over the
// horizontal bar left and right; with Ctrl a zoom level a notch about the
// pointer, or about the middle of the picture's visible part over a bar.
int lf_wheel(int down, int across, int flags, int x, int y)
{
    std::optional<std::pair<int, int>> about;
    if (!(flags & LF_WHEEL_OVER_BAR)) about = std::pair{x, y};
    wheel_turn(page.session, kWindow, down, across, (flags & LF_WHEEL_CTRL) != 0,
               (flags & (LF_WHEEL_SHIFT | LF_WHEEL_OVER_HORIZONTAL_BAR)) != 0, about);
    return page.stale ? 1 : 0;
}

int lf_pointer(int inside, int x, int y)
{
    if (inside)
        page.pointer = ClientPoint{x, y};
    else
        page.pointer.reset();
    follow_pointer();
    return lf_texts_changed();
}

int lf_click(int x, int y)
{
    page.pointer = ClientPoint{x, y};
    follow_pointer();
    if (page.session.view.explain_panel && explain_panel_click(page.explain, page.session, ClientPoint{x, y}))
        page.texts_changed |= LF_EXPLANATION;
    return lf_texts_changed();
}

int lf_texts_changed()
{
    const int changed = page.texts_changed;
    page.texts_changed = 0;
    return changed;
}

namespace {

void measure()
{
    measure_forget_if_resized(page.session);
    if (page.measured.refresh(page.session)) ++page.measure_serial;
}

int drag_result(DragChange change)
{
    if (change == DragChange::View) page.stale = true;
    return change == DragChange::None ? 0 : change == DragChange::Overlay ? 1 : 2;
}

}  // namespace

int lf_press(int x, int y)
{
    const DragChange change = measure_press(page.session, page.drag, x, y);
    return page.drag.kind == MeasureDrag::NONE ? -1 : drag_result(change);
}

int lf_drag(int x, int y) { return drag_result(measure_move(page.session, page.drag, x, y)); }
void lf_release() { measure_release(page.drag); }
int lf_cancel() { return drag_result(measure_cancel(page.session, page.drag)); }

const char* lf_measure_state()
{
    measure();
    const MeasureState& m = page.session.measure;
    std::string status = tool_status_text(page.session);
    if (compare_active(page.session.images, page.session.view))
        status = compare_status_text(page.session.view) + "   " + status;
    const char* tool = m.tool == MeasureTool::Profile ? "profile" : m.tool == MeasureTool::Region ? "region" : "pointer";
    std::string out = std::string("{\"tool\": \"") + tool + "\", \"status\": " + json_string(status) + ", \"line\": ";
    out += m.line ? "[" + std::to_string(m.line->x0) + ", " + std::to_string(m.line->y0) + ", " +
                        std::to_string(m.line->x1) + ", " + std::to_string(m.line->y1) + "]"
                  : std::string("null");
    out += ", \"rect\": ";
    out += m.rect ? "[" + std::to_string(m.rect->x) + ", " + std::to_string(m.rect->y) + ", " +
                        std::to_string(m.rect->width) + ", " + std::to_string(m.rect->height) + "]"
                  : std::string("null");
    out += ", \"picture\": ";
    out += page.session.images.current_image != nullptr ? "true" : "false";
    out += ", \"serial\": " + std::to_string(page.measure_serial) + "}";
    return hand_out(out);
}

const char* lf_measure_data()
{
    measure();
    std::string out = "{\"profile\": ";
    out += page.measured.profile ? profile_json(*page.measured.profile) : std::string("null");
    out += ", \"region\": ";
    out += page.measured.region ? region_json(*page.measured.region) : std::string("null");
    return hand_out(out + "}");
}

const std::uint8_t* lf_region_histograms(int other)
{
    measure();
    if (!page.measured.region || (other && !page.measured.region->other)) return nullptr;
    Frame frame;
    draw_region_histograms(frame, other ? *page.measured.region->other : page.measured.region->shown);
    page.histograms.resize(4u * static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height));
    std::uint8_t* out = page.histograms.data();
    for (int y = 0; y < frame.height; ++y) {
        const std::uint8_t* in = frame.row(y);
        for (int x = 0; x < frame.width; ++x, in += 3, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = 255;
        }
    }
    return page.histograms.data();
}

const char* lf_region_text()
{
    measure();
    return hand_out(page.measured.region ? region_table_text(*page.measured.region) : std::string());
}

int lf_available(int id) { return command_available(page.session, id) ? 1 : 0; }

const char* lf_status_text() { return hand_out(page.status); }
const char* lf_status_summary() { return hand_out(page.summary); }
const char* lf_explain_heading() { return hand_out(page.explain.heading); }
const char* lf_explain_text() { return hand_out(page.explain.text); }


namespace {

JournalPanelText journal_shown()
{
    Journal named = page.session.journal;
    if (!named.steps.empty()) {
        named.input = named.input.filename();
        const std::u8string name = named.input.u8string();
        named.steps[0] = "open=" + std::string(name.begin(), name.end());
    }
    return journal_panel_text(named, Shell::Posix);
}

}  // namespace

double lf_journal_revision() { return static_cast<double>(page.session.journal.revision); }
const char* lf_journal_text() { return hand_out(journal_shown().text); }
const char* lf_journal_command() { return hand_out(journal_shown().command_line); }
const char* lf_journal_input()
{
    return hand_out(page.session.journal.steps.empty() ? std::string() : page.session.journal.input.string());
}
