#include "commands/dispatch.h"

#include <ctime>
#include <string>

#include "commands/command_table.h"
#include "commands/picture_files.h"
#include "ops/segment/segment.h"
#include "text/catalogue.h"

namespace {

void report_out_of_memory() { show_message(text::tr(kErrorCaption), text::tr(kOutOfMemory)); }

bool guard_passes(Guard guard, const Session& session)
{
    switch (guard) {
    case Guard::None: return true;
    case Guard::Picture: return session.images.current_image != nullptr;
    // No block of size 2 fits a picture whose smaller side is below 2.
    case Guard::BlockPicture:
        return session.images.current_image != nullptr && block_exponent_max(*session.images.current_image) >= 1;
    case Guard::SameSizeOther: return other_has_same_size(session.images);
    }
    return false;
}

}  // namespace

bool command_available(const Session& session, int id)
{
    const CommandRow* row = id >= 0 && id <= 0xFFFF ? find_command(static_cast<std::uint16_t>(id)) : nullptr;
    return row != nullptr && guard_passes(row->guard, session);
}

namespace {

// The row of a command that acts now, or nullptr.
const CommandRow* runnable_row(const Session& session, int id)
{
    const CommandRow* row = id >= 0 && id <= 0xFFFF ? find_command(static_cast<std::uint16_t>(id)) : nullptr;
    return row != nullptr && guard_passes(row->guard, session) ? row : nullptr;
}

// Writes the dialog's set-up into the description; block sizes come from the
// picture on display.
void set_up_dialog(Session& session, const DialogSetup& setup)
{
    ParamDialogSpec& d = session.dialog.param_dialog_spec;
    if (setup.kind == DialogKind::BlockSize) {
        const int k = block_exponent_max(*session.images.current_image);
        set_text(d.title, setup.title);
        d.range_min = 1;
        d.range_max = k;
        d.tick_step = 1;
        d.initial_pos = k;
        set_text(d.min_label, "2");
        set_text(d.max_label, std::to_string(1L << k).c_str());
        set_text(d.suffix, "");
        session.dialog.power_of_two_mode = 1;
        return;
    }
    set_text(d.title, setup.title);
    d.range_min = setup.range_min;
    d.range_max = setup.range_max;
    d.tick_step = setup.tick_step;
    d.initial_pos = setup.initial_pos;
    set_text(d.min_label, setup.min_label);
    set_text(d.max_label, setup.max_label);
    set_text(d.suffix, setup.suffix);
    d.scale = setup.scale;
    d.offset = setup.offset;
}

// Shows the row's dialog; true with the value when the command goes on.
bool ask(Session& session, WindowHandle window, const DialogSetup& setup, std::int32_t& value)
{
    set_up_dialog(session, setup);
    if (show_param_dialog(window, session.dialog) != 1) return false;
    value = session.dialog.param_dialog_spec.result;
    return !(setup.zero_does_nothing && value == 0);
}

// What a command that ran leaves for explaining its picture.
PictureOrigin origin_of_run(const CommandRow& row, const CommandArgs& args, std::uint64_t source_generation)
{
    PictureOrigin origin;
    origin.command = row.id;
    if (row.dialog.kind == DialogKind::Kernel)
        origin.kernel = args.kernel;
    else if (row.dialog.kind != DialogKind::None)
        origin.value = args.value;
    origin.seed = args.seed;
    origin.source_generation = source_generation;
    return origin;
}

// An ordinary operation from the picture on display into the other record,
// which then shows; a refused operation changes nothing.
void apply(Session& session, WindowHandle window, const CommandRow& row, const CommandArgs& args)
{
    ImageRecord& other = session.images.other_record();
    begin_busy();
    const bool done = row.run.image_operation(*session.images.current_image, other, args);
    end_busy();
    if (!done) {
        report_out_of_memory();
        return;
    }
    session.set_origin(other, origin_of_run(row, args, session.origin_of(*session.images.current_image).generation));
    session.images.current_image = &other;
    journal_add(session.journal, step_word(row, args));
    request_repaint(window);
}

// A transform that acts changes the record's pending state; one that does
// nothing (a forward while one is pending, an inverse of the other kind)
// leaves the picture, and what made it, as they were.
void transform(Session& session, WindowHandle window, const CommandRow& row, const CommandArgs& args)
{
    ImageRecord& record = *session.images.current_image;
    const std::int32_t state = record.transform_state;
    begin_busy();
    const bool done = row.run.in_place(record, args);
    end_busy();
    if (!done) report_out_of_memory();
    if (done && record.transform_state != state) {
        session.set_origin(record, origin_of_run(row, args, 0));
        journal_add(session.journal, step_word(row, args));
    }
    request_repaint(window);
}

}  // namespace

void run_command(Session& session, WindowHandle window, int id)
{
    if (language_of_item(id) >= 0) {
        choose_language(session, window, id);
        return;
    }
    const CommandRow* row = runnable_row(session, id);
    if (row == nullptr) return;
    if (row->run.action != nullptr) {
        row->run.action(session, window);
        return;
    }
    CommandArgs args;
    if (row->dialog.kind == DialogKind::Kernel) {
        CustomKernel kernel = session.kernel;
        if (show_kernel_dialog(window, kernel) != 1 || !kernel_valid(kernel)) return;
        args.kernel = session.kernel = kernel;
    } else if (row->dialog.kind != DialogKind::None && !ask(session, window, row->dialog, args.value)) {
        return;
    }
    args.seed = session.noise_seed ? *session.noise_seed : static_cast<std::uint32_t>(std::time(nullptr));
    if (row->run.image_operation != nullptr)
        apply(session, window, *row, args);
    else
        transform(session, window, *row, args);
}

CommandPrompt prepare_command(Session& session, int id)
{
    const CommandRow* row = runnable_row(session, id);
    if (row == nullptr) return CommandPrompt::NotRun;
    switch (row->dialog.kind) {
    case DialogKind::None: return CommandPrompt::Nothing;
    case DialogKind::File: return CommandPrompt::FileChooser;
    case DialogKind::SaveFile: return CommandPrompt::SaveChooser;
    case DialogKind::Kernel: return CommandPrompt::KernelDialog;
    default: set_up_dialog(session, row->dialog); return CommandPrompt::ParameterDialog;
    }
}

std::string open_filter()
{
    using namespace std::string_literals;
    return "Bitmap 24 bit(*.bmp)\0*bmp\0"s + text::tr(kAllPicturesFilter) +
           "\0*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff;*.webp\0"s;  // c_str() adds the closing NUL
}

void open_command(Session& session, WindowHandle window)
{
    std::filesystem::path file;
    if (!choose_picture_file(window, text::tr(kOpenTitle), nullptr, open_filter().c_str(), file, 0, false)) return;
    open_path(session, window, file);
}

void open_path(Session& session, WindowHandle window, const std::filesystem::path& file)
{
    // The new picture goes into a record of its own, so a refused file costs
    // nothing: both records, the one on display, their pending spectra, the
    // journal and the view stay as they were.
    ImageRecord opened;
    begin_busy();
    const LoadResult loaded = load_picture(file, opened);
    end_busy();
    if (loaded != LoadResult::Loaded) {
        show_message(text::tr(kLoadCaption), load_refusal_text(loaded));
        return;
    }
    // A pending spectrum never outlives its picture: the planes go with the
    // pixels, so an inverse cannot write into a smaller new picture.
    session.images.release_all_images();
    session.images.image_a = std::move(opened);
    session.images.current_image = &session.images.image_a;
    session.set_origin(session.images.image_b, {});
    PictureOrigin origin;
    origin.command = IDM_OPEN;
    session.set_origin(session.images.image_a, origin);
    session.opened_file = file;
    session.view.zoom = 0;  // a new picture shows at its natural size
    session.view.wheel_zoom = 0;
    const std::optional<CarriedRecipe> carried = read_recipe_of(file);
    session.journal.made_by = carried ? carried->recipe : std::nullopt;
    session.journal.made_by_damage = carried ? carried->damage : std::string();
    journal_open(session.journal, file);
    request_repaint(window);
}

std::string recipe_for_save(Session& session, const std::filesystem::path& file)
{
    if (lower_extension(file) != ".png") return {};
    const std::optional<Recipe> recipe = journal_recipe(session.journal);
    return recipe ? recipe_text(*recipe) : std::string();
}

std::filesystem::path proposed_save_path(const Session& session)
{
    if (session.opened_file.empty()) return {};
    std::filesystem::path name = session.opened_file.stem();
    const ImageRecord* shown = session.images.current_image;
    const CommandRow* made_by = shown != nullptr ? find_command(session.origin_of(*shown).command) : nullptr;
    if (made_by != nullptr && made_by->id != IDM_OPEN && *made_by->step != '\0') name += std::string("-") + made_by->step;
    name += ".png";
    return session.opened_file.parent_path() / name;
}

// Writes the picture on display; a failure is shown and changes nothing.
void save_as_command(Session& session, WindowHandle window)
{
    const std::filesystem::path proposed = proposed_save_path(session);
    const std::u8string folder = proposed.parent_path().u8string();
    const std::string initial_directory(folder.begin(), folder.end());
    std::filesystem::path file = proposed.filename();
    if (!choose_picture_file(window, text::tr(kSaveTitle), initial_directory.empty() ? nullptr : initial_directory.c_str(),
                             kSaveFilter, file, kSaveChooserFlags, true))
        return;
    SaveFailure failure;
    begin_busy();
    const bool saved = save_picture(*session.images.current_image, file, failure, recipe_for_save(session, file));
    end_busy();
    if (!saved) show_message(text::tr(kSaveCaption), save_failure_text(file, failure).c_str());
}

void exit_command(Session&, WindowHandle window) { destroy_window(window); }

// A toggle: it looks only at whether the other record holds a picture. What
// made each picture stays with its record, so its explanation comes back too.
void undo_command(Session& session, WindowHandle window)
{
    if (session.images.other_record().pixels) {
        session.images.current_image = &session.images.other_record();
        journal_add(session.journal, "undo");
    }
    request_repaint(window);
}

// Frames the characters straight onto the window, without a repaint, so the
// frames last until the next one.
void segment_command(Session& session, WindowHandle window)
{
    begin_busy();
    const auto frames = find_segment_frames(*session.images.current_image);
    end_busy();
    if (!frames) {
        report_out_of_memory();
        return;
    }
    if (frames->empty()) return;
    const std::vector<WindowLine> lines = segment_frame_lines(*frames, session.images.current_image->height, session.view);
    draw_segment_frames(window, *frames, lines);
}

int block_exponent_max(const ImageRecord& record)
{
    const int side = record.width < record.height ? record.width : record.height;
    int k = 0;
    while ((2 << k) <= side) ++k;
    return k;
}

std::int16_t brightness_offset(std::int32_t percent)
{
    const double v = (static_cast<double>(percent) * static_cast<double>(0.01f)) * static_cast<double>(255.0f) + 0.5;
    return static_cast<std::int16_t>(static_cast<int>(v));
}

float contrast_factor(std::int32_t percent)
{
    if (percent > 0) return static_cast<float>(static_cast<double>(percent) * static_cast<double>(0.1f));
    return static_cast<float>(10.0 / static_cast<double>(-percent));
}
