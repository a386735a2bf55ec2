// The inner sum of the statistical filter, shared with its tests: the order
// of its additions decides the last bits of the result, so it is checked
// term by term on its own.
#pragma once

#include <cstddef>

namespace window_filters {

// acc[j] = sum over window rows k = 0..n-1 and then columns i = 0..n-1 of
// (rows[k * row_length + i + j] - mean[j])^2, added in exactly that order,
// for every pixel j < count. Rows hold count + n - 1 values. Runs the copy
// for the current processor level (image/cpu_features.h).
void add_squared_deviations(const double* rows, std::size_t row_length, unsigned n, const double* mean,
                            std::size_t count, double* acc);

}  // namespace window_filters
