// What the Windows program's files share: the instance, main-window and
// status-bar handles, set once at start-up.
//
// Include the core's headers before <windows.h>: the command table's modifier
// names (MOD_ALT, MOD_SHIFT) are macros there.
#pragma once

#include <windows.h>

#include <string>

extern HINSTANCE app_instance;
extern HWND main_window;
extern HWND status_window;

// The language the view menu chose last (HKEY_CURRENT_USER\Software\Lumaforge,
// value Language), or "" when none was.
std::string remembered_language();
