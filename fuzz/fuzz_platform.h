// The platform services for the fuzz targets: no window, no dialogs. The
// file chooser hands out fuzz_file_to_open, the parameter dialog answers OK
// at fuzz_dialog_choice (folded into the slider's range), and messages are
// only counted.
#pragma once

#include <cstdint>
#include <filesystem>

extern std::filesystem::path fuzz_file_to_open;
extern std::uint32_t fuzz_dialog_choice;
extern int fuzz_messages_shown;
