// Fuzzes the open command on arbitrary file contents, then runs up to three
// commands (chosen by the last bytes) on whatever loaded. Any sanitizer report, any
// allocation larger than the input (-malloc_limit_mb) or a broken invariant
// of the image store is a crash.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "image/image_record.h"
#include "shell/headless/headless_platform.h"

namespace {

void require(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void check_record(const ImageRecord& r, std::size_t input_size)
{
    if (!r.pixels) return;
    const std::size_t stride = 3u * r.width + r.row_padding;
    require(r.row_padding == row_padding_for(r.width), "row_padding follows the width");
    require(r.data_size >= 0 && static_cast<std::size_t>(r.data_size) == stride * r.height, "data_size");
    require(r.pixels.size() == static_cast<std::size_t>(r.data_size), "block of data_size bytes");
    require(static_cast<std::size_t>(r.data_size) <= input_size, "no more pixels than the file holds");
    const bool any = r.transform_state != TRANSFORM_NONE;
    require(bool(r.coef_re_r) == any && bool(r.coef_re_g) == any && bool(r.coef_re_b) == any,
            "real planes held exactly while a transform is pending");
}

std::filesystem::path scratch_file()
{
    const std::filesystem::path dir = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    return dir / ("lumaforge-fuzz-" + std::to_string(::getpid()) + ".bmp");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path path = scratch_file();
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) std::abort();
        if (size != 0 && std::fwrite(data, 1, size, f) != size) std::abort();
        std::fclose(f);
    }

    Session session;
    session.noise_seed = 12345;
    headless = HeadlessPlatform{};
    headless.files.push_back(path);
    run_command(session, nullptr, IDM_OPEN);
    if (session.images.current_image == nullptr) {
        require(headless.messages.size() == 1, "a refused file shows one message");
        require(!session.images.image_a.pixels && !session.images.image_b.pixels, "a refused file leaves no block");
        return 0;
    }
    require(session.images.current_image == &session.images.image_a && headless.messages.empty(), "a loaded file is on display");
    check_record(session.images.image_a, size);

    // Up to three commands, each chosen by a byte pair from the end of the
    // input (command, dialog position), so the fuzzer can steer them.
    const auto commands = command_table();
    for (std::size_t k = 0; k < 3 && 2 * k + 2 <= size; ++k) {
        const CommandRow& c = commands[data[size - 1 - 2 * k] % commands.size()];
        headless.default_answer = {DialogAnswer::OkAtFolded, data[size - 2 - 2 * k]};
        if (c.id == IDM_OPEN || c.id == IDM_EXIT) continue;
        run_command(session, nullptr, c.id);
        require(session.images.current_image != nullptr, "a command leaves the picture loaded");
        check_record(session.images.image_a, size);
        check_record(session.images.image_b, size);
        if (session.images.image_b.pixels) {
            require(session.images.image_a.width == session.images.image_b.width &&
                        session.images.image_a.height == session.images.image_b.height &&
                        session.images.image_a.data_size == session.images.image_b.data_size,
                    "both records describe the loaded size");
        }
    }
    session.images.release_all_images();
    return 0;
}
