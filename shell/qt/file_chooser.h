// The open-file dialog and the conversion of the names it returns.
//
// The filter's description is shown as given ("Bitmap 24 bit(*.bmp)") while
// its pattern ("*bmp", no dot) decides what is listed: Qt reads patterns from
// the last parentheses of a filter, so the pattern is appended in its own
// parentheses and the details are hidden from view. A save dialog gives a
// name typed without an extension the one of the filter selected.
#pragma once

#include <QFileDialog>
#include <QString>
#include <filesystem>

// The dialog, not yet shown: title, one filter per (description, pattern)
// pair of `filter` (pairs of NUL-terminated strings ending in an empty one),
// the first preselected.
QFileDialog* make_file_dialog(QWidget* owner, const char* title, const char* initial_directory, const char* filter,
                              bool save);

// A file name as the standard library opens it: the file system's own bytes
// on POSIX, UTF-16 on Windows.
std::filesystem::path to_path(const QString& name);
