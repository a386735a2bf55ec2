// Placeholders until these filters land: each refuses.
#include "ops/operations.h"
bool statistical_filter(const ImageRecord&, ImageRecord&, std::uint8_t) { return false; }
bool smooth_2d(const ImageRecord&, ImageRecord&, std::uint8_t) { return false; }
bool smooth_linear(const ImageRecord&, ImageRecord&, std::uint8_t) { return false; }
bool median_linear(const ImageRecord&, ImageRecord&, std::uint8_t) { return false; }
bool median_2d(const ImageRecord&, ImageRecord&, std::uint8_t) { return false; }
