// The command table as JSON, for whatever reads the commands from outside
// the program (the command-line tool's --list-commands, the Windows resource
// script written at build time, the Wine test, the fuzz dictionary, the web
// page's menus):
//
//   {"commands": [{"id", "name", "caption", "step", "shortcut", "runs",
//                  "guard", "menu": {"popup", "separator_before"},
//                  "checkable", "checked",
//                  "dialog": {"kind", "title", "min", "max", "step",
//                             "initial", "tick", "zero_does_nothing"}}...],
//    "menu": [{"caption", "items": [id, ... 0 for a separator]}...],
//    "accelerators": [{"key", "ctrl", "alt", "shift", "id"}...]}
//
// Dialog values are what the dialog gives (an aperture runs 3..21 by 2); a
// block size's "max" is null, since it depends on the picture. An item with
// a check mark is "checkable"; "checked" is its mark in a new window.
// Accelerators are in the resource's order; "key" is a letter, a digit,
// "F4", "=" (the key that also carries "+") or "-".
#pragma once

#include <string>

std::string command_table_json();
