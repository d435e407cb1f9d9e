#include <gtest/gtest.h>

#include <functional>

#include "vb/Conversions.h"
#include "vb/Variant.h"

using namespace vb;

namespace {
struct Thing : Object {};
int ErrorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const VbError& e) {
        return e.Number();
    }
    return 0;
}
}  // namespace

TEST(Variant, TypeCodes) {
    EXPECT_EQ(Variant().Type(), vbEmpty);
    EXPECT_EQ(Variant::Null().Type(), vbNull);
    EXPECT_EQ(Variant::Missing().Type(), vbError);
    EXPECT_EQ(Variant(true).Type(), vbBoolean);
    EXPECT_EQ(Variant(uint8_t(3)).Type(), vbByte);
    EXPECT_EQ(Variant(int16_t(3)).Type(), vbInteger);
    EXPECT_EQ(Variant(3).Type(), vbLong);
    EXPECT_EQ(Variant(int64_t(1) << 40).Type(), vbDouble);
    EXPECT_EQ(Variant(1.5f).Type(), vbSingle);
    EXPECT_EQ(Variant(1.5).Type(), vbDouble);
    EXPECT_EQ(Variant(Currency{15000}).Type(), vbCurrency);
    EXPECT_EQ(Variant(Date{1}).Type(), vbDate);
    EXPECT_EQ(Variant(Decimal(1)).Type(), vbDecimal);
    EXPECT_EQ(Variant("x").Type(), vbString);
    EXPECT_EQ(Variant(ObjectPtr(std::make_shared<Thing>())).Type(), vbObject);
}

TEST(Variant, NullIsDistinctFromEmptyAndZero) {
    EXPECT_FALSE(Variant::Null() == Variant());
    EXPECT_FALSE(Variant::Null() == Variant(0));
    EXPECT_FALSE(Variant() == Variant(0));
    EXPECT_EQ(Variant().ToDouble(), 0.0);
    EXPECT_EQ(Variant().ToString(), "");
    EXPECT_EQ(ErrorNumber([] { Variant::Null().ToDouble(); }), 94);
    EXPECT_EQ(ErrorNumber([] { Variant::Null().ToString(); }), 94);
    EXPECT_EQ(ErrorNumber([] { Variant::Missing().ToDouble(); }), 13);
    EXPECT_TRUE(Variant::Missing().IsMissing());
    EXPECT_FALSE(Variant::Missing().IsEmpty());
}

TEST(Variant, BooleansAreMinusOneAndAnyNonZeroIsTrue) {
    EXPECT_EQ(Variant(true).ToDouble(), -1.0);
    EXPECT_EQ(Variant(true).ToInteger(), -1);
    EXPECT_EQ(Variant(false).ToLong(), 0);
    EXPECT_TRUE(Variant(int16_t(1)).ToBool());
    EXPECT_TRUE(Variant(-0.5).ToBool());
    EXPECT_FALSE(Variant(0.0).ToBool());
    EXPECT_TRUE(Variant("true").ToBool());
    EXPECT_TRUE(Variant("-1").ToBool());
    EXPECT_EQ(Variant(true).ToString(), "True");
    EXPECT_EQ(ErrorNumber([] { Variant("maybe").ToBool(); }), 13);
}

TEST(Variant, TextConversions) {
    EXPECT_EQ(Variant(2.5).ToString(), "2.5");
    EXPECT_EQ(Variant(int16_t(-7)).ToString(), "-7");
    EXPECT_EQ(Variant(Currency{-125000}).ToString(), "-12.5");
    EXPECT_EQ(Variant(Currency{1}).ToString(), "0.0001");
    EXPECT_EQ(Variant(DateSerial(2023, 7, 4)).ToString(), "2023-07-04");
    EXPECT_EQ(Variant(DateTime(2023, 7, 4, 1, 2, 3)).ToString(), "2023-07-04 01:02:03");
    EXPECT_EQ(Variant(" 42 ").ToLong(), 42);
    EXPECT_EQ(ErrorNumber([] { Variant("4x").ToLong(); }), 13);
    EXPECT_EQ(Variant("2023-07-04").ToDate().serial, DateSerial(2023, 7, 4).serial);
    EXPECT_EQ(Variant(Currency{125000}).ToDecimal().ToString(), "12.5");
    EXPECT_EQ(Variant(0.1).ToDecimal().ToString(), "0.1");
}

TEST(Variant, NumericTests) {
    EXPECT_TRUE(Variant(" 1.5 ").IsNumeric());
    EXPECT_FALSE(Variant("1.5x").IsNumeric());
    EXPECT_TRUE(Variant().IsNumeric());
    EXPECT_FALSE(Variant::Null().IsNumeric());
    EXPECT_TRUE(Variant(3).IsNumber());
    EXPECT_FALSE(Variant("3").IsNumber());
}

TEST(Variant, ObjectsAreHeldByReference) {
    auto thing = std::make_shared<Thing>();
    Variant v{ObjectPtr(thing)};
    EXPECT_EQ(v.ObjectAs<Thing>(), thing);
    EXPECT_EQ(Variant(3).ObjectAs<Thing>(), nullptr);
    EXPECT_EQ(ErrorNumber([&] { v.ToDouble(); }), 13);
}
