// The tests' front end: the headless platform (shell/headless/), which
// records what the core shows and answers dialogs from a script, under the
// name the tests use for it, and a fixture giving each test case a fresh
// session and a fresh fake.
#pragma once

#include <gtest/gtest.h>

#include "commands/session.h"
#include "shell/headless/headless_platform.h"

inline HeadlessPlatform& fake = headless;
inline WindowHandle const kFakeWindow = &headless;

// Nothing recorded, nothing scripted.
inline void reset_fake() { headless = HeadlessPlatform{}; }

class SessionTest : public ::testing::Test {
protected:
    SessionTest() { reset_fake(); }
    ~SessionTest() override { reset_fake(); }

    Session session;
};
