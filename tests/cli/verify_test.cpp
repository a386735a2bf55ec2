#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/journal.h"
#include "commands/picture_files.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"

namespace {

struct CliResult {
    int code;
    std::string out;
};

CliResult cli(const std::string& args)
{
    FILE* pipe = popen((std::string(LUMAFORGE_CLI) + " " + args + " 2>&1").c_str(), "r");
    CliResult run{-1, ""};
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool says(const CliResult& run, const std::string& verdict)
{
    return run.out.find("{\"verdict\":\"" + verdict + "\"") == 0;
}

class Verify : public SessionTest {};

// A picture saved from a session, then each way its check can go.
TEST_F(Verify, SavedPictureIsRemadeOrTheReasonNamed)
{
    const auto folder = scratch_dir() / "class 5";
    std::filesystem::create_directories(folder);
    const auto input = folder / "фото.bmp";
    write_file(input, read_file(std::string(LUMAFORGE_SAMPLES) + "/odd.bmp"));
    const auto result = folder / "result.png";
    fake.files.push_back(input);
    run_command(session, kFakeWindow, IDM_OPEN);
    session.noise_seed = 1234;
    for (const int id : {IDM_GRAYSCALE, IDM_NOISE, IDM_MEDIAN_2D, IDM_UNDO, IDM_SOBEL}) run_command(session, kFakeWindow, id);
    fake.files.push_back(result);
    run_command(session, kFakeWindow, IDM_SAVE_AS);
    ASSERT_TRUE(fake.messages.empty());

    const std::string quoted = quote_word(result.string(), Shell::Posix);
    const CliResult same = cli("--verify " + quoted);
    EXPECT_EQ(same.code, 0) << same.out;
    EXPECT_TRUE(says(same, "identical")) << same.out;
    EXPECT_NE(same.out.find("\"steps\":5"), std::string::npos) << same.out;
    EXPECT_EQ(cli("--recipe-of " + quoted).out,
              "lumaforge-cli фото.bmp grayscale noise=14000@1234 median-2d=3 undo sobel\n");

    // One pixel changed, the recipe kept.
    std::string text;
    ASSERT_TRUE(read_picture_text(result, kRecipeKey, text));
    ImageRecord picture;
    ASSERT_EQ(load_picture(result, picture), LoadResult::Loaded);
    const_cast<std::uint8_t*>(picture.pixel(7, 5))[1] ^= 1;
    const auto touched = folder / "touched.png";
    SaveFailure failure;
    ASSERT_TRUE(save_picture(picture, touched, failure, text));
    const CliResult differs = cli("--verify '" + touched.string() + "'");
    EXPECT_EQ(differs.code, 3);
    EXPECT_TRUE(says(differs, "differs")) << differs.out;
    EXPECT_NE(differs.out.find("\"differing_pixels\":1,\"first\":{\"x\":7,\"y\":5,"), std::string::npos) << differs.out;

    // The recipe damaged: an unknown step, a step that would write a file.
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"step sobel", "step sharpen"},
                                   {"step sobel", "step save=/tmp/x.bmp"}}) {
        std::string bad = text;
        bad.replace(bad.find(from), from.size(), to);
        ASSERT_TRUE(save_picture(picture, touched, failure, bad));
        const CliResult damaged = cli("--verify '" + touched.string() + "'");
        EXPECT_EQ(damaged.code, 7);
        EXPECT_TRUE(says(damaged, "damaged-recipe")) << damaged.out;
    }
    ASSERT_TRUE(save_picture(picture, touched, failure));
    EXPECT_EQ(cli("--verify '" + touched.string() + "'").code, 6) << "no recipe";

    // The input: found elsewhere with --input, changed by one byte, gone.
    const auto copy = scratch_dir() / "copy.bmp";
    std::filesystem::copy_file(input, copy);
    EXPECT_EQ(cli("--verify " + quoted + " --input " + copy.string()).code, 0);
    std::vector<std::uint8_t> bytes = read_file(input);
    bytes[100] ^= 0x10;
    write_file(input, bytes);
    const CliResult changed = cli("--verify " + quoted);
    EXPECT_EQ(changed.code, 4);
    EXPECT_TRUE(says(changed, "input-changed")) << changed.out;
    std::filesystem::remove(input);
    const CliResult missing = cli("--verify " + quoted);
    EXPECT_EQ(missing.code, 5);
    EXPECT_TRUE(says(missing, "input-missing")) << missing.out;
}

}  // namespace
