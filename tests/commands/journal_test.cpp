#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <sys/wait.h>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/journal.h"
#include "commands/sha256.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"

namespace {

std::string run_shell(const std::string& command, int* code = nullptr)
{
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = pclose(pipe);
    if (code != nullptr) *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

TEST(Sha256, KnownDigests)
{
    EXPECT_EQ(sha256_hex("", 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256_hex("abc", 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string two_blocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(sha256_hex(two_blocks.data(), two_blocks.size()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    // A million a's, fed in pieces that straddle the 64-byte blocks.
    Sha256 hash;
    const std::string piece(997, 'a');
    std::size_t fed = 0;
    for (; fed + piece.size() <= 1000000; fed += piece.size()) hash.add(piece.data(), piece.size());
    hash.add(piece.data(), 1000000 - fed);
    EXPECT_EQ(hash.hex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// What cmd.exe and then the C runtime make of a command line: cmd removes
// the carets outside quoted stretches (and acts on its special characters
// there, which a quoted word must never leave bare); the runtime splits at
// blanks outside quotes, 2n backslashes before a quote giving n and a quote
// that toggles, 2n+1 giving n and a literal quote.
std::vector<std::string> cmd_then_runtime(const std::string& line, std::string& trouble)
{
    std::string seen;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (!quoted && c == '^' && i + 1 < line.size()) {
            seen += line[++i];
            continue;
        }
        if (!quoted && std::string("&|<>()%!").find(c) != std::string::npos) trouble = line;
        if (c == '"') quoted = !quoted;
        seen += c;
    }
    std::vector<std::string> words;
    std::string word;
    bool in_word = false, in_quotes = false;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        std::size_t backslashes = 0;
        while (i < seen.size() && seen[i] == '\\') ++backslashes, ++i;
        if (i < seen.size() && seen[i] == '"') {
            word.append(backslashes / 2, '\\');
            if (backslashes % 2) word += '"';
            else in_quotes = !in_quotes;
            in_word = true;
            continue;
        }
        word.append(backslashes, '\\');
        if (backslashes) in_word = true;
        if (i == seen.size()) break;
        if (!in_quotes && (seen[i] == ' ' || seen[i] == '\t')) {
            if (in_word) words.push_back(word);
            word.clear();
            in_word = false;
            continue;
        }
        word += seen[i];
        in_word = true;
    }
    if (in_word) words.push_back(word);
    return words;
}

const std::vector<std::string> kAwkwardWords = {
    "lumaforge-cli", "plain.bmp", "with space.bmp", "it's.bmp", "say \"hi\".png", "back\\slash\\", "C:\\Program Files\\x\\",
    "Фото студента.bmp", "a&b|c<d>e(f)", "100% $HOME `x` !y ^z", "", "tab\there", "noise=14000@7"};

TEST(CommandLine, QuotedWordsComeBackFromEachShell)
{
    std::string quoted;
    for (const std::string& word : kAwkwardWords) {
        quoted += ' ';
        quoted += quote_word(word, Shell::Posix);
    }
    const std::string out = run_shell("sh -c 'for w in \"$@\"; do printf \"%s\\0\" \"$w\"; done' sh " + quoted);
    std::vector<std::string> back;
    for (std::size_t at = 0; at < out.size();) {
        const auto end = out.find('\0', at);
        back.push_back(out.substr(at, end - at));
        at = end + 1;
    }
    EXPECT_EQ(back, kAwkwardWords);

    std::string trouble;
    EXPECT_EQ(cmd_then_runtime(command_line(kAwkwardWords, Shell::Cmd), trouble), kAwkwardWords);
    EXPECT_EQ(trouble, "");
    EXPECT_EQ(quote_word("grayscale", Shell::Cmd), "grayscale") << "plain words stay readable";
    EXPECT_EQ(quote_word("median-2d=5", Shell::Posix), "median-2d=5");
}

Recipe sample_recipe()
{
    return {"1.0.0", "Фото 100%.bmp", 183566, std::string(64, 'a'), {"grayscale", "noise=14000@4294967295", "undo", "median-2d=21"}};
}

TEST(Recipe, ReadsBackWhatItWroteAndNothingCutOrForeign)
{
    const std::string text = recipe_text(sample_recipe());
    Recipe back;
    std::string why;
    ASSERT_TRUE(parse_recipe(text, back, why)) << why;
    EXPECT_EQ(back.input, "Фото 100%.bmp");
    EXPECT_EQ(back.steps, sample_recipe().steps);
    EXPECT_EQ(back.size, 183566u);
    std::string folded = text;
    std::replace(folded.begin(), folded.end(), '\n', ' ');
    EXPECT_TRUE(parse_recipe(folded, back, why)) << "line ends folded into blanks read the same";

    // Every cut but the last line end's is refused.
    for (std::size_t cut = 0; cut + 1 < text.size(); ++cut)
        EXPECT_FALSE(parse_recipe(text.substr(0, cut), back, why)) << "cut at " << cut;

    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    for (const std::string& bad :
         {replaced("step undo", "step sharpen"), replaced("step undo", "step open=/etc/passwd"),
          replaced("step undo", "step save=x.bmp"), replaced("@4294967295", ""),
          replaced("input ", "input ../"), replaced("sha256 a", "sha256 g"), replaced("end 4", "end 3"),
          replaced("lumaforge-recipe 1", "lumaforge-recipe 2"), text + "step undo\n"}) {
        EXPECT_FALSE(parse_recipe(bad, back, why)) << bad;
        EXPECT_FALSE(why.empty());
    }
}

class JournalTest : public SessionTest {};

TEST_F(JournalTest, RecordsEachStepThatChangedARecordSinceTheOpen)
{
    const std::string input = std::string(LUMAFORGE_SAMPLES) + "/odd.bmp";
    fake.files.push_back(input);
    run_command(session, kFakeWindow, IDM_UNDO);  // nothing open: nothing recorded
    run_command(session, kFakeWindow, IDM_OPEN);
    run_command(session, kFakeWindow, IDM_UNDO);  // nothing to switch to
    run_command(session, kFakeWindow, IDM_NEGATIVE);
    run_command(session, kFakeWindow, IDM_UNDO);
    session.noise_seed = 77;
    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 200});
    run_command(session, kFakeWindow, IDM_NOISE);
    fake.dialog_answers.push_back({DialogAnswer::Cancel, 0});
    run_command(session, kFakeWindow, IDM_BINARIZE);
    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 0});
    run_command(session, kFakeWindow, IDM_BRIGHTNESS);  // 0 does nothing
    run_command(session, kFakeWindow, IDM_SEGMENT);
    fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 64});
    run_command(session, kFakeWindow, IDM_FFT_2D);
    run_command(session, kFakeWindow, IDM_WALSH_INVERSE);  // of the other kind: nothing
    EXPECT_EQ(session.journal.steps, (std::vector<std::string>{"open=" + input, "negative", "undo", "noise=200@77",
                                                               "fft-2d=64"}));
    EXPECT_EQ(command_line(journal_words(session.journal), Shell::Posix),
              "lumaforge-cli " + input + " negative undo noise=200@77 fft-2d=64");

    fake.files.push_back(scratch_dir() / "missing.bmp");
    run_command(session, kFakeWindow, IDM_OPEN);
    EXPECT_TRUE(session.images.current_image != nullptr || session.journal.steps.empty())
        << "a journal is kept only while it has a picture to replay";
}

// The journal of random sessions, replayed by lumaforge-cli through the
// shell, gives both records byte for byte.
TEST_F(JournalTest, ReplayedByTheCliGivesBothRecords)
{
    const auto input = scratch_dir() / "it's a «тест» $1.bmp";
    write_file(input, read_file(std::string(LUMAFORGE_SAMPLES) + "/odd.bmp"));
    std::vector<std::uint16_t> pool{IDM_UNDO, IDM_UNDO, IDM_NOISE, IDM_NOISE};
    for (const CommandRow& row : command_table())
        if (*row.step != '\0' && !asks_for_file(row.dialog.kind) && row.id != IDM_SEGMENT) pool.push_back(row.id);
    std::mt19937 random(2212);
    for (int sequence = 0; sequence < 10; ++sequence) {
        fake.files.push_back(input);
        run_command(session, kFakeWindow, IDM_OPEN);
        for (int k = 0; k < 7; ++k) {
            session.noise_seed = static_cast<std::uint32_t>(random());
            fake.dialog_answers.push_back({DialogAnswer::OkAtFolded, static_cast<std::int64_t>(random() % 1000)});
            run_command(session, kFakeWindow, pool[random() % pool.size()]);
            fake.dialog_answers.clear();
        }
        std::vector<std::string> words = journal_words(session.journal);
        words[0] = LUMAFORGE_CLI;
        const std::string replay = command_line(words, Shell::Posix);
        const auto same = [&](const ImageRecord& record, const std::string& extra) {
            const auto out = scratch_dir() / "replayed.bmp";
            int code = -1;
            run_shell(replay + extra + " -o " + out.string(), &code);
            const std::vector<std::uint8_t> bytes = read_file(out);
            return code == 0 && bytes.size() == 54u + record.data_size &&
                   std::equal(bytes.begin() + 54, bytes.end(), record.pixels.get());
        };
        const ImageRecord& shown = *session.images.current_image;
        EXPECT_TRUE(same(shown, "")) << replay;
        if (session.images.other_record().pixels) {
            EXPECT_TRUE(same(session.images.other_record(), " undo")) << replay;
        }
    }
}

}  // namespace
