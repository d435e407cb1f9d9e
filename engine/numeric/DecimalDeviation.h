// Differences of the decimals that values were typed or imported as, the one
// source of the deviations every variance, sum of squares and least-squares
// fit is formed from.
//
// A Double read from "1000000.3" is not 1000000.3 but the nearest binary
// number; the difference of two such values in binary carries the error of
// both (1000000.3 - 1000000.2 gives 0.10000000009313226). Each value is split
// once into its Double and the correction that makes it the decimal of at
// most 15 significant digits it stands for; deviations are then formed from
// both parts, so that 1000000.3 - 1000000.2 is 0.1. A value with more digits
// than that (a computed one, such as 1/3) keeps its binary value.
#pragma once

#include <cstdint>

// A value with the correction that turns it into the decimal it stands for:
// decimal = value + correction (0 when the value is not the nearest Double of
// a decimal of at most 15 significant digits).
struct DecimalValue {
    double value = 0;
    double correction = 0;
};

DecimalValue SplitDecimal(double x);

// x - shift as decimals: exact but for the rounding of the result (and the
// corrections' own, some 2^-105 of the values).
inline double DecimalDeviation(const DecimalValue& x, const DecimalValue& shift) {
    return (x.value - shift.value) + (x.correction - shift.correction);
}

// The same in the extended type, for the least-squares factor.
inline long double DecimalDeviationExtended(const DecimalValue& x, const DecimalValue& shift) {
    return (static_cast<long double>(x.value) - static_cast<long double>(shift.value)) +
           (static_cast<long double>(x.correction) - static_cast<long double>(shift.correction));
}

// The decimal itself in the extended type.
inline long double DecimalExtended(const DecimalValue& x) {
    return static_cast<long double>(x.value) + static_cast<long double>(x.correction);
}

// a - b as the decimals they stand for.
inline double DecimalDifference(double a, double b) { return DecimalDeviation(SplitDecimal(a), SplitDecimal(b)); }

// The 15-significant-digit decimal nearest x as mantissa * 10^-scale, for
// magnitudes from 1e-8 below 1e15 (and 0); false outside that range and in
// the rare case where x lies too near the midpoint of two such decimals for
// the fast form to decide.
bool DecimalDigits15(double x, int64_t& mantissa, int& scale);

// a - b as PreciseDifference forms it, for operands that DecimalDigits15
// takes: both cut to 15 significant digits, subtracted exactly, the
// difference rounded once to Double. False, with d untouched, for other
// operands and for differences too long for a Double to hold exactly.
bool DecimalDigits15Difference(double a, double b, double& d);
