#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "ops/filters/wallis.h"

namespace {

TEST(WallisValue, StepsOfTheExpression)
{
    EXPECT_EQ(wallis_value_direct(1.0), 81);
    EXPECT_EQ(wallis_value_direct(2.0736), 189);
    EXPECT_EQ(wallis_value_direct(0.4096), 255);
    EXPECT_EQ(wallis_value_direct(16.0), 255);
    EXPECT_EQ(wallis_value_direct(0.0), 255);
    EXPECT_EQ(wallis_value_direct(0.5), 0);  // W = 0
    EXPECT_EQ(wallis_value_direct(0.496), 0) << "W in (-1, 0) truncates to 0";
    EXPECT_EQ(wallis_value_direct(0.494), 255) << "W below -1";
}

TEST(WallisValue, TableAgreesAtEveryStep)
{
    // Hundreds of doubles on either side of each step, where the expression's
    // own rounding decides.
    for (int k = -1; k <= 256; ++k) {
        double r = std::exp(k / 200.0) - 0.5;
        for (int i = 0; i < 300; ++i) r = std::nextafter(r, 0.0);
        for (int i = 0; i < 600; ++i, r = std::nextafter(r, 10.0))
            ASSERT_EQ(wallis_value(r), wallis_value_direct(r)) << "step " << k << " ratio " << r;
    }
}

TEST(WallisValue, TableAgreesEverywhere)
{
    // A dense scan over the whole range of steps and beyond.
    for (double r = 0.45; r < 3.2; r += 3.7e-7) ASSERT_EQ(wallis_value(r), wallis_value_direct(r)) << r;
    // Ratios that pictures produce: c^4 over products of four bytes.
    std::mt19937 rng(5);
    for (int i = 0; i < 3000000; ++i) {
        const double c = static_cast<double>(rng() % 256);
        double p = 1;
        for (int n = 0; n < 4; ++n) p *= static_cast<double>(rng() % 255 + 1);
        const double r = (c * c * c * c) / p;
        ASSERT_EQ(wallis_value(r), wallis_value_direct(r)) << r;
    }
}

}  // namespace
