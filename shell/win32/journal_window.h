// The journal panel (shell/journal_panel.h) in the Windows program: a tool
// window owned by the main window, a read-only edit control with the steps
// and their command line for cmd.exe, and a Copy button that puts the
// command line on the clipboard (so does Ctrl+C in the panel). Its close box
// runs the view menu's item.
#pragma once

#include "commands/session.h"
#include "shell_win32.h"

// Shows or hides the panel; its texts follow at the next
// journal_window_update.
void show_journal_window(bool shown);
// Brings the texts up to date when the journal changed; the main window
// calls it after every command and open.
void journal_window_update(const Session& session);

// The title, the button and the text again in the language now in use.
void journal_window_language_changed(const Session& session);

// The panel's own keys: Ctrl+C copies the command line as Copy does, Alt+F4
// closes the panel; true when `message` needs nothing more.
bool journal_window_key(const MSG& message);
