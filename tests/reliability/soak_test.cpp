// Long random sessions through run_command, checked step by step against a
// small model of the store: which record is on display, which hold pixels,
// which hold a pending transform, and which records a step may change.
//
// Sessions are seeded: sequence i of a run uses seed BASE + i. A failure
// prints its seed and the steps that led to it; rerun it alone with
//   LUMAFORGE_SOAK_SEED=<seed> LUMAFORGE_SOAK_SEQUENCES=1 lumaforge_tests --gtest_filter='Soak.*'
// LUMAFORGE_SOAK_SECONDS (default 3) bounds the run; LUMAFORGE_SOAK_SEED=random
// draws a fresh base.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "image/bmp.h"
#include "ops/operations.h"
#include "tests/support/bad_bmps.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "tests/support/records.h"

namespace {

std::uint64_t fnv(std::uint64_t h, const void* data, std::size_t n)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// Pixels, size fields and statistics.
std::uint64_t picture_print(const ImageRecord& r)
{
    std::uint64_t h = 1469598103934665603ull;
    const std::int64_t fields[] = {r.width, r.height, r.row_padding, r.data_size, bool(r.pixels),
                                   r.max_r, r.max_g, r.max_b, r.max_luma, r.mean_r, r.mean_g, r.mean_b};
    h = fnv(h, fields, sizeof fields);
    h = fnv(h, r.hist_luma, sizeof r.hist_luma);
    if (r.pixels) h = fnv(h, r.pixels.get(), r.pixels.size());
    return h;
}

// The pending transform: state, block size and the planes.
std::uint64_t transform_print(const ImageRecord& r)
{
    std::uint64_t h = 1469598103934665603ull;
    const std::int64_t fields[] = {r.block_size, r.transform_state};
    h = fnv(h, fields, sizeof fields);
    for (const HeapArray<float>* p : {&r.coef_re_r, &r.coef_re_g, &r.coef_re_b, &r.coef_im_r, &r.coef_im_g, &r.coef_im_b}) {
        const std::size_t n = p->size();
        h = fnv(h, &n, sizeof n);
        if (*p) h = fnv(h, p->get(), n * sizeof(float));
    }
    return h;
}

struct PictureFile {
    std::filesystem::path path;
    bool valid;
    int width, height;
};

// A few pictures of awkward sizes (no pixels, one row, one column, odd
// widths), one of dark glyphs on white for segmentation, and files the
// reader refuses.
std::vector<PictureFile> make_files()
{
    const auto dir = scratch_dir();
    std::vector<PictureFile> files;
    const std::pair<int, int> sizes[] = {{1, 1}, {0, 5}, {5, 0}, {1, 9}, {9, 1},  {2, 2},
                                         {3, 3}, {7, 2}, {16, 16}, {17, 12}, {8, 33}, {40, 30}};
    std::uint32_t seed = 1;
    for (auto [w, h] : sizes) {
        const auto path = dir / ("valid-" + std::to_string(w) + "x" + std::to_string(h) + ".bmp");
        write_file(path, bmp_file_bytes(bmp_of(random_record(w, h, seed++))));
        files.push_back({path, true, w, h});
    }
    const ImageRecord text = make_record(48, 20, [](int x, int y) {
        const bool ink = y >= 5 && y < 14 && (x % 9) >= 2 && (x % 9) < 6;
        const std::uint8_t v = ink ? 0 : 255;
        return Bgr{v, v, v};
    });
    write_file(dir / "text.bmp", bmp_file_bytes(bmp_of(text)));
    files.push_back({dir / "text.bmp", true, 48, 20});

    const std::set<std::string> refused = {"length-13", "bits-8", "compression-1", "width-70000",
                                           "pixels-half-missing", "size-20000x20000-short"};
    for (const BadBmp& bad : bad_bmp_corpus()) {
        if (!refused.count(bad.name)) continue;
        write_file(dir / (bad.name + ".bmp"), bad.bytes);
        files.push_back({dir / (bad.name + ".bmp"), false, 0, 0});
    }
    files.push_back({dir / "missing.bmp", false, 0, 0});
    return files;
}

bool is_forward(std::uint16_t id)
{
    return id == IDM_FFT_LINEAR || id == IDM_FFT_2D || id == IDM_WALSH_LINEAR || id == IDM_WALSH_2D;
}
bool is_inverse(std::uint16_t id) { return id == IDM_FFT_INVERSE || id == IDM_WALSH_INVERSE; }
bool is_transform(std::uint16_t id) { return is_forward(id) || is_inverse(id); }

std::int32_t state_of_forward(std::uint16_t id)
{
    switch (id) {
    case IDM_FFT_LINEAR: return TRANSFORM_FFT_LINEAR;
    case IDM_FFT_2D: return TRANSFORM_FFT_2D;
    case IDM_WALSH_LINEAR: return TRANSFORM_WALSH_LINEAR;
    default: return TRANSFORM_WALSH_2D;
    }
}

// What the test believes about the store.
struct Model {
    int current = -1;  // 0: image_a, 1: image_b, -1: nothing loaded
    bool holds[2] = {false, false};
    std::int32_t pending[2] = {TRANSFORM_NONE, TRANSFORM_NONE};
    int width = 0, height = 0;

    int other() const { return current == 0 ? 1 : 0; }
};

// How often the interesting situations came up, so the test can tell
// whether its sessions reach them at all.
struct Coverage {
    std::uint64_t forwards = 0, inverses = 0, ignored_forwards = 0, undo_switches = 0, refused_opens = 0,
                  operations_over_pending = 0;
};

class RandomSession {
public:
    RandomSession(std::uint64_t seed, const std::vector<PictureFile>& files, Coverage& coverage)
        : rng_(seed), files_(files), coverage_(coverage)
    {
        session.noise_seed = static_cast<std::uint32_t>(seed);
    }

    // Runs one random session; an empty string when every step checked out.
    std::string run(int steps)
    {
        for (int i = 0; i < steps; ++i) {
            const std::string fault = step();
            if (!fault.empty()) return fault + "\nsteps:" + log_.str();
        }
        return {};
    }

private:
    ImageRecord& record(int i) { return i == 0 ? session.images.image_a : session.images.image_b; }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool chance(int percent) { return pick(100) < percent; }

    // A random answer for a dialog of `kind`; returns the value an OK gives,
    // or nullopt for Cancel and the close box.
    std::optional<std::int32_t> answer(DialogKind kind, int block_exponent)
    {
        const int roll = pick(100);
        if (roll < 12) {
            fake.dialog_answers.push_back({DialogAnswer::Cancel, 0});
            log_ << " Cancel";
            return std::nullopt;
        }
        if (roll < 20) {
            fake.dialog_answers.push_back({DialogAnswer::Close, 0});
            log_ << " Close";
            return std::nullopt;
        }
        std::int32_t lo = 0, hi = 0;
        switch (kind) {
        case DialogKind::Threshold: lo = 0, hi = 255; break;
        case DialogKind::Percent: lo = -100, hi = 100; break;
        case DialogKind::Aperture: lo = 1, hi = 10; break;
        case DialogKind::NoisePoints: lo = 1, hi = chance(80) ? 200 : 32767; break;
        case DialogKind::BlockSize: lo = 1, hi = block_exponent; break;
        default: break;
        }
        std::int32_t position = lo + pick(hi - lo + 1);
        if (kind == DialogKind::Percent && chance(15)) position = 0;  // does nothing
        fake.dialog_answers.push_back({DialogAnswer::OkAtPosition, position});
        log_ << " OK@" << position;
        switch (kind) {
        case DialogKind::Aperture: return 2 * position + 1;
        case DialogKind::NoisePoints: return 2 * position;
        case DialogKind::BlockSize: return 1 << position;
        default: return position;
        }
    }

    std::string step()
    {
        const Model before = model_;
        const std::uint64_t pictures[2] = {picture_print(session.images.image_a), picture_print(session.images.image_b)};
        const std::uint64_t transforms[2] = {transform_print(session.images.image_a), transform_print(session.images.image_b)};
        const ImageRecord* shown = session.images.current_image;
        fake.messages.clear();
        fake.dialog_answers.clear();
        fake.lines.clear();
        const int dialogs = fake.dialogs_shown + fake.kernel_dialogs_shown, repaints = fake.repaints;

        // What the step may change: which records' pictures and transforms,
        // whether a dialog shows, whether a message may appear.
        bool may_change_picture[2] = {false, false}, may_change_transform[2] = {false, false};
        bool expect_dialog = false, message_allowed = false, expect_repaint = false;

        const auto table = command_table();
        const int roll = pick(100);
        std::uint16_t id;
        if (roll < 10)
            id = IDM_OPEN;
        else if (roll < 22)
            id = IDM_UNDO;
        else if (roll < 23)
            id = IDM_EXIT;
        else if (roll < 24)
            id = kNoCommandId;
        else
            id = table[pick(static_cast<int>(table.size()))].id;
        const CommandRow* info = find_command(id);
        log_ << "\n  " << (info ? info->name : std::to_string(id));

        const bool loaded = before.current >= 0;
        const int cur = before.current, other = before.other();
        std::optional<std::int32_t> value;
        // The view's commands (zoom, status bar) repaint and change no picture.
        const bool view_step = info != nullptr && info->run.action != nullptr && id != IDM_OPEN && id != IDM_UNDO &&
                               id != IDM_EXIT && id != IDM_SEGMENT;

        if (view_step) {
            message_allowed = tells_only(*info);
        } else if (id == IDM_OPEN) {
            if (chance(10)) {
                fake.files.push_back(std::nullopt);
                log_ << " (cancelled)";
            } else {
                const PictureFile& f = files_[pick(static_cast<int>(files_.size()))];
                fake.files.push_back(f.path);
                log_ << " " << f.path.filename().string();
                if (f.valid) {
                    model_ = Model{};
                    model_.current = 0;
                    model_.holds[0] = true;
                    model_.width = f.width;
                    model_.height = f.height;
                    for (int r = 0; r < 2; ++r) may_change_picture[r] = may_change_transform[r] = true;
                    expect_repaint = true;
                } else {
                    message_allowed = true;  // and everything stays as it was
                    ++coverage_.refused_opens;
                }
            }
        } else if (id == IDM_UNDO) {
            if (before.holds[other]) {
                model_.current = other;
                ++coverage_.undo_switches;
            }
            expect_repaint = true;
        } else if (id == IDM_EXIT) {
            model_ = Model{};
            for (int r = 0; r < 2; ++r) may_change_picture[r] = may_change_transform[r] = true;
        } else if (id == IDM_SAVE_AS) {
            // Writes the picture on display and changes nothing in the store.
            if (loaded) {
                const auto saved = files_.front().path.parent_path() / "saved.bmp";
                fake.files.push_back(chance(10) ? std::nullopt : std::optional(saved));
            }
        } else if (info != nullptr && loaded) {
            const int k = block_exponent_max(*session.images.current_image);
            const bool guarded = is_transform(id) && k < 1;
            if (!guarded && info->dialog.kind != DialogKind::None) {
                expect_dialog = true;
                value = answer(info->dialog.kind, k);
            }
            const bool answered = info->dialog.kind == DialogKind::None || value.has_value();
            const bool zero = value && *value == 0 && info->dialog.kind == DialogKind::Percent;
            const bool runs = !guarded && answered && !zero;
            if (runs) {
                if (is_forward(id)) {
                    expect_repaint = true;
                    if (before.pending[cur] == TRANSFORM_NONE) {
                        model_.pending[cur] = state_of_forward(id);
                        may_change_picture[cur] = may_change_transform[cur] = true;
                        ++coverage_.forwards;
                    } else {
                        ++coverage_.ignored_forwards;
                    }
                } else if (is_inverse(id)) {
                    expect_repaint = true;
                    const std::int32_t p = before.pending[cur];
                    const bool fourier = p == TRANSFORM_FFT_LINEAR || p == TRANSFORM_FFT_2D;
                    const bool walsh = p == TRANSFORM_WALSH_LINEAR || p == TRANSFORM_WALSH_2D;
                    if ((id == IDM_FFT_INVERSE && fourier) || (id == IDM_WALSH_INVERSE && walsh)) {
                        model_.pending[cur] = TRANSFORM_NONE;
                        may_change_picture[cur] = may_change_transform[cur] = true;
                        ++coverage_.inverses;
                    }
                } else if (id != IDM_SEGMENT) {
                    expect_repaint = true;
                    if (before.pending[cur] != TRANSFORM_NONE || before.pending[other] != TRANSFORM_NONE)
                        ++coverage_.operations_over_pending;
                    model_.holds[other] = true;
                    model_.current = other;
                    may_change_picture[other] = true;
                }
            }
        }

        run_command(session, kFakeWindow, id);
        if (id == IDM_EXIT) {
            if (fake.destroys == 0) return "exit did not destroy the window";
            fake.destroys = 0;
            session.images.release_all_images();  // what the front end's destroy handling does
        }
        if (!fake.dialog_answers.empty() && expect_dialog) return "the dialog was not shown";
        return check(before, pictures, transforms, shown, may_change_picture, may_change_transform, expect_dialog,
                     fake.dialogs_shown + fake.kernel_dialogs_shown - dialogs, message_allowed, expect_repaint,
                     view_step ? 0 : fake.repaints - repaints);
    }

    std::string check(const Model& before, const std::uint64_t (&pictures)[2], const std::uint64_t (&transforms)[2],
                      const ImageRecord* shown, const bool (&may_change_picture)[2],
                      const bool (&may_change_transform)[2], bool expect_dialog, int dialogs, bool message_allowed,
                      bool expect_repaint, int repaints)
    {
        std::ostringstream why;
        if (auto r = store_invariants_hold(session); !r) return r.message();
        const ImageRecord* want = model_.current < 0 ? nullptr : &record(model_.current);
        if (session.images.current_image != want) {
            why << "on display: " << (session.images.current_image == &session.images.image_a ? "image_a" : session.images.current_image ? "image_b" : "nothing")
                << ", model says " << (want == &session.images.image_a ? "image_a" : want ? "image_b" : "nothing");
            return why.str();
        }
        for (int r = 0; r < 2; ++r) {
            const char* name = r == 0 ? "image_a" : "image_b";
            if (bool(record(r).pixels) != model_.holds[r])
                return std::string(name) + (model_.holds[r] ? " lost its pixels" : " holds pixels it should not");
            if (record(r).transform_state != model_.pending[r]) {
                why << name << " transform_state " << record(r).transform_state << ", model says "
                    << model_.pending[r];
                return why.str();
            }
            if (!may_change_picture[r] && picture_print(record(r)) != pictures[r])
                return std::string(name) + "'s picture changed";
            if (!may_change_transform[r] && transform_print(record(r)) != transforms[r])
                return std::string(name) + "'s pending transform changed";
        }
        if (want != nullptr && (want->width != model_.width || want->height != model_.height)) {
            why << "size " << want->width << "x" << want->height << ", loaded " << model_.width << "x"
                << model_.height;
            return why.str();
        }
        if (dialogs != (expect_dialog ? 1 : 0)) return expect_dialog ? "no dialog shown" : "an unexpected dialog";
        if (!message_allowed && !fake.messages.empty()) return "unexpected message: " + fake.messages[0].text;
        if (expect_repaint && repaints == 0) return "no repaint";
        if (!expect_repaint && repaints != 0 && before.current == model_.current && shown == session.images.current_image &&
            fake.messages.empty())
            return "a repaint after a step that changed nothing";
        return {};
    }

    std::mt19937_64 rng_;
    const std::vector<PictureFile>& files_;
    Coverage& coverage_;
    Session session;
    Model model_;
    std::ostringstream log_;
};

std::uint64_t env_number(const char* name, std::uint64_t fallback)
{
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0') return fallback;
    if (std::string(v) == "random") return std::random_device{}();
    return std::strtoull(v, nullptr, 10);
}

TEST(Soak, RandomSessionsKeepTheStoreConsistentWithItsModel)
{
    const std::vector<PictureFile> files = make_files();
    const std::uint64_t base = env_number("LUMAFORGE_SOAK_SEED", 20240611);
    const std::uint64_t limit = env_number("LUMAFORGE_SOAK_SEQUENCES", 1000000);
    const auto budget = std::chrono::duration<double>(static_cast<double>(env_number("LUMAFORGE_SOAK_SECONDS", 3)));
    const auto start = std::chrono::steady_clock::now();

    std::uint64_t sequences = 0, steps = 0;
    Coverage coverage;
    for (; sequences < limit && std::chrono::steady_clock::now() - start < budget; ++sequences) {
        const std::uint64_t seed = base + sequences;
        const int length = 10 + static_cast<int>(seed % 41);
        RandomSession random_session(seed, files, coverage);
        reset_fake();
        const std::string fault = random_session.run(length);
        steps += static_cast<std::uint64_t>(length);
        if (!fault.empty()) {
            ADD_FAILURE() << "seed " << seed << " (rerun: LUMAFORGE_SOAK_SEED=" << seed
                          << " LUMAFORGE_SOAK_SEQUENCES=1): " << fault;
            break;
        }
    }
    RecordProperty("sequences", static_cast<int>(sequences));
    RecordProperty("steps", static_cast<int>(steps));
    RecordProperty("forward_transforms", static_cast<int>(coverage.forwards));
    RecordProperty("inverse_transforms", static_cast<int>(coverage.inverses));
    RecordProperty("forwards_ignored_while_pending", static_cast<int>(coverage.ignored_forwards));
    RecordProperty("operations_beside_a_pending_transform", static_cast<int>(coverage.operations_over_pending));
    RecordProperty("undo_switches", static_cast<int>(coverage.undo_switches));
    RecordProperty("refused_opens", static_cast<int>(coverage.refused_opens));
    if (::testing::Test::HasFailure() || limit < 200) return;
    EXPECT_GE(sequences, 200u) << "too few sequences in the time allowed";
    EXPECT_GT(coverage.undo_switches, 0u);
    EXPECT_GT(coverage.refused_opens, 0u);
    EXPECT_GT(coverage.forwards, 0u);
    EXPECT_GT(coverage.inverses, 0u);
    EXPECT_GT(coverage.ignored_forwards, 0u);
    EXPECT_GT(coverage.operations_over_pending, 0u);
}

}  // namespace
