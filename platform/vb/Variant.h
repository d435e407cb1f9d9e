// The old runtime's Variant: Empty, Null, the omitted-argument marker
// (Missing), Boolean, Byte, Integer (16-bit), Long (32-bit), Single, Double,
// Currency, Date, String, Object and Decimal.
//
// Null is distinct from Empty and from 0; Empty converts to 0 or "" where a
// value is needed, Null raises "Invalid use of Null" (error 94).
// Booleans are -1 (True) and 0 (False) as numbers; any non-zero number is True.
#pragma once

#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "vb/Decimal.h"
#include "vb/VbError.h"

namespace vb {

// Variant type codes, as VarType returns them.
enum VarType : int16_t {
    vbEmpty = 0,
    vbNull = 1,
    vbInteger = 2,
    vbLong = 3,
    vbSingle = 4,
    vbDouble = 5,
    vbCurrency = 6,
    vbDate = 7,
    vbString = 8,
    vbObject = 9,
    vbError = 10,  // also the type of the omitted-argument marker
    vbBoolean = 11,
    vbDecimal = 14,
    vbByte = 17,
};

// Anything a Variant holds by reference (database objects, record sets, ...).
class Object {
public:
    virtual ~Object();
};
using ObjectPtr = std::shared_ptr<Object>;

// Currency: a 64-bit integer of ten-thousandths.
struct Currency {
    int64_t scaled = 0;
    static Currency FromDouble(double value);  // rounds half to even; error 6 out of range
    double ToDouble() const { return static_cast<double>(scaled) / 10000.0; }
    friend bool operator==(Currency, Currency) = default;
};

// Date: days since 30 December 1899, the fraction being the time of day.
struct Date {
    double serial = 0.0;
    friend bool operator==(Date, Date) = default;
};

class Variant {
public:
    Variant() = default;  // Empty
    static Variant Null();
    static Variant Missing();

    Variant(bool v) : value_(v) {}
    Variant(uint8_t v) : value_(v) {}
    Variant(int16_t v) : value_(v) {}
    Variant(int32_t v) : value_(v) {}
    Variant(int64_t v);  // Long when it fits, else Double
    Variant(float v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(Currency v) : value_(v) {}
    Variant(Date v) : value_(v) {}
    Variant(Decimal v) : value_(v) {}
    Variant(std::string v) : value_(std::move(v)) {}
    Variant(const char* v) : value_(std::string(v)) {}
    Variant(ObjectPtr v) : value_(std::move(v)) {}

    VarType Type() const;

    bool IsEmpty() const { return value_.index() == 0; }
    bool IsNull() const { return value_.index() == 1; }
    bool IsMissing() const { return value_.index() == 2; }
    bool IsObject() const { return std::holds_alternative<ObjectPtr>(value_); }
    bool IsString() const { return std::holds_alternative<std::string>(value_); }
    // True for the numeric types, Boolean and Date (which convert without a parse).
    bool IsNumber() const;
    // The runtime's IsNumeric: numbers, Empty, and strings that parse as a number.
    bool IsNumeric() const;

    // Direct access; a wrong type raises error 13.
    const std::string& String() const;
    const ObjectPtr& Object() const;

    template <class T>
    std::shared_ptr<T> ObjectAs() const {
        return IsObject() ? std::dynamic_pointer_cast<T>(std::get<ObjectPtr>(value_)) : nullptr;
    }

    // Conversions with the runtime's rules (see Conversions.h for the free forms).
    double ToDouble() const;       // CDbl
    int32_t ToLong() const;        // CLng: banker's rounding, error 6 out of range
    int16_t ToInteger() const;     // CInt
    bool ToBool() const;           // CBool: non-zero is True; strings "True"/"False" or numbers
    std::string ToString() const;  // CStr: Empty -> "", Null -> error 94
    Date ToDate() const;           // CDate
    Decimal ToDecimal() const;     // CDec
    Currency ToCurrency() const;   // CCur

    friend bool operator==(const Variant& a, const Variant& b);

private:
    struct NullT {
        friend bool operator==(NullT, NullT) { return true; }
    };
    struct MissingT {
        friend bool operator==(MissingT, MissingT) { return true; }
    };
    using Storage = std::variant<std::monostate, NullT, MissingT, bool, uint8_t, int16_t, int32_t, float, double,
                                 Currency, Date, Decimal, std::string, ObjectPtr>;
    Storage value_;
};

// Shorthand flags with the runtime's values.
inline constexpr int16_t kTrue = -1;
inline constexpr int16_t kFalse = 0;

}  // namespace vb
