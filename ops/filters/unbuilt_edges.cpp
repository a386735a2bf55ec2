// Placeholders until these filters land: each refuses.
#include "ops/operations.h"
bool roberts_filter(const ImageRecord&, ImageRecord&) { return false; }
bool sobel_filter(const ImageRecord&, ImageRecord&) { return false; }
bool kirsch_filter(const ImageRecord&, ImageRecord&) { return false; }
bool wallis_filter(const ImageRecord&, ImageRecord&) { return false; }
bool linear_filter(const ImageRecord&, ImageRecord&) { return false; }
bool laplace_filter(const ImageRecord&, ImageRecord&) { return false; }
bool add_noise(const ImageRecord&, ImageRecord&, std::int32_t) { return false; }
void set_noise_seed(bool, std::uint32_t) {}
