#include "vb/Variant.h"

#include <cmath>

namespace vb {

Object::~Object() = default;

Currency Currency::FromDouble(double value) {
    double scaled = std::nearbyint(value * 10000.0);
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.2233720368547758e18) Raise(err::kOverflow);
    return Currency{static_cast<int64_t>(scaled)};
}

Variant Variant::Null() {
    Variant v;
    v.value_ = NullT{};
    return v;
}

Variant Variant::Missing() {
    Variant v;
    v.value_ = MissingT{};
    return v;
}

Variant::Variant(int64_t v) {
    if (v >= INT32_MIN && v <= INT32_MAX)
        value_ = static_cast<int32_t>(v);
    else
        value_ = static_cast<double>(v);
}

VarType Variant::Type() const {
    static constexpr VarType kTypes[] = {vbEmpty,  vbNull,   vbError,    vbBoolean, vbByte,    vbInteger, vbLong,
                                         vbSingle, vbDouble, vbCurrency, vbDate,    vbDecimal, vbString,  vbObject};
    return kTypes[value_.index()];
}

bool Variant::IsNumber() const {
    switch (Type()) {
        case vbBoolean:
        case vbByte:
        case vbInteger:
        case vbLong:
        case vbSingle:
        case vbDouble:
        case vbCurrency:
        case vbDate:
        case vbDecimal:
            return true;
        default:
            return false;
    }
}

const std::string& Variant::String() const {
    if (!IsString()) Raise(err::kTypeMismatch);
    return std::get<std::string>(value_);
}

const ObjectPtr& Variant::Object() const {
    if (!IsObject()) Raise(err::kTypeMismatch);
    return std::get<ObjectPtr>(value_);
}

bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

}  // namespace vb
