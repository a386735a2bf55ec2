// Fuzzes the decoders' path: arbitrary bytes opened as a picture file (the
// wholeness check, the platform's decoder, the record filled through
// PictureTarget), then one command chosen by the last two bytes. Any
// sanitizer report, a broken record, or statistics that differ from a
// recount of the pixels is a crash. Pictures whose block would pass 1 MB are
// refused by the heap, so a tiny file declaring a huge picture costs nothing.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "image/image_record.h"
#include "image/statistics.h"
#include "image/test_seam.h"
#include "shell/headless/headless_platform.h"

namespace {

void require(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// The record's block matches its sizes, and its statistics its pixels.
void check_record(ImageRecord& r)
{
    if (!r.pixels) return;
    const std::size_t stride = 3u * r.width + r.row_padding;
    require(r.row_padding == row_padding_for(r.width), "row_padding follows the width");
    require(r.data_size >= 0 && static_cast<std::size_t>(r.data_size) == stride * r.height, "data_size");
    require(r.pixels.size() == static_cast<std::size_t>(r.data_size), "block of data_size bytes");
    if (r.transform_state != TRANSFORM_NONE) return;  // statistics of the picture before the transform
    ImageRecord counted;
    std::memcpy(counted.hist_r, r.hist_r, sizeof r.hist_r);
    std::memcpy(counted.hist_g, r.hist_g, sizeof r.hist_g);
    std::memcpy(counted.hist_b, r.hist_b, sizeof r.hist_b);
    std::memcpy(counted.hist_luma, r.hist_luma, sizeof r.hist_luma);
    const std::int32_t before[] = {r.max_r, r.max_g, r.max_b, r.max_luma, r.mean_r, r.mean_g, r.mean_b};
    compute_statistics(r);
    const std::int32_t after[] = {r.max_r, r.max_g, r.max_b, r.max_luma, r.mean_r, r.mean_g, r.mean_b};
    require(std::memcmp(counted.hist_r, r.hist_r, sizeof r.hist_r) == 0 &&
                std::memcmp(counted.hist_g, r.hist_g, sizeof r.hist_g) == 0 &&
                std::memcmp(counted.hist_b, r.hist_b, sizeof r.hist_b) == 0 &&
                std::memcmp(counted.hist_luma, r.hist_luma, sizeof r.hist_luma) == 0 &&
                std::memcmp(before, after, sizeof before) == 0,
            "the statistics count the pixels");
}

std::filesystem::path scratch_file()
{
    const std::filesystem::path dir = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    return dir / ("lumaforge-fuzz-picture-" + std::to_string(::getpid()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path path = scratch_file();
    static const bool bounded = (test_seam::heap_refuse_above(std::size_t{1} << 20), true);
    (void)bounded;
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
    check_record(session.images.image_a);

    if (size >= 2) {
        const auto commands = command_table();
        const CommandRow& c = commands[data[size - 1] % commands.size()];
        headless.default_answer = {DialogAnswer::OkAtFolded, data[size - 2]};
        if (c.id != IDM_OPEN && c.id != IDM_EXIT && c.id != IDM_SAVE_AS) {
            run_command(session, nullptr, c.id);
            require(session.images.current_image != nullptr, "a command leaves the picture loaded");
            check_record(session.images.image_a);
            check_record(session.images.image_b);
        }
    }
    session.images.release_all_images();
    return 0;
}
