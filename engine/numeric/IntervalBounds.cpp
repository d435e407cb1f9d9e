#include "numeric/IntervalBounds.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

// A decimal: sign, digits of its whole magnitude, and a power of ten.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

// The digits of text ("-1.25e-07") as a whole number and its power of ten.
Decimal DecimalOf(const char* text, const char* end) {
    Decimal d;
    const char* p = text;
    if (p < end && *p == '-') {
        d.negative = true;
        ++p;
    }
    int fraction = 0;
    bool point = false;
    for (; p < end && *p != 'e'; ++p) {
        if (*p == '.') {
            point = true;
        } else {
            d.digits.push_back(*p);
            if (point) ++fraction;
        }
    }
    const int power = p < end ? std::atoi(std::string(p + 1, end).c_str()) : 0;
    d.exponent = power - fraction;
    return d;
}

// The shortest decimal that reads back as x: the number as typed.
Decimal TypedDecimal(double x) {
    char text[40];
    const auto r = std::to_chars(text, text + sizeof text, x, std::chars_format::scientific);
    return DecimalOf(text, r.ptr);
}

// The nearest Double of a decimal (correctly rounded; no decimal point, so
// the locale's separator does not matter).
double NearestDouble(const Decimal& d) {
    const std::string text = (d.negative ? "-" : "") + d.digits + "e" + std::to_string(d.exponent);
    return std::strtod(text.c_str(), nullptr);
}

// Whole numbers in decimal digits, most significant first.
std::string TrimZeros(std::string a) {
    const size_t lead = a.find_first_not_of('0');
    return lead == std::string::npos ? "0" : a.substr(lead);
}

bool Below(const std::string& a, const std::string& b) { return a.size() != b.size() ? a.size() < b.size() : a < b; }

std::string Add(const std::string& a, const std::string& b) {
    std::string sum;
    int carry = 0;
    for (size_t i = 0; i < std::max(a.size(), b.size()) || carry; ++i) {
        const int da = i < a.size() ? a[a.size() - 1 - i] - '0' : 0;
        const int db = i < b.size() ? b[b.size() - 1 - i] - '0' : 0;
        const int s = da + db + carry;
        sum.push_back(static_cast<char>('0' + s % 10));
        carry = s / 10;
    }
    std::reverse(sum.begin(), sum.end());
    return TrimZeros(sum);
}

// a - b for a >= b.
std::string Subtract(const std::string& a, const std::string& b) {
    std::string difference = a;
    int borrow = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const size_t at = a.size() - 1 - i;
        int d = (a[at] - '0') - borrow - (i < b.size() ? b[b.size() - 1 - i] - '0' : 0);
        borrow = d < 0 ? 1 : 0;
        if (d < 0) d += 10;
        difference[at] = static_cast<char>('0' + d);
    }
    return TrimZeros(difference);
}

std::string Times(const std::string& a, int64_t m) {
    std::string product;
    int64_t carry = 0;
    for (size_t i = 0; i < a.size() || carry; ++i) {
        const int64_t p = (i < a.size() ? a[a.size() - 1 - i] - '0' : 0) * m + carry;
        product.push_back(static_cast<char>('0' + p % 10));
        carry = p / 10;
    }
    std::reverse(product.begin(), product.end());
    return TrimZeros(product);
}

// a + b exactly.
Decimal Sum(Decimal a, Decimal b) {
    const int exponent = std::min(a.exponent, b.exponent);
    a.digits.append(static_cast<size_t>(a.exponent - exponent), '0');
    b.digits.append(static_cast<size_t>(b.exponent - exponent), '0');
    Decimal s{.negative = a.negative, .digits = {}, .exponent = exponent};
    if (a.negative == b.negative) {
        s.digits = Add(a.digits, b.digits);
    } else if (Below(TrimZeros(a.digits), TrimZeros(b.digits))) {
        s.negative = b.negative;
        s.digits = Subtract(TrimZeros(b.digits), TrimZeros(a.digits));
    } else {
        s.digits = Subtract(TrimZeros(a.digits), TrimZeros(b.digits));
    }
    return s;
}

}  // namespace

double IntervalBound(double dblFirst, double dblWidth, int i) {
    const double step = dblWidth * i;
    return std::isfinite(step) ? dblFirst + step : 2 * (dblWidth / 2 * i + dblFirst / 2);
}

double WrittenDouble(double x) {
    if (!std::isfinite(x) || x == 0) return x;
    char text[40];
    const auto r = std::to_chars(text, text + sizeof text, x, std::chars_format::scientific, 14);
    const double written = NearestDouble(DecimalOf(text, r.ptr));
    return std::isfinite(written) ? written : x;
}

IntervalBounds::IntervalBounds(int16_t n, double dblFirst, double dblWidth, bool fDefault)
    : n_(n < 0 ? int16_t(0) : n), sign_(dblWidth < 0 ? -1 : 1), bounds_(static_cast<size_t>(n_) + 1) {
    if (fDefault) {
        for (int j = 0; j <= n_; ++j)
            bounds_[static_cast<size_t>(j)] = WrittenDouble(IntervalBound(dblFirst, dblWidth, j));
        // Bounds that 15 digits cannot tell apart are written with every
        // digit (the describe column names show them so).
        if (std::adjacent_find(bounds_.begin(), bounds_.end()) != bounds_.end()) {
            for (int j = 0; j <= n_; ++j) bounds_[static_cast<size_t>(j)] = IntervalBound(dblFirst, dblWidth, j);
        }
    } else {
        const Decimal first = TypedDecimal(dblFirst);
        const Decimal width = TypedDecimal(dblWidth);
        for (int j = 0; j <= n_; ++j) {
            Decimal step = width;
            step.digits = Times(width.digits, j);
            bounds_[static_cast<size_t>(j)] = NearestDouble(Sum(first, step));
        }
    }
    for (double& b : bounds_) b *= sign_;
}

bool IntervalBounds::Held() const {
    return std::all_of(bounds_.begin(), bounds_.end(), [](double b) { return std::isfinite(b); });
}

bool IntervalBounds::Distinct() const {
    return Held() && std::adjacent_find(bounds_.begin(), bounds_.end()) == bounds_.end();
}

int32_t IntervalBounds::Bin(double x, bool fLowerInclusive) const {
    const double v = sign_ * x;
    const auto at = fLowerInclusive ? std::upper_bound(bounds_.begin(), bounds_.end(), v)
                                    : std::lower_bound(bounds_.begin(), bounds_.end(), v);
    return static_cast<int32_t>(at - bounds_.begin());
}
