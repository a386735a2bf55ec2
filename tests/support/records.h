// Checks over the image store for the reliability tests: byte-for-byte
// comparison of records, the store's invariants, and opening a picture the
// way the user does (through the open command and the fake file chooser).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "commands/session.h"
#include "image/image_record.h"

// Equal fields, equal pixel blocks and equal coefficient planes (presence,
// length and bytes); the message names the first difference.
::testing::AssertionResult same_record(const ImageRecord& expected, const ImageRecord& actual);

// The invariants of the two working records: a record on display holds
// pixels; nothing on display means neither record holds any; every block
// held has the size fields of the loaded picture; transform_state is
// non-zero exactly while its planes are held, each of block_size^2 values.
::testing::AssertionResult store_invariants_hold(const Session& session);

// Writes `record` as a BMP and opens it through run_command's open
// command; true when it is then on display in image_a.
bool open_picture(Session& session, const ImageRecord& record);

// Gives a record a pending transform of `state` over an n x n block, as a
// forward transform leaves it, with recognisable plane contents.
void give_pending_transform(ImageRecord& record, std::int32_t state, std::int32_t n);

// True when the client area shows nothing but white.
bool client_area_is_blank(const Session& session);
