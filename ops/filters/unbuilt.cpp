// Placeholders until the filters land: every filter refuses.
#include "ops/operations.h"
bool roberts_filter(const ImageRecord&, ImageRecord&) { return false; }
bool sobel_filter(const ImageRecord&, ImageRecord&) { return false; }
bool kirsch_filter(const ImageRecord&, ImageRecord&) { return false; }
bool wallis_filter(const ImageRecord&, ImageRecord&) { return false; }
bool linear_filter(const ImageRecord&, ImageRecord&) { return false; }
bool laplace_filter(const ImageRecord&, ImageRecord&) { return false; }
bool statistical_filter(const ImageRecord&, ImageRecord&, std::uint8_t) { return false; }
bool smooth_2d(const ImageRecord&, ImageRecord&, std::uint8_t) { return false; }
bool smooth_linear(const ImageRecord&, ImageRecord&, std::uint8_t) { return false; }
bool median_linear(const ImageRecord&, ImageRecord&, std::uint8_t) { return false; }
bool median_2d(const ImageRecord&, ImageRecord&, std::uint8_t) { return false; }
bool add_noise(const ImageRecord&, ImageRecord&, std::int32_t) { return false; }
void set_noise_seed(bool, std::uint32_t) {}
