#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>

#include "cli/cli_args.h"
#include "commands/command_table.h"
#include "tests/support/images.h"

namespace {

struct CliRun {
    int code;
    std::string out;
};

// Runs lumaforge-cli with the arguments (shell-quoted by the caller); stderr
// joins stdout when `with_stderr`.
CliRun cli(const std::string& args, bool with_stderr = false)
{
    const std::string command = std::string(LUMAFORGE_CLI) + " " + args + (with_stderr ? " 2>&1" : " 2>/dev/null");
    FILE* pipe = popen(command.c_str(), "r");
    CliRun run{-1, ""};
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

const std::string sample = std::string(LUMAFORGE_SAMPLES) + "/odd.bmp";

TEST(Cli, CopiesTheSampleByteForByteAndPrintsStatistics)
{
    const auto out = scratch_dir() / "copy.bmp";
    const CliRun run = cli(sample + " --stats -o " + out.string());
    ASSERT_EQ(run.code, 0);
    const auto original = read_file(sample);
    const auto copy = read_file(out);
    ASSERT_EQ(copy.size(), original.size());
    EXPECT_TRUE(std::equal(copy.begin() + 54, copy.end(), original.begin() + 54));
    EXPECT_NE(run.out.find("\"width\": 301"), std::string::npos);
    EXPECT_NE(run.out.find("\"row_padding\": 1"), std::string::npos);
    EXPECT_NE(run.out.find("\"current\": \"a\""), std::string::npos);
    EXPECT_NE(run.out.find("\"hist_luma\": ["), std::string::npos);
}

TEST(Cli, StepsRunThroughTheDispatcher)
{
    const auto twice = scratch_dir() / "twice.bmp";
    ASSERT_EQ(cli(sample + " negative undo undo undo -o " + twice.string()).code, 0);
    const auto original = read_file(sample);
    const auto shown = read_file(twice);
    ASSERT_EQ(shown.size(), original.size());
    EXPECT_TRUE(std::equal(shown.begin() + 54, shown.end(), original.begin() + 54)) << "three undos show the original";

    const CliRun gray = cli(sample + " negative undo undo grayscale --stats");
    ASSERT_EQ(gray.code, 0);
    EXPECT_NE(gray.out.find("\"current\": \"a\""), std::string::npos);

    const CliRun dflt = cli(sample + " binarize --stats");
    const CliRun explicit128 = cli(sample + " binarize=128 --stats");
    EXPECT_EQ(dflt.out, explicit128.out) << "a dialog step without a value takes the initial value";
    EXPECT_EQ(cli(sample + " brightness=0 --stats").out, cli(sample + " --stats").out);
    EXPECT_EQ(cli(sample + " kernel=laplace-12 --stats").out, cli(sample + " laplace --stats").out);
    EXPECT_EQ(cli(sample + " kernel=3:-1,-2,-1,-2,12,-2,-1,-2,-1/1 --stats").out, cli(sample + " laplace --stats").out);

    // --time: a line per step on stderr, the results unchanged.
    const CliRun timed = cli(sample + " negative median-2d=5 --time", true);
    ASSERT_EQ(timed.code, 0);
    double a = -1, b = -1, c = -1, d = -1;
    EXPECT_EQ(std::sscanf(timed.out.c_str(), "time negative %lf %lf\ntime median-2d=5 %lf %lf\n", &a, &b, &c, &d), 4)
        << timed.out;
    EXPECT_TRUE(a >= 0 && b >= 0 && c >= 0 && d >= 0) << timed.out;
    EXPECT_EQ(cli(sample + " negative median-2d=5 --stats --time").out, cli(sample + " negative median-2d=5 --stats").out);
}

TEST(Cli, UsageErrorsExitTwoAndWriteNothing)
{
    const auto out = scratch_dir() / "never.bmp";
    for (const char* args : {"", "--bogus", "sharpen", "negative=3", "binarize=256", "brightness=150",
                             "median-2d=4", "noise=3", "binarize=12x", "fft-2d=3", "fft-2d=512", "open",
                             "--client 0x5", "--scroll 1", "--zoom 300", "--zoom 12.50", "--probe 1",
                             "--probe 301,0", "--probe 0,-1", "--explain 1",
                             "--explain 301,0", "--explain-text 0,-1", "--profile 0,0,301,0",
                             "--profile 0,0,1", "--region 300,0,2,1", "--region 0,0,0,1", "--compare split=5",
                             "negative --view /dev/null --compare diff=2", "--view /dev/null --compare diff=4",
                             "negative --view /dev/null --compare split=302",
                             "kernel=3:1,2,3", "kernel=sobel",
                             "kernel=3:0,0,0,0,256,0,0,0,0", "kernel=3:0,0,0,0,1,0,0,0,0/0"}) {
        const std::string full = std::string(*args == '-' || *args == '\0' ? "" : sample + " ") +
                                 (*args == '-' ? sample + " " : "") + args + " -o " + out.string();
        EXPECT_EQ(cli(full).code, 2) << args;
        EXPECT_FALSE(std::filesystem::exists(out)) << args;
    }
    const CliRun help = cli("--help");
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Usage: lumaforge-cli"), std::string::npos);
}

TEST(Cli, ExplainsAPixelCountedFromTheTopLeft)
{
    const auto out = scratch_dir() / "sobel.bmp";
    const CliRun run = cli(sample + " sobel --explain 1,1 --explain-text 1,1 -o " + out.string());
    ASSERT_EQ(run.code, 0);
    for (const char* part : {"\"command\": \"sobel\"", "\"value\": null", "\"x\": 1,\n  \"y\": 1,",
                             "{\"name\": \"luma\", \"x\": 0, \"y\": 0, \"values\": [[", "{\"name\": \"gx\", \"value\": ",
                             "\"written\": true", "Фильтр Собела\nПиксель (1, 1)\nОкно яркости 3x3"})
        EXPECT_NE(run.out.find(part), std::string::npos) << part << " in\n" << run.out;
    // The result is the pixel one column in and one row down from the top
    // left of what -o wrote (the file's rows run bottom-up).
    const auto bmp = read_file(out);
    const std::size_t stride = (3 * 301 + 3) / 4 * 4, height = (bmp.size() - 54) / stride;
    const std::uint8_t* pixel = bmp.data() + 54 + (height - 2) * stride + 3;
    const std::string result = "\"result\": {\"r\": " + std::to_string(pixel[2]) + ", \"g\": " +
                               std::to_string(pixel[1]) + ", \"b\": " + std::to_string(pixel[0]) + "}";
    EXPECT_NE(run.out.find(result), std::string::npos) << result << " in\n" << run.out;
}

TEST(Cli, RefusalsNameTheFileAndARefusedOpenStepKeepsThePictures)
{
    const auto bad = scratch_dir() / "bad.bmp";
    write_file(bad, {'B', 'A', 0, 0});
    const CliRun run = cli(bad.string(), true);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "lumaforge-cli: " + bad.string() + ": Это не BMP-а\n");

    // The chain goes on with the picture it had; the exit code says a file was refused.
    const auto out = scratch_dir() / "kept.bmp";
    const CliRun step = cli(sample + " negative open=" + bad.string() + " undo -o " + out.string(), true);
    EXPECT_EQ(step.code, 1);
    EXPECT_EQ(step.out, "lumaforge-cli: " + bad.string() + ": Это не BMP-а\n");
    const auto original = read_file(sample), kept = read_file(out);
    ASSERT_EQ(kept.size(), original.size());
    EXPECT_TRUE(std::equal(kept.begin() + 54, kept.end(), original.begin() + 54)) << "undo went back past the refusal";

    const CliRun usage = cli(sample + " sharpen", true);
    EXPECT_EQ(usage.code, 2);
    EXPECT_EQ(usage.out, "lumaforge-cli: unknown step 'sharpen' (see lumaforge-cli --help)\n");
}

TEST(Cli, ProbePrintsTheStatusBarsValues)
{
    // odd.bmp's top-left pixel, then the same after a negative: the original
    // is the other record's.
    const CliRun plain = cli(sample + " --probe 0,0");
    ASSERT_EQ(plain.code, 0);
    EXPECT_EQ(plain.out, "{\"x\":0,\"y\":0,\"shown\":{\"r\":92,\"g\":142,\"b\":232,\"luma\":137},\"other\":null}\n");
    const CliRun negative = cli(sample + " negative --probe 0,0");
    ASSERT_EQ(negative.code, 0);
    EXPECT_EQ(negative.out, "{\"x\":0,\"y\":0,\"shown\":{\"r\":163,\"g\":113,\"b\":23,\"luma\":118},"
                            "\"other\":{\"r\":92,\"g\":142,\"b\":232,\"luma\":137}}\n");
    const CliRun corner = cli(sample + " --probe 300,202 --zoom 3200");
    EXPECT_EQ(corner.code, 0);
    EXPECT_NE(corner.out.find("\"x\":300,\"y\":202"), std::string::npos);
}

TEST(Cli, ProfileAndRegionPrintBothPictures)
{
    const CliRun profile = cli(sample + " negative --profile 300,0,0,202");
    ASSERT_EQ(profile.code, 0);
    EXPECT_EQ(profile.out.rfind("{\"points\":[{\"x\":300,\"y\":0,\"shown\":{", 0), 0u) << profile.out;
    EXPECT_NE(profile.out.find("{\"x\":0,\"y\":202,\"shown\":{"), std::string::npos);
    EXPECT_EQ(profile.out.find("null"), std::string::npos);
    const CliRun region = cli(sample + " --region 0,0,1,1");
    ASSERT_EQ(region.code, 0);
    EXPECT_EQ(region.out.rfind("{\"shown\":{\"r\":{\"count\":1,\"min\":92,\"max\":92,\"mean\":92,\"std\":0,"
                               "\"median\":92,\"histogram\":[0,", 0), 0u) << region.out;
    EXPECT_NE(region.out.find("},\"other\":null}\n"), std::string::npos);
}

// --lang wins over LUMAFORGE_LANG and may follow --list-commands; an unknown
// code is a usage error naming the known ones.
TEST(Cli, LangChoosesTheLanguageOfTheTextsForPeople)
{
    const CliRun english = cli("--list-commands --lang en");
    ASSERT_EQ(english.code, 0);
    EXPECT_NE(english.out.find("\"caption\": \"&Open\\tCtrl+O\""), std::string::npos);
    EXPECT_NE(english.out.find("\"code\": \"en\", \"name\": \"English\", \"chosen\": true"), std::string::npos);
    const CliRun russian = cli("--lang ru --list-commands");
    EXPECT_NE(russian.out.find("\"caption\": \"&Открыть\\tCtrl+O\""), std::string::npos);
    EXPECT_EQ(cli("--list-commands").out, russian.out);
    setenv("LUMAFORGE_LANG", "en", 1);
    const CliRun from_variable = cli("--list-commands"), overruled = cli("--list-commands --lang ru");
    unsetenv("LUMAFORGE_LANG");
    EXPECT_EQ(from_variable.out, english.out);
    EXPECT_EQ(overruled.out, russian.out);

    const auto bad = scratch_dir() / "bad-en.bmp";
    write_file(bad, {'B', 'A', 0, 0});
    EXPECT_EQ(cli("--lang en " + bad.string(), true).out, "lumaforge-cli: " + bad.string() + ": This is not a BMP\n");

    const CliRun unknown = cli("--list-commands --lang xx", true);
    EXPECT_EQ(unknown.code, 2);
    EXPECT_EQ(unknown.out, "lumaforge-cli: --lang wants one of ru, en, not 'xx' (see lumaforge-cli --help)\n");
}

TEST(CliArgs, ParsesStepsValuesAndOptions)
{
    CliOptions o;
    std::string error;
    ASSERT_TRUE(parse_cli_args({"in.bmp", "brightness=-40", "open=x y.bmp", "--client", "640x480", "--scroll",
                                "-3,7", "--seed", "0", "segment"},
                               o, error))
        << error;
    ASSERT_EQ(o.steps.size(), 3u);
    EXPECT_EQ(o.steps[0].command, IDM_BRIGHTNESS);
    EXPECT_EQ(*o.steps[0].value, -40);
    EXPECT_EQ(o.steps[1].path, "x y.bmp");
    EXPECT_EQ(o.client_width, 640);
    EXPECT_EQ(o.scroll_x, -3);
    EXPECT_EQ(o.scroll_y, 7);
    EXPECT_EQ(*o.seed, 0u);
    EXPECT_EQ(o.zoom, 0);
    EXPECT_FALSE(o.probe);
    ASSERT_TRUE(parse_cli_args({"in.bmp", "--zoom", "12.5", "--probe", "3,4"}, o, error)) << error;
    EXPECT_EQ(o.zoom, -3);
    EXPECT_EQ(*o.probe, std::make_pair(3, 4));
    ASSERT_TRUE(parse_cli_args({"in.bmp", "--zoom", "3200"}, o, error)) << error;
    EXPECT_EQ(o.zoom, 5);
    EXPECT_FALSE(parse_cli_args({"in.bmp", "--seed", "-1"}, o, error));
    EXPECT_FALSE(parse_cli_args({"in.bmp", "undo=1"}, o, error));
    EXPECT_FALSE(parse_cli_args({"in.bmp", "-o"}, o, error));
    ASSERT_TRUE(parse_cli_args({"in.bmp", "--explain", "3,4"}, o, error));
    EXPECT_EQ(o.explain->x, 3);
    EXPECT_EQ(o.explain->y, 4);
    EXPECT_FALSE(o.explain_text);
}

}  // namespace
