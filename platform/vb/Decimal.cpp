#include "vb/Decimal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "vb/VbError.h"

namespace vb {

namespace {
using u128 = unsigned __int128;

constexpr u128 kLimit = u128(1) << 96;  // mantissas stay below this
constexpr int kMaxScale = 28;

// Divides by ten, rounding half to even.
u128 DivideByTenRounded(u128 value) {
    u128 quotient = value / 10;
    unsigned remainder = static_cast<unsigned>(value % 10);
    if (remainder > 5 || (remainder == 5 && (quotient & 1))) ++quotient;
    return quotient;
}
}  // namespace

Decimal::Decimal(int64_t value)
    : mantissa_(value < 0 ? u128(-(value + 1)) + 1 : u128(value)), scale_(0), negative_(value < 0) {}

Decimal::Decimal(u128 mantissa, int scale, bool negative)
    : mantissa_(mantissa), scale_(scale), negative_(negative && mantissa != 0) {}

// Brings a mantissa below 2^96 and the scale into range, giving up digits
// (rounded half to even) only where it must; overflow when scale 0 is not enough.
Decimal Decimal::Normalised(u128 mantissa, int scale, bool negative) {
    while (scale > kMaxScale || (mantissa >= kLimit && scale > 0)) {
        mantissa = DivideByTenRounded(mantissa);
        --scale;
    }
    if (mantissa >= kLimit) Raise(err::kOverflow);
    while (scale > 0 && mantissa % 10 == 0) {
        mantissa /= 10;
        --scale;
    }
    return Decimal(mantissa, scale, negative);
}

Decimal Decimal::FromDouble(double value) {
    if (!std::isfinite(value)) Raise(err::kOverflow);
    if (value == 0.0) return Decimal();
    // 15 significant digits: d.dddddddddddddde±x
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
    u128 mantissa = 0;
    char* p = buffer;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') mantissa = mantissa * 10 + u128(*p - '0');
    }
    int exponent = std::atoi(p + 1);
    int scale = 14 - exponent;
    if (scale < 0) {
        for (int i = 0; i < -scale; ++i) {
            mantissa *= 10;
            if (mantissa >= kLimit) Raise(err::kOverflow);
        }
        scale = 0;
    }
    return Normalised(mantissa, scale, value < 0);
}

Decimal Decimal::Parse(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    u128 mantissa = 0;
    int scale = 0;
    bool digits = false, point = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (mantissa < kLimit) {
                mantissa = mantissa * 10 + u128(c - '0');
                if (point) ++scale;
            } else if (!point) {
                Raise(err::kOverflow);
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    while (i < text.size() && text[i] == ' ') ++i;
    if (!digits || i != text.size()) Raise(err::kTypeMismatch);
    return Normalised(mantissa, scale, negative);
}

std::string Decimal::ToString() const {
    std::string digits;
    u128 m = mantissa_;
    do {
        digits.push_back(char('0' + int(m % 10)));
        m /= 10;
    } while (m != 0);
    while (static_cast<int>(digits.size()) <= scale_) digits.push_back('0');
    std::reverse(digits.begin(), digits.end());
    if (scale_ > 0) digits.insert(digits.end() - scale_, '.');
    // Strip zeros after the point that a non-normalised value may carry.
    if (scale_ > 0) {
        while (digits.back() == '0') digits.pop_back();
        if (digits.back() == '.') digits.pop_back();
    }
    return (IsNegative() ? "-" : "") + digits;
}

double Decimal::ToDouble() const { return std::strtod(ToString().c_str(), nullptr); }

Decimal Decimal::operator-() const { return Decimal(mantissa_, scale_, !negative_); }

Decimal operator+(const Decimal& a, const Decimal& b) {
    using u128 = Decimal::u128;
    u128 ma = a.mantissa_, mb = b.mantissa_;
    int sa = a.scale_, sb = b.scale_;
    // Align the scales: raise the smaller one while the mantissa has room,
    // then lower the larger one (rounding) for what is left.
    constexpr u128 kRoom = (u128(1) << 123) / 10;
    while (sa < sb && ma < kRoom) {
        ma *= 10;
        ++sa;
    }
    while (sb < sa && mb < kRoom) {
        mb *= 10;
        ++sb;
    }
    while (sa > sb) {
        ma = DivideByTenRounded(ma);
        --sa;
    }
    while (sb > sa) {
        mb = DivideByTenRounded(mb);
        --sb;
    }
    bool negA = a.IsNegative(), negB = b.IsNegative();
    if (negA == negB) return Decimal::Normalised(ma + mb, sa, negA);
    if (ma >= mb) return Decimal::Normalised(ma - mb, sa, negA);
    return Decimal::Normalised(mb - ma, sa, negB);
}

Decimal operator-(const Decimal& a, const Decimal& b) { return a + (-b); }

bool operator==(const Decimal& a, const Decimal& b) { return (a - b).IsZero(); }

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
    Decimal d = a - b;
    if (d.IsZero()) return std::strong_ordering::equal;
    return d.IsNegative() ? std::strong_ordering::less : std::strong_ordering::greater;
}

}  // namespace vb
