// The old runtime's decimal type: a 96-bit unsigned mantissa, a sign and a
// power-of-ten scale from 0 to 28. Converting a Double keeps 15 significant
// digits (the digits the Double reliably carries), so differences of sums
// computed here are exact where a Double subtraction would leave noise:
// 0.3 - (0.1 + 0.2) is exactly 0.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace vb {

class Decimal {
public:
    Decimal() = default;
    Decimal(int64_t value);  // NOLINT: implicit like the runtime's conversions

    // Keeps 15 significant digits, rounding half to even; overflow (error 6)
    // for magnitudes at or above 2^96, and for non-finite values.
    static Decimal FromDouble(double value);
    // Parses "-123.456" (C locale); error 13 on anything else.
    static Decimal Parse(const std::string& text);

    double ToDouble() const;
    std::string ToString() const;  // plain notation, no trailing zeros

    Decimal operator-() const;
    // Exact while the result fits 96 bits at some scale; otherwise the scale is
    // reduced with rounding half to even, and error 6 when even scale 0 overflows.
    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b);
    Decimal& operator+=(const Decimal& b) { return *this = *this + b; }
    Decimal& operator-=(const Decimal& b) { return *this = *this - b; }

    friend bool operator==(const Decimal& a, const Decimal& b);
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);

    bool IsZero() const { return mantissa_ == 0; }
    bool IsNegative() const { return negative_ && mantissa_ != 0; }
    int Scale() const { return scale_; }

private:
    using u128 = unsigned __int128;
    Decimal(u128 mantissa, int scale, bool negative);
    static Decimal Normalised(u128 mantissa, int scale, bool negative);

    u128 mantissa_ = 0;  // below 2^96
    int scale_ = 0;      // 0..28
    bool negative_ = false;
};

}  // namespace vb
