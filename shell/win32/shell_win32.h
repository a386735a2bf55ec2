// What the Windows program's files share: the instance, main-window and
// status-bar handles, set once at start-up.
//
// Include the core's headers before <windows.h>: the command table's modifier
// names (MOD_ALT, MOD_SHIFT) are macros there.
#pragma once

#include <windows.h>

extern HINSTANCE app_instance;
extern HWND main_window;
extern HWND status_window;
