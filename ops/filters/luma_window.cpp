#include "ops/filters/luma_window.h"

#include <cmath>

namespace luma_filters {

namespace {

struct RootTable {
    std::uint8_t v[kRootTableSize];
    RootTable()
    {
        for (std::uint32_t n = 0; n < kRootTableSize; ++n) {
            const int r = static_cast<int>(std::sqrt(static_cast<double>(n)) + 0.5);
            v[n] = static_cast<std::uint8_t>(r > 255 ? 255 : r);
        }
    }
};

}  // namespace

const std::uint8_t* rounded_root_table()
{
    static const RootTable table;
    return table.v;
}

}  // namespace luma_filters
