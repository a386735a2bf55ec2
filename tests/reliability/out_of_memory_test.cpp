// Exhausted memory: for every image command of the command table, the n-th
// allocation of the command fails, for every n the command makes. The
// command must then be refused with its message and leave both records
// (bytes, fields, planes), the selector and the window exactly as they were;
// or, where an operation can do without that buffer, finish with the very
// result it gives when nothing fails. Leaks are the asan build's to find.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "ops/operations.h"
#include "tests/support/fake_platform.h"
#include "tests/support/images.h"
#include "tests/support/records.h"
#include "image/test_seam.h"

namespace {

bool needs_image(const CommandRow& c)
{
    return c.id != IDM_EXIT && c.id != IDM_OPEN && c.id != IDM_UNDO && !tells_only(c);
}

// Answers that make every dialog command run (brightness and contrast do
// nothing at 0, their opening value).
void script_dialog(const CommandRow& c)
{
    switch (c.dialog.kind) {
    case DialogKind::Threshold: fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 100}); break;
    case DialogKind::Percent: fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 40}); break;
    case DialogKind::Aperture: fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 5}); break;
    case DialogKind::NoisePoints: fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 600}); break;
    case DialogKind::BlockSize: fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 8}); break;
    default: break;
    }
}

// The forward transform whose result an inverse command consumes.
std::uint16_t forward_for(std::uint16_t inverse)
{
    if (inverse == IDM_FFT_INVERSE) return IDM_FFT_2D;
    if (inverse == IDM_WALSH_INVERSE) return IDM_WALSH_2D;
    return 0;
}

struct State {
    ImageRecord a, b;
    ImageRecord* current = nullptr;
    static State now(const Session& session)
    {
        return {clone(session.images.image_a), clone(session.images.image_b), session.images.current_image};
    }
};

::testing::AssertionResult same_state(const Session& session, const State& expected)
{
    if (session.images.current_image != expected.current) return ::testing::AssertionFailure() << "the selector moved";
    if (auto r = same_record(expected.a, session.images.image_a); !r) return ::testing::AssertionFailure() << "image_a: " << r.message();
    if (auto r = same_record(expected.b, session.images.image_b); !r) return ::testing::AssertionFailure() << "image_b: " << r.message();
    return ::testing::AssertionSuccess();
}

struct Scenario {
    const char* name;
    std::function<void(Session&)> prepare;  // leaves a picture on display
};

class OutOfMemory : public SessionTest {
protected:
    void SetUp() override { session.noise_seed = 99; }
    void TearDown() override { test_seam::heap_fail_at(0); }

    // Prepares the scenario and, for an inverse, the pending transform it
    // needs.
    void prepare(const Scenario& s, const CommandRow& c)
    {
        s.prepare(session);
        if (const std::uint16_t forward = forward_for(c.id)) {
            fake.dialog_answers.push_back({DialogAnswer::OkAtValue, 8});
            run_command(session, kFakeWindow, forward);
            EXPECT_NE(session.images.current_image->transform_state, TRANSFORM_NONE) << "the forward transform ran";
        }
        reset_fake();
    }

    void run(const CommandRow& c, std::uint64_t fail_at)
    {
        script_dialog(c);
        test_seam::heap_fail_at(fail_at);
        run_command(session, kFakeWindow, c.id);
        allocations_ = test_seam::heap_allocation_count();
        test_seam::heap_fail_at(0);
    }

    // Returns a note for the summary: how many failure points were tried.
    std::string exercise(const Scenario& s, const CommandRow& c)
    {
        prepare(s, c);
        run(c, 0);
        if (!fake.messages.empty()) {
            ADD_FAILURE() << "refused with no allocation failing: " << fake.messages[0].text;
            return "failed";
        }
        const State after = State::now(session);
        const std::vector<WindowLine> lines = fake.lines;
        const std::uint64_t count = allocations_;

        for (std::uint64_t n = 1; n <= count; ++n) {
            SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(count) + " fails");
            prepare(s, c);
            const State before = State::now(session);
            run(c, n);
            EXPECT_TRUE(store_invariants_hold(session));
            if (fake.messages.empty()) {
                // Done without that buffer: the result must be the same.
                EXPECT_TRUE(same_state(session, after));
                EXPECT_EQ(fake.lines.size(), lines.size());
                continue;
            }
            EXPECT_EQ(fake.messages.size(), 1u);
            EXPECT_EQ(fake.messages[0].caption, kErrorCaption);
            EXPECT_EQ(fake.messages[0].text, kOutOfMemory);
            EXPECT_TRUE(same_state(session, before)) << "a refused command changed the store";
            EXPECT_TRUE(fake.lines.empty()) << "a refused segmentation drew frames";
            if (::testing::Test::HasFailure()) return "failed";
        }
        return std::to_string(count) + " failure points";
    }

    std::uint64_t allocations_ = 0;
};

TEST_F(OutOfMemory, EveryImageCommandIsRefusedWithoutChangingAnything)
{
    const Scenario scenarios[] = {
        {"picture only",
         [](Session& session) { ASSERT_TRUE(open_picture(session, random_record(37, 23, 5))); }},
        {"both records filled, a transform pending on the other",
         [](Session& session) {
             ASSERT_TRUE(open_picture(session, random_record(37, 23, 6)));
             run_command(session, kFakeWindow, IDM_NEGATIVE);
             run_command(session, kFakeWindow, IDM_UNDO);
             ASSERT_EQ(session.images.current_image, &session.images.image_a);
             ASSERT_TRUE(session.images.image_b.pixels);
             give_pending_transform(session.images.image_b, TRANSFORM_WALSH_2D, 8);
         }},
        {"a picture large enough to be split across threads",
         [](Session& session) { ASSERT_TRUE(open_picture(session, random_record(401, 203, 7))); }},
    };
    std::string summary;
    for (const Scenario& s : scenarios) {
        summary += std::string("\n") + s.name + ":";
        for (const CommandRow& c : command_table()) {
            if (!needs_image(c)) continue;
            SCOPED_TRACE(std::string(s.name) + ", " + c.name);
            summary += std::string("\n  ") + c.name + ": " + exercise(s, c);
        }
    }
    RecordProperty("summary", summary);
    if (std::getenv("LUMAFORGE_VERBOSE")) std::printf("%s\n", summary.c_str());
}

}  // namespace
