// The journal panel's texts, the same in every front end: the steps since
// the last open one per line, the whole as one command line for the shell
// of the platform (Copy takes that line), and, for a picture that carried a
// recipe when it was opened, how it was made.
#pragma once

#include <string>

#include "commands/journal.h"

struct JournalPanelText {
    std::string text;          // what the panel shows
    std::string command_line;  // what Copy puts on the clipboard ("" for nothing)
};

JournalPanelText journal_panel_text(const Journal& journal, Shell shell);

// The shell of the platform this is built for.
constexpr Shell native_shell()
{
#ifdef _WIN32
    return Shell::Cmd;
#else
    return Shell::Posix;
#endif
}

// The panel's title and button, in Russian: a front end shows them through
// text::tr.
inline constexpr const char* kJournalTitle = "Журнал";
inline constexpr const char* kJournalCopy = "Копировать";
