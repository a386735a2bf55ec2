// The command dispatcher: everything around an operation. run_command looks
// the command up in the table and carries out its row: the guard (which
// commands need a picture), the parameter dialog's set-up and how its value
// becomes the operation's argument, which record is source and which
// destination, and whether the display switches and repaints. The user sees
// only what the dispatcher shows through the platform services; the
// operations themselves never show anything.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "commands/session.h"
#include "commands/platform.h"

// Runs one menu command; identifiers outside the table do nothing.
void run_command(Session& session, WindowHandle window, int id);

// Whether the command would act now (its guard passes): a menu greys the
// items that would not.
bool command_available(const Session& session, int id);

// What run_command(id) is about to ask the user, for a front end that cannot
// wait inside a modal dialog (the browser): it asks first, then runs the
// command with the answer ready for the platform service. For a parameter
// dialog the session's dialog description and mode are set up exactly as
// run_command sets them, so param_dialog_open shows what the dialog would.
// NotRun: the command does nothing at all now (no picture, unknown id).
enum class CommandPrompt { NotRun, Nothing, ParameterDialog, FileChooser, SaveChooser, KernelDialog };
CommandPrompt prepare_command(Session& session, int id);

// The commands that act on the session as a whole (rows of the table).
void open_command(Session& session, WindowHandle window);
void save_as_command(Session& session, WindowHandle window);
void exit_command(Session& session, WindowHandle window);
void undo_command(Session& session, WindowHandle window);
void segment_command(Session& session, WindowHandle window);
// Help: the guide's first page in the system's browser (its absence said in
// a message box), and a message box about the program.
void guide_command(Session& session, WindowHandle window);
// The view menu's "Язык / Language" item is a submenu: one item per language
// of text::languages(), ids kFirstLanguageId + index, the one in use checked.
// Its own row does nothing.
void language_menu_command(Session& session, WindowHandle window);
inline constexpr int kFirstLanguageId = 40081;
inline constexpr int kLastLanguageId = 40099;
// The language an item id stands for (an index into text::languages()), or -1.
int language_of_item(int id);
// Chooses the language of item `id`: every text from now on, the front end's
// menus, dialogs and panels at once (language_changed), the choice
// remembered (remember_language); the pictures, view and journal stay.
void choose_language(Session& session, WindowHandle window, int id);
void about_command(Session& session, WindowHandle window);
// The about box's text: name, version, the build's date and compiler, the
// licence, and where the guide is (`guide`, empty when it is not installed).
std::string about_text(const std::string& guide);

// Opens one picture file as the open command does once its chooser has
// answered: the file is read (any format load_picture takes) into a fresh
// record; only then are both records and every coefficient plane released,
// the new picture shown at 100 % and the window repainted. A refusal is
// shown and changes nothing else. Files dropped on the window and named on
// the command line come here too.
void open_path(Session& session, WindowHandle window, const std::filesystem::path& file);

// The recipe a picture saved to `file` carries: the journal's, for a PNG
// (commands/journal.h); empty for other formats or when the opened file is
// no longer the one opened.
std::string recipe_for_save(Session& session, const std::filesystem::path& file);

// What Save As proposes: in the folder of the file opened last, its name
// with the step of the command that made the picture on display, as a PNG
// ("photo-sobel.png"; "photo.png" for the picture as opened). Empty before
// any file was opened.
std::filesystem::path proposed_save_path(const Session& session);

// The choosers' titles (shown through text::tr).
inline constexpr const char* kOpenTitle = "Открыть графический файл.";
inline constexpr const char* kSaveTitle = "Сохранить графический файл.";

// The choosers' filters: pairs of description and patterns, NUL-separated,
// ending in an empty string. BMP stays the first, preselected filter of the
// open chooser, its pattern without a dot; Save As proposes PNG, so its
// filter comes first there. The one description for people, "all pictures",
// is translated: open_filter() gives the open chooser's list in the language
// in use.
inline constexpr const char* kAllPicturesFilter =
    "Все изображения (*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff;*.webp)";
std::string open_filter();
inline constexpr char kSaveFilter[] = "PNG(*.png)\0*.png\0Bitmap 24 bit(*.bmp)\0*.bmp\0";

// The largest k with 2^k not above the smaller side of the record (0 when
// that side is below 2).
int block_exponent_max(const ImageRecord& record);

// Brightness offset of a percentage v (-100..100, not 0):
// trunc((v * 0.01f) * 255.0f + 0.5) in double, the constants single precision.
std::int16_t brightness_offset(std::int32_t percent);

// Contrast factor of a percentage v (-100..100, not 0): v * 0.1f above 0,
// 10 / |v| below, rounded to single precision.
float contrast_factor(std::int32_t percent);

// Texts the dispatcher shows when the heap cannot hold a command's buffers
// (through text::tr, as every caption and text below).
inline constexpr const char* kErrorCaption = "Ошибка";
inline constexpr const char* kOutOfMemory = "Не хватает памяти для этой операции.";
// The caption of a failed save (save_failure_text gives the text).
inline constexpr const char* kSaveCaption = "Сохранение файла";
