// Wallis filter: a logarithmic ratio of the centre's luma to its four direct
// neighbours, grey, inside the one-pixel frame.
//
//   ratio = c^4 / (above * left * right * below)
//   V     = trunc(ln(ratio + 0.5) * 0.25 * 800), 255 when outside 0..255
//
// Both products reach 255^4, past 32 bits but exact in a double. The ratio
// is undefined when a neighbour is black; such positions get 255, as the
// clamp gives every ratio far from 1.
//
// V is a step function of the ratio with 256 steps, at
//   t(-1) = e^(-1/200) - 0.5   (below: W <= -1, so 255; above: 0)
//   t(k)  = e^(k/200) - 0.5    for k = 1 .. 255 (V becomes k)
// all between 0.495 and 3.079 and at least 0.0049 apart. Away from the steps
// the double expression, whose error is a few units in the last place, lands
// on the same side of each step as the exact one, so counting the steps
// below the ratio gives V; only ratios within a relative 1e-9 of a step take
// the logarithm. The steps are found through bins of 1/512, narrower than
// any gap between them, so each bin holds at most one step.
#include "ops/filters/wallis.h"

#include <cmath>
#include <limits>

#include "ops/filters/luma_window.h"
#include "ops/operations.h"

namespace {

constexpr double kBase = 0.49;           // below t(-1): every ratio under it gives 255
constexpr double kBinsPerUnit = 512.0;   // a power of two: the scaling is exact
constexpr int kBins = 1330;              // up to 3.0877, past t(255)
constexpr double kNear = 1e-9;

struct Bin {
    double step = std::numeric_limits<double>::infinity();  // the step inside this bin, if any
    double near_low = 1.0, near_high = 0.0;                  // ratios too close to a step
    int steps_below = 0;                                     // steps in earlier bins
};

int bin_of(double ratio) { return static_cast<int>((ratio - kBase) * kBinsPerUnit); }

// Number of steps at or below a ratio -> V.
std::uint8_t level(int steps)
{
    if (steps == 0) return 255;
    return static_cast<std::uint8_t>(steps - 1 > 255 ? 255 : steps - 1);
}

struct StepTable {
    Bin bins[kBins];
    StepTable()
    {
        int steps_per_bin[kBins] = {};
        for (int k = -1; k <= 255; ++k) {
            if (k == 0) continue;  // W in (-1, 1) truncates to 0: no step at W = 0
            const double step = std::exp(k / 200.0) - 0.5;
            const int b = bin_of(step);
            bins[b].step = step;
            ++steps_per_bin[b];
            // bin_of grows with the ratio, so the bins from that of
            // step - margin to that of step + margin hold every ratio near it.
            const double margin = step * kNear;
            for (int n = bin_of(step - margin); n <= bin_of(step + margin); ++n) {
                bins[n].near_low = step - margin;
                bins[n].near_high = step + margin;
            }
        }
        for (int b = 1; b < kBins; ++b) bins[b].steps_below = bins[b - 1].steps_below + steps_per_bin[b - 1];
    }
};

const StepTable& step_table()
{
    static const StepTable table;
    return table;
}

}  // namespace

std::uint8_t wallis_value_direct(double ratio)
{
    const int v = static_cast<int>(std::log(ratio + 0.5) * 0.25 * 800.0);
    return static_cast<std::uint8_t>(v < 0 || v > 255 ? 255 : v);
}

std::uint8_t wallis_value(double ratio)
{
    if (!(ratio >= kBase)) return 255;
    const double scaled = (ratio - kBase) * kBinsPerUnit;
    if (scaled >= kBins) return 255;
    const Bin& bin = step_table().bins[static_cast<int>(scaled)];
    if (ratio >= bin.near_low && ratio <= bin.near_high) return wallis_value_direct(ratio);
    return level(bin.steps_below + (ratio >= bin.step));
}

bool wallis_filter(const ImageRecord& source, ImageRecord& destination)
{
    step_table();  // built once, before the threads read it
    return luma_filters::run_3x3(
        source, destination,
        [](const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u, std::size_t n, std::uint8_t* out) {
            for (std::size_t i = 0; i < n; ++i) {
                const std::int64_t p = std::int64_t{u[i + 1]} * m[i] * m[i + 2] * d[i + 1];
                if (p == 0) {
                    out[i] = 255;
                    continue;
                }
                const double c2 = static_cast<double>(m[i + 1]) * m[i + 1];
                out[i] = wallis_value((c2 * c2) / static_cast<double>(p));
            }
        });
}
