// The Variant's conversions to numbers, texts, dates and decimals. They
// follow the runtime's conversion rules in vb/Conversions, which in turn take
// Variants: kept apart from Variant.cpp so that the Variant itself depends on
// no conversion routine.
#include <cmath>
#include <cstdio>

#include "vb/Conversions.h"
#include "vb/Variant.h"

namespace vb {

namespace {
// Exact text of a Currency: "-12.5" for -125000 ten-thousandths.
std::string CurrencyText(Currency c) {
    uint64_t magnitude = c.scaled < 0 ? uint64_t(0) - uint64_t(c.scaled) : uint64_t(c.scaled);
    std::string text = std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(10000 + magnitude % 10000).substr(1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) text += "." + fraction;
    return (c.scaled < 0 ? "-" : "") + text;
}
}  // namespace

bool Variant::IsNumeric() const {
    if (IsNumber() && Type() != vbDate) return true;
    if (IsEmpty()) return true;
    if (!IsString()) return false;
    try {
        CDbl(String());
        return true;
    } catch (const VbError&) {
        return false;
    }
}

double Variant::ToDouble() const {
    return std::visit(
        [](const auto& v) -> double {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return 0.0;
            else if constexpr (std::is_same_v<T, NullT>)
                Raise(err::kInvalidUseOfNull);
            else if constexpr (std::is_same_v<T, MissingT> || std::is_same_v<T, ObjectPtr>)
                Raise(err::kTypeMismatch);
            else if constexpr (std::is_same_v<T, bool>)
                return v ? -1.0 : 0.0;
            else if constexpr (std::is_same_v<T, Currency>)
                return v.ToDouble();
            else if constexpr (std::is_same_v<T, Date>)
                return v.serial;
            else if constexpr (std::is_same_v<T, Decimal>)
                return v.ToDouble();
            else if constexpr (std::is_same_v<T, std::string>) {
                if (EqualsNoCase(Trim(v), "True")) return -1.0;
                if (EqualsNoCase(Trim(v), "False")) return 0.0;
                return CDbl(v);
            } else
                return static_cast<double>(v);
        },
        value_);
}

int32_t Variant::ToLong() const { return CLng(ToDouble()); }
int16_t Variant::ToInteger() const { return CInt(ToDouble()); }

bool Variant::ToBool() const {
    if (IsString()) {
        const std::string& s = String();
        if (EqualsNoCase(Trim(s), "True")) return true;
        if (EqualsNoCase(Trim(s), "False")) return false;
    }
    return ToDouble() != 0.0;
}

std::string Variant::ToString() const {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return {};
            else if constexpr (std::is_same_v<T, NullT>)
                Raise(err::kInvalidUseOfNull);
            else if constexpr (std::is_same_v<T, MissingT> || std::is_same_v<T, ObjectPtr>)
                Raise(err::kTypeMismatch);
            else if constexpr (std::is_same_v<T, bool>)
                return v ? "True" : "False";
            else if constexpr (std::is_same_v<T, float>)
                return CStrSingle(v);
            else if constexpr (std::is_same_v<T, double>)
                return CStr(v);
            else if constexpr (std::is_same_v<T, Currency>)
                return CurrencyText(v);
            else if constexpr (std::is_same_v<T, Date>) {
                // The time part is left out at midnight, the date part on day 0.
                DateParts p = SplitDate(v);
                char buffer[40];
                bool hasTime = v.serial != std::trunc(v.serial);
                if (std::trunc(v.serial) == 0 && hasTime) {
                    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", p.hour, p.minute, p.second);
                } else if (hasTime) {
                    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day,
                                  p.hour, p.minute, p.second);
                } else {
                    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", p.year, p.month, p.day);
                }
                return buffer;
            } else if constexpr (std::is_same_v<T, Decimal>)
                return v.ToString();
            else if constexpr (std::is_same_v<T, std::string>)
                return v;
            else
                return std::to_string(static_cast<int64_t>(v));
        },
        value_);
}

Date Variant::ToDate() const {
    if (Type() == vbDate) return std::get<Date>(value_);
    if (IsString()) {
        Date d;
        if (ParseIsoDate(String(), d)) return d;
        Raise(err::kTypeMismatch);
    }
    return Date{ToDouble()};
}

Decimal Variant::ToDecimal() const {
    if (Type() == vbDecimal) return std::get<Decimal>(value_);
    if (Type() == vbCurrency) return Decimal::Parse(CurrencyText(std::get<Currency>(value_)));
    if (IsString()) return Decimal::Parse(Trim(String()));
    switch (Type()) {
        case vbByte:
        case vbInteger:
        case vbLong:
        case vbBoolean:
            return Decimal(static_cast<int64_t>(ToDouble()));
        default:
            return Decimal::FromDouble(ToDouble());
    }
}

Currency Variant::ToCurrency() const {
    if (Type() == vbCurrency) return std::get<Currency>(value_);
    return Currency::FromDouble(ToDouble());
}

}  // namespace vb
