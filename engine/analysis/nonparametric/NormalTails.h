// Probabilities of the standard normal distribution that the rank and sign
// tests read off the engine's central probability ("Z": P(|Z| < |z|)).
#pragma once

#include <cmath>

#include "numeric/CZValue.h"
#include "numeric/Numerics.h"

// P(Z <= z).
inline double NormalDistribution(CZValue& zv, double z) {
    if (z >= 0) return 0.5 + zv.Quarn_CalcProb("Z", z, 0, 0) / 2;
    return PreciseDifference(0.5, zv.Quarn_CalcProb("Z", -z, 0, 0) / 2);
}

// P(Z >= |z|): one tail beyond |z|.
inline double NormalOneTail(CZValue& zv, double z) {
    return PreciseDifference(0.5, zv.Quarn_CalcProb("Z", std::fabs(z), 0, 0) / 2);
}

// P(|Z| >= |z|): both tails beyond |z|.
inline double NormalTwoTails(CZValue& zv, double z) {
    return PreciseDifference(1, zv.Quarn_CalcProb("Z", std::fabs(z), 0, 0));
}
