// The kernel of the user's own, written literally: its own luma plane, every
// window read afresh, the quotient rounded by the C library (lround: halves
// away from zero) from a double, each rule as stated. Follows the operation
// protocol of the other references (a fresh destination gets a zero-filled
// block).
#pragma once

#include "image/image_record.h"
#include "ops/filters/custom_kernel.h"

namespace reference {

void custom_kernel(const ImageRecord& source, ImageRecord& destination, const CustomKernel& kernel);

}  // namespace reference
