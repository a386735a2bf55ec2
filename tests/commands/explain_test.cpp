// What the explanation panel shows must be what was computed: for every
// command of the table, the explained result is the pixel on display and the
// inputs are the source samples they claim to be; pixels said to be left
// alone hold what the destination held. Then one worked example per family,
// and which picture an explanation belongs to after undo, open and a source
// written over.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/explain_pixel.h"
#include "commands/kernel_dialog.h"
#include "image/statistics.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "tests/support/records.h"
#include "text/catalogue.h"

namespace {

std::vector<std::int32_t> values_for(DialogKind kind, const ImageRecord& picture)
{
    switch (kind) {
    case DialogKind::Threshold: return {0, 77, 255};
    case DialogKind::Percent: return {-100, -37, 55};
    case DialogKind::Aperture: return {3, 5, 21};
    case DialogKind::NoisePoints: return {2, 600};
    case DialogKind::BlockSize: {
        const int largest = 1 << block_exponent_max(picture);
        return {2, largest};
    }
    case DialogKind::Kernel: return {0, 1, 2, 3, 4};  // kernel_answer(i)
    default: return {0};
    }
}

// Kernels of every size, rule and mode, one with an offset and a divisor
// that leave halves to round.
CustomKernel kernel_answer(std::int32_t i)
{
    const char* words[] = {"gauss-5", "sobel-x", "emboss", "5:3,-7,0,0,2,9,1,-4,0,0,5,5,-20,5,5,0,0,1,0,0,-3,0,0,0,8/6-40,clamp,luma",
                           "3:1,-2,1,0,7,0,-1,2,-1/4+17,abs,rgb"};
    CustomKernel k;
    std::string error;
    parse_kernel_word(words[i], k, error);
    return k;
}

int sample_at(const ImageRecord& r, Sample s, int x, int y)
{
    const std::uint8_t* p = r.pixel(x, y);
    switch (s) {
    case Sample::Luma: return luma(p[0], p[1], p[2]);
    case Sample::Blue: return p[0];
    case Sample::Green: return p[1];
    case Sample::Red: return p[2];
    }
    return -1;
}

// The corners, the frame next to them and a few random pixels.
std::vector<std::pair<int, int>> pixels_of(int w, int h, std::mt19937& rng)
{
    std::vector<std::pair<int, int>> at = {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, 0}, {0, h / 2},
                                           {w - 1, h / 2}, {w / 2, h - 1}, {w / 2, h / 2}, {std::min(1, w - 1), std::min(1, h - 1)},
                                           {std::max(0, w - 2), std::max(0, h - 2)}};
    for (int i = 0; i < 6; ++i) at.push_back({static_cast<int>(rng() % w), static_cast<int>(rng() % h)});
    return at;
}

::testing::AssertionResult inputs_are_the_source(const Explanation& e, const ImageRecord& source)
{
    for (const ExplainInput& in : e.inputs) {
        if (in.x < 0 || in.y < 0 || in.x + in.columns > source.width || in.y + in.rows > source.height)
            return ::testing::AssertionFailure() << "a window reaches outside the picture";
        if (e.x < in.x || e.x >= in.x + in.columns || e.y < in.y || e.y >= in.y + in.rows)
            return ::testing::AssertionFailure() << "the pixel lies outside its own window";
        if (in.values.size() != static_cast<std::size_t>(in.columns) * static_cast<std::size_t>(in.rows))
            return ::testing::AssertionFailure() << "a window of the wrong size";
        for (int r = 0; r < in.rows; ++r)
            for (int c = 0; c < in.columns; ++c)
                if (in.values[static_cast<std::size_t>(r * in.columns + c)] != sample_at(source, in.sample, in.x + c, in.y + r))
                    return ::testing::AssertionFailure() << "input (" << in.x + c << ", " << in.y + r << ") differs";
    }
    return ::testing::AssertionSuccess();
}

class Explain : public SessionTest {
protected:
    void run(CommandId id, std::int32_t value = 0)
    {
        fake.dialog_answers.push_back({DialogAnswer::OkAtValue, value});
        if (id == IDM_CUSTOM_KERNEL) fake.kernel_answers.push_back(kernel_answer(value));
        run_command(session, kFakeWindow, id);
        fake.dialog_answers.clear();
        fake.kernel_answers.clear();
    }
    Explanation at(int x, int y)
    {
        const auto e = explain_pixel(session, x, y);
        EXPECT_TRUE(e.has_value());
        return e.value_or(Explanation{});
    }
};

// Every padding case, pictures smaller than the windows, and one large
// enough for aperture 21.
TEST_F(Explain, EveryImageCommandShowsThePixelItComputedFromThePixelsItNames)
{
    std::mt19937 rng(17);
    for (const auto& [w, h] : {std::pair{1, 1}, {2, 3}, {4, 3}, {5, 4}, {6, 5}, {7, 6}, {23, 22}}) {
        const ImageRecord picture = random_record(w, h, static_cast<std::uint32_t>(w * 31 + h));
        for (const CommandRow& c : command_table()) {
            if (c.run.image_operation == nullptr) continue;
            ASSERT_NE(c.run.explain, nullptr) << c.step;
            for (const std::int32_t value : values_for(c.dialog.kind, picture)) {
                SCOPED_TRACE(std::string(c.step) + "=" + std::to_string(value) + " on " + std::to_string(w) + "x" +
                             std::to_string(h));
                ASSERT_TRUE(open_picture(session, picture));
                run_command(session, kFakeWindow, IDM_NEGATIVE);  // image_b holds known bytes
                run_command(session, kFakeWindow, IDM_UNDO);
                const ImageRecord before = clone(session.images.image_b);
                run(c.id, value);
                ASSERT_EQ(session.images.current_image, &session.images.image_b);
                for (const auto& [x, y] : pixels_of(w, h, rng)) {
                    const Explanation e = at(x, y);
                    ASSERT_EQ(e.command, c.step);
                    EXPECT_EQ(e.result, explain::bytes_at(session.images.image_b, x, y)) << "at " << x << "," << y;
                    if (e.status == ExplainStatus::Computed) {
                        EXPECT_TRUE(e.written);
                        EXPECT_TRUE(inputs_are_the_source(e, session.images.image_a)) << "at " << x << "," << y;
                    } else {
                        ASSERT_EQ(e.status, ExplainStatus::NotWritten);
                        EXPECT_FALSE(e.written);
                        EXPECT_EQ(explain::bytes_at(before, x, y), e.result) << "at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST_F(Explain, BlockTransformsShowTheBlockAndTheCoefficientBehindTheBytes)
{
    const ImageRecord picture = random_record(9, 5, 3);
    for (const CommandRow& c : command_table()) {
        if (c.run.in_place == nullptr || c.dialog.kind != DialogKind::BlockSize) continue;
        SCOPED_TRACE(c.step);
        ASSERT_TRUE(open_picture(session, picture));
        run(c.id, 4);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 9; ++x) {
                const Explanation e = at(x, y);
                EXPECT_EQ(e.status, ExplainStatus::Block);
                EXPECT_EQ(e.result, explain::bytes_at(session.images.image_a, x, y));
                EXPECT_EQ(e.written, x < 4 && y >= 1) << x << "," << y;
                const auto coefficient = std::find_if(e.steps.begin(), e.steps.end(),
                                                      [](const ExplainStep& s) { return s.name == std::string("coefficient"); });
                ASSERT_EQ(coefficient != e.steps.end(), e.written);
                if (e.written) {
                    EXPECT_EQ(static_cast<std::uint8_t>(static_cast<std::int64_t>(coefficient->values[2])), e.result.r);
                }
            }
        const CommandRow& inverse = *find_command(c.id == IDM_FFT_LINEAR || c.id == IDM_FFT_2D ? IDM_FFT_INVERSE
                                                                                              : IDM_WALSH_INVERSE);
        run(inverse.id);
        EXPECT_EQ(at(1, 4).command, inverse.step);
        EXPECT_EQ(at(1, 4).steps.size(), 3u) << "size, column and row; nothing pending";
    }
}

// Grey pictures, so that luma equals the byte; `rows` top row first.
ImageRecord grey_picture(const std::vector<std::vector<int>>& rows)
{
    const int h = static_cast<int>(rows.size()), w = static_cast<int>(rows[0].size());
    return make_record(w, h, [&](int x, int y) {
        const auto v = static_cast<std::uint8_t>(rows[static_cast<std::size_t>(h - 1 - y)][static_cast<std::size_t>(x)]);
        return Bgr{v, v, v};
    });
}

double step(const Explanation& e, const char* name, std::size_t i = 0)
{
    for (const ExplainStep& s : e.steps)
        if (s.name == std::string(name)) return s.values.at(i);
    ADD_FAILURE() << "no step " << name;
    return -1;
}

std::vector<double> steps(const Explanation& e, const char* name)
{
    for (const ExplainStep& s : e.steps)
        if (s.name == std::string(name)) return s.values;
    ADD_FAILURE() << "no step " << name;
    return {};
}

TEST_F(Explain, WorkedExamples)
{
    // Sobel: Gx = (90 + 2*60 + 30) - (70 + 2*40 + 10) = 80,
    //        Gy = (70 + 2*80 + 90) - (10 + 2*20 + 30) = 240, sqrt(64000) = 252.98.
    ASSERT_TRUE(open_picture(session, grey_picture({{10, 20, 30}, {40, 50, 60}, {70, 80, 90}})));
    run(IDM_SOBEL);
    Explanation e = at(1, 1);
    EXPECT_EQ(e.inputs.at(0).values, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_EQ(step(e, "gx"), 80);
    EXPECT_EQ(step(e, "gy"), 240);
    EXPECT_NEAR(step(e, "length"), 252.98, 0.01);
    EXPECT_EQ(e.result, explain::grey(253));
    const std::string text = explanation_text(e);
    for (const char* line : {"Фильтр Собела\n", "Окно яркости 3x3", "  40  [50]  60\n", "Сумма по X: 80\n",
                             "Результат: R 253, G 253, B 253\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;

    // Kirsch: one bright neighbour at the upper left is in windows 5, 6, 7.
    ASSERT_TRUE(open_picture(session, grey_picture({{255, 0, 0}, {0, 0, 0}, {0, 0, 0}})));
    run(IDM_KIRSCH);
    e = at(1, 1);
    EXPECT_EQ(step(e, "neighbour_sum"), 255);
    EXPECT_EQ(steps(e, "window_sums"), (std::vector<double>{0, 0, 0, 0, 255, 255, 255, 0}));
    EXPECT_EQ(steps(e, "responses"), (std::vector<double>{765, 765, 765, 765, 1275, 1275, 1275, 765}));
    EXPECT_EQ(e.result, explain::grey(255));

    // Wallis: centre 60 among 50s, ratio 60^4 / 50^4 = 2.0736, 200 ln 2.5736 = 189.07.
    ASSERT_TRUE(open_picture(session, grey_picture({{50, 50, 50}, {50, 60, 50}, {50, 50, 50}})));
    run(IDM_WALLIS);
    e = at(1, 1);
    EXPECT_DOUBLE_EQ(step(e, "ratio"), 2.0736);
    EXPECT_NEAR(step(e, "w"), 189.07, 0.01);
    EXPECT_EQ(e.result, explain::grey(189));

    // Two-dimensional median: row medians 2, 4, 6 give 4, not the 5 of all nine.
    ASSERT_TRUE(open_picture(session, grey_picture({{1, 2, 9}, {3, 4, 9}, {5, 6, 9}})));
    run(IDM_MEDIAN_2D, 3);
    e = at(1, 1);
    EXPECT_EQ(steps(e, "row_medians_green"), (std::vector<double>{2, 4, 6}));
    EXPECT_EQ(steps(e, "sorted_rows_red"), (std::vector<double>{1, 2, 9, 3, 4, 9, 5, 6, 9}));
    EXPECT_EQ(e.result, explain::grey(4));

    // A median row: (10, 20, 30), (30, 10, 20), (20, 30, 10) give (20, 20, 20).
    ASSERT_TRUE(open_picture(session, make_record(3, 1, [](int x, int) {
        const std::uint8_t v[3][3] = {{10, 20, 30}, {30, 10, 20}, {20, 30, 10}};
        return Bgr{v[x][0], v[x][1], v[x][2]};
    })));
    run(IDM_MEDIAN_LINEAR, 3);
    e = at(1, 0);
    EXPECT_EQ(steps(e, "sorted_blue"), (std::vector<double>{10, 20, 30}));
    EXPECT_EQ(e.result, explain::grey(20));
}

TEST_F(Explain, TheExplanationFollowsThePictureOnDisplay)
{
    const ImageRecord picture = random_record(6, 5, 9);
    EXPECT_FALSE(explain_pixel(session, 0, 0)) << "no picture";
    ASSERT_TRUE(open_picture(session, picture));
    EXPECT_FALSE(explain_pixel(session, 6, 0));
    EXPECT_FALSE(explain_pixel(session, 0, -1));
    EXPECT_EQ(at(2, 2).command, "open");
    EXPECT_EQ(at(2, 2).status, ExplainStatus::NothingToExplain);

    run(IDM_BRIGHTNESS, 40);
    EXPECT_EQ(at(2, 2).value, 40);
    run_command(session, kFakeWindow, IDM_SEGMENT);
    EXPECT_EQ(at(2, 2).command, "brightness") << "segmentation makes no picture";
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(at(2, 2).command, "open");
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(at(2, 2).status, ExplainStatus::Computed) << "undo brings the explanation back";

    // Grayscale writes over the brightness picture's source; undo then shows
    // a picture whose source is gone.
    run(IDM_GRAYSCALE);
    EXPECT_EQ(at(2, 2).status, ExplainStatus::Computed);
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(at(2, 2).command, "brightness");
    EXPECT_EQ(at(2, 2).status, ExplainStatus::SourceGone);
    EXPECT_EQ(at(2, 2).result, explain::bytes_at(*session.images.current_image, 2, 2));

    // A transform changes its record in place, so the picture made from it
    // loses its source too.
    ASSERT_TRUE(open_picture(session, picture));
    run(IDM_NEGATIVE);
    run_command(session, kFakeWindow, IDM_UNDO);
    run(IDM_WALSH_LINEAR, 2);
    EXPECT_EQ(at(0, 4).command, "walsh-linear");
    run(IDM_FFT_2D, 2);  // refused while Walsh is pending: nothing changes
    EXPECT_EQ(at(0, 4).command, "walsh-linear");
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(at(0, 4).status, ExplainStatus::SourceGone);

    // Opening forgets both pictures.
    ASSERT_TRUE(open_picture(session, picture));
    EXPECT_EQ(at(0, 0).command, "open");
    run_command(session, kFakeWindow, IDM_UNDO);
    EXPECT_EQ(at(0, 0).command, "open");
}

// English chosen for one scope, whatever was chosen before it afterwards.
class InLanguage {
public:
    explicit InLanguage(const char* code) : before_(text::language()) { EXPECT_TRUE(text::set_language(code)); }
    ~InLanguage() { text::set_language(before_); }
    InLanguage(const InLanguage&) = delete;
    InLanguage& operator=(const InLanguage&) = delete;

private:
    std::string before_;
};

// Cyrillic letters in UTF-8 (U+0400..U+052F) start with bytes D0..D4.
bool has_cyrillic(const std::string& s)
{
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xD0 && static_cast<unsigned char>(c) <= 0xD4; });
}

// Whether `separator` stands between two digits somewhere in `s`.
bool between_digits(const std::string& s, char separator)
{
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (std::size_t i = 1; i + 1 < s.size(); ++i)
        if (s[i] == separator && digit(s[i - 1]) && digit(s[i + 1])) return true;
    return false;
}

// With English chosen, every command's explanation of a corner, an edge and
// a middle pixel, and of pictures with nothing to explain, is all English,
// its numbers with a decimal point; choosing Russian again gives back
// today's text byte for byte.
TEST_F(Explain, InEnglishEveryExplanationIsEnglish)
{
    const ImageRecord picture = random_record(9, 7, 5);
    std::vector<std::pair<std::string, std::string>> texts;  // what, the text
    auto explain_all = [&](const std::string& what) {
        for (const auto& [x, y] : {std::pair{0, 0}, {8, 3}, {4, 3}, {1, 6}, {2, 5}})
            texts.push_back({what + " at " + std::to_string(x) + "," + std::to_string(y), explanation_text(at(x, y))});
    };
    session.noise_seed = 11;
    auto sweep = [&] {
        texts.clear();
        ASSERT_TRUE(open_picture(session, picture));
        explain_all("open");
        for (const CommandRow& c : command_table()) {
            if (c.run.explain == nullptr) continue;
            for (const std::int32_t value : values_for(c.dialog.kind, picture)) {
                ASSERT_TRUE(open_picture(session, picture));
                run(c.id, value);
                if (c.id == IDM_FFT_INVERSE || c.id == IDM_WALSH_INVERSE) continue;  // nothing to invert
                explain_all(std::string(c.step) + "=" + std::to_string(value));
                if (c.dialog.kind == DialogKind::BlockSize) {
                    run(c.id == IDM_FFT_LINEAR || c.id == IDM_FFT_2D ? IDM_FFT_INVERSE : IDM_WALSH_INVERSE);
                    explain_all(std::string(c.step) + " inverted");
                }
            }
        }
        run(IDM_GRAYSCALE);  // writes over the source of the picture undo brings back
        run_command(session, kFakeWindow, IDM_UNDO);
        explain_all("source gone");
    };
    sweep();
    const auto russian = texts;
    {
        InLanguage english("en");
        sweep();
        ASSERT_EQ(texts.size(), russian.size());
        for (const auto& [what, text] : texts) EXPECT_FALSE(has_cyrillic(text)) << what << ":\n" << text;

        ASSERT_TRUE(open_picture(session, grey_picture({{50, 50, 50}, {50, 60, 50}, {50, 50, 50}})));
        run(IDM_WALLIS);
        std::string text = explanation_text(at(1, 1));
        for (const char* line : {"Wallis Filter\n", "Brightness window 3x3 (the pixel in brackets):\n", "Ratio c⁴ / P: 2.0736\n",
                                 "ln(ratio + 0.5): 0.945306\n", "W = ln(…)·0.25·800: 189.061\n", "Result: R 189, G 189, B 189\n"})
            EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
        ASSERT_TRUE(open_picture(session, picture));
        run(IDM_FFT_2D, 4);
        text = explanation_text(at(1, 5));
        for (const char* line : {"Block size: 4\n", "Passes: 2\n", "Real part of the coefficient (the byte holds the low 8 bits of its integer part): B ",
                                 "Pixel of the block (the 4 x 4 block in the lower left corner), awaiting the inverse FFT, 2 passes.\n"})
            EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
        const std::size_t from = text.find("integer part): B ");
        const std::string coefficients = text.substr(from, text.find('\n', from) - from);
        EXPECT_TRUE(between_digits(coefficients, '.')) << coefficients;
        EXPECT_FALSE(between_digits(coefficients, ',')) << coefficients;
    }
    sweep();
    EXPECT_EQ(texts, russian) << "Russian again, byte for byte";
}

}  // namespace
