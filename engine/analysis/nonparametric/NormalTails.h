// Probabilities of the standard normal distribution that the rank and sign
// tests read off the engine's probability library. Every tail is formed
// directly, never as one minus a central probability, so that a p-value far
// out keeps its digits and is 0 only below the smallest Double.
#pragma once

#include <cmath>

#include "numeric/CZValue.h"

// P(Z <= z): the lower tail itself for z < 0.
inline double NormalDistribution(CZValue& zv, double z) {
    if (z >= 0) return 0.5 + zv.Quarn_CalcProb("Z", z, 0, 0) / 2;
    return zv.Quarn_NormalUpperTail(-z);
}

// P(Z >= |z|): one tail beyond |z|.
inline double NormalOneTail(CZValue& zv, double z) { return zv.Quarn_NormalUpperTail(std::fabs(z)); }

// P(|Z| >= |z|): both tails beyond |z|.
inline double NormalTwoTails(CZValue& zv, double z) { return zv.Quarn_NormalTail(z); }
