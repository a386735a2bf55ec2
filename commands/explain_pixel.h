// "How was this pixel computed?" for the picture on display: the panels of
// the front ends and lumaforge-cli --explain ask here.
//
// The answer comes from the command that made the picture (the session keeps
// it per record, commands/session.h) and that command's own explain function
// (its row of the command table), run on the record it read. A picture
// opened from a file has nothing to explain; one whose source record has
// been written over since says so rather than explain from the wrong
// picture. Undo brings back a picture together with its explanation.
#pragma once

#include <optional>

#include "commands/session.h"
#include "ops/explain.h"

// Pixel (x, y), x from the left and y from the top of the picture on
// display; nothing when no picture is shown or (x, y) lies outside it.
std::optional<Explanation> explain_pixel(const Session& session, int x, int y);
