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

#include <algorithm>
#include <cmath>
#include <limits>

#include "ops/filters/luma_window.h"
#include "ops/operations.h"
#include "text/catalogue.h"

namespace {

constexpr double kBase = 0.49;          // below t(-1): every ratio under it gives 255
constexpr double kBinsPerUnit = 512.0;  // a power of two: the scaling is exact
constexpr int kBins = 1330;             // up to 3.0877, past t(255)
constexpr double kNear = 1e-9;

// Bin 0 takes every ratio below kBase, bin kBins + 1 every ratio past the
// last; both hold no step. The mapping never decreases as the ratio grows,
// which is all the counting below relies on.
int bin_of(double ratio)
{
    const double scaled = std::clamp((ratio - kBase) * kBinsPerUnit, -1.0, static_cast<double>(kBins));
    return static_cast<int>(scaled + 1.0);
}

struct Bin {
    double step = std::numeric_limits<double>::infinity();  // the step inside this bin, if any
    double near = 0.0, margin = -1.0;                        // ratios within margin of near take the logarithm
    int steps_below = 0;                                     // steps in earlier bins
};

struct StepTable {
    Bin bins[kBins + 2];
    std::uint8_t level[258];  // number of steps at or below a ratio -> V

    StepTable()
    {
        int steps_in[kBins + 2] = {};
        for (int k = -1; k <= 255; ++k) {
            if (k == 0) continue;  // W in (-1, 1) truncates to 0: no step at W = 0
            const double step = std::exp(k / 200.0) - 0.5;
            const int b = bin_of(step);
            bins[b].step = step;
            ++steps_in[b];
            const double margin = step * kNear;
            for (int n = bin_of(step - margin); n <= bin_of(step + margin); ++n) {
                bins[n].near = step;
                bins[n].margin = margin;
            }
        }
        for (int b = 1; b < kBins + 2; ++b) bins[b].steps_below = bins[b - 1].steps_below + steps_in[b - 1];
        level[0] = 255;
        for (int n = 1; n < 258; ++n) level[n] = static_cast<std::uint8_t>(n - 1 > 255 ? 255 : n - 1);
    }
};

const StepTable& step_table()
{
    static const StepTable table;
    return table;
}

inline std::uint8_t value_by_steps(const StepTable& table, double ratio)
{
    const Bin& bin = table.bins[bin_of(ratio)];
    if (std::fabs(ratio - bin.near) <= bin.margin) return wallis_value_direct(ratio);
    return table.level[bin.steps_below + static_cast<int>(ratio >= bin.step)];
}

}  // namespace

std::uint8_t wallis_value_direct(double ratio)
{
    const int v = static_cast<int>(std::log(ratio + 0.5) * 0.25 * 800.0);
    return static_cast<std::uint8_t>(v < 0 || v > 255 ? 255 : v);
}

std::uint8_t wallis_value(double ratio) { return value_by_steps(step_table(), ratio); }

namespace {

struct WallisKernel {
    const StepTable& table;
    void operator()(const std::uint8_t* d, const std::uint8_t* m, const std::uint8_t* u, std::size_t n,
                    std::uint8_t* out) const
    {
        // The ratios first, in a loop of plain double arithmetic that the
        // compiler turns into vectors (a division is the costly part); then
        // the steps, a table lookup each. Every product is below 2^32, so
        // exact in a double. A black neighbour makes the ratio -1, which
        // lies below every step and gives 255.
        double ratio[luma_filters::kRun];
        for (std::size_t i = 0; i < n; ++i) {
            const double p = static_cast<double>(u[i + 1]) * m[i] * m[i + 2] * d[i + 1];
            const double c2 = static_cast<double>(m[i + 1]) * m[i + 1];
            ratio[i] = p == 0.0 ? -1.0 : (c2 * c2) / p;
        }
        for (std::size_t i = 0; i < n; ++i) out[i] = value_by_steps(table, ratio[i]);
    }
};

}  // namespace

bool wallis_filter(const ImageRecord& source, ImageRecord& destination)
{
    return luma_filters::run_3x3(source, destination, WallisKernel{step_table()});
}

Explanation explain_wallis(const PixelQuestion& q)
{
    Explanation e;
    luma_filters::Window3x3 w;
    if (!luma_filters::begin_3x3(q, e, w)) return e;
    const double c2 = static_cast<double>(w.c()) * w.c();
    const std::int64_t p = std::int64_t{w.above[1]} * w.row[0] * w.row[2] * w.below[1];
    explain::add_step(e, "centre_4", "c⁴", c2 * c2);
    explain::add_step(e, "product", "Произведение четырёх соседей P", static_cast<double>(p));
    if (p == 0) {
        e.note = text::tr("Сосед чёрный: отношение не определено, результат 255, как при любом отношении вне шкалы.");
    } else {
        const double ratio = (c2 * c2) / static_cast<double>(p);
        explain::add_step(e, "ratio", "Отношение c⁴ / P", ratio);
        explain::add_step(e, "log", "ln(отношение + 0,5)", std::log(ratio + 0.5));
        explain::add_step(e, "w", "W = ln(…)·0,25·800", std::log(ratio + 0.5) * 0.25 * 800.0);
    }
    e.result = explain::grey(luma_filters::kernel_value(w, WallisKernel{step_table()}));
    return e;
}
