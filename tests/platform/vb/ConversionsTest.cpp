#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>

#include "vb/Conversions.h"

using namespace vb;

namespace {
int ErrorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const VbError& e) {
        return e.Number();
    }
    return 0;
}
}  // namespace

TEST(NumberText, CStrUsesFifteenSignificantDigits) {
    EXPECT_EQ(CStr(0.1 + 0.2), "0.3");
    EXPECT_EQ(CStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(CStr(-2.5), "-2.5");
    EXPECT_EQ(CStr(100.0), "100");
    EXPECT_EQ(CStr(123456789012345.0), "123456789012345");
    EXPECT_EQ(CStr(1e15), "1E+15");
    EXPECT_EQ(CStr(1234567890123456.0), "1.23456789012346E+15");
    EXPECT_EQ(CStr(0.0001), "0.0001");
    EXPECT_EQ(CStr(1.0 / 30000.0), "3.33333333333333E-05");
    EXPECT_EQ(CStr(0.0), "0");
    EXPECT_EQ(Str(5.0), " 5");
    EXPECT_EQ(Str(-5.0), "-5");
    EXPECT_EQ(CStrSingle(0.1f), "0.1");
}

TEST(NumberText, NumbersIgnoreTheUsersLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    // A locale with a decimal comma, when the machine has one.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        EXPECT_EQ(CStr(2.5), "2.5");
        EXPECT_EQ(NumberToSql(2.5), "2.5");
        EXPECT_DOUBLE_EQ(CDbl("2.5"), 2.5);
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumberText, SqlNumbersRoundTripExactly) {
    for (double v : {0.1, 1.0 / 3.0, -123456.789012345678, 1e-300, 2.0, 6.02214076e23}) {
        std::string text = NumberToSql(v);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
        EXPECT_NE(text.find_first_of(".e"), std::string::npos) << text;
    }
    EXPECT_EQ(NumberToSql(2.0), "2.0");
    EXPECT_EQ(ErrorNumber([] { NumberToSql(std::nan("")); }), 6);
}

TEST(TextToNumber, ValReadsTheLeadingNumber) {
    EXPECT_EQ(Val("  1615 198th Street N.E."), 1615198.0);  // blanks inside digits are skipped
    EXPECT_EQ(Val("2457"), 2457.0);
    EXPECT_EQ(Val(" 2 45 7"), 2457.0);
    EXPECT_EQ(Val("24 and 57"), 24.0);
    EXPECT_EQ(Val("&HFFFF"), 65535.0);
    EXPECT_EQ(Val("&O17"), 15.0);
    EXPECT_EQ(Val("-1.5e2x"), -150.0);
    EXPECT_EQ(Val("abc"), 0.0);
    EXPECT_EQ(Val(""), 0.0);
}

TEST(TextToNumber, CDblNeedsAWholeNumber) {
    EXPECT_EQ(CDbl(" 12.5 "), 12.5);
    EXPECT_EQ(CDbl("-1E3"), -1000.0);
    EXPECT_EQ(ErrorNumber([] { CDbl("12abc"); }), 13);
    EXPECT_EQ(ErrorNumber([] { CDbl(""); }), 13);
    EXPECT_EQ(ErrorNumber([] { CDbl("1e999"); }), 6);
}

TEST(Integers, CIntAndCLngRoundHalfToEven) {
    EXPECT_EQ(CInt(0.5), 0);
    EXPECT_EQ(CInt(1.5), 2);
    EXPECT_EQ(CInt(2.5), 2);
    EXPECT_EQ(CInt(-2.5), -2);
    EXPECT_EQ(CInt(-3.5), -4);
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_EQ(ErrorNumber([] { CInt(32767.5); }), 6);
    EXPECT_EQ(ErrorNumber([] { CInt(-32768.6); }), 6);
    EXPECT_EQ(CLng(2147483647.0), 2147483647);
    EXPECT_EQ(ErrorNumber([] { CLng(2147483647.5); }), 6);
    EXPECT_EQ(CLng(-0.5), 0);
}

TEST(Integers, IntFloorsAndFixTruncates) {
    EXPECT_EQ(Int(-8.4), -9.0);
    EXPECT_EQ(Fix(-8.4), -8.0);
    EXPECT_EQ(Int(8.7), 8.0);
    EXPECT_EQ(Fix(8.7), 8.0);
    EXPECT_EQ(Round(2.5), 2.0);
    EXPECT_EQ(Round(3.5), 4.0);
    EXPECT_DOUBLE_EQ(Round(1.2345, 2), 1.23);
}

TEST(CheckedArithmetic, RaisesWhereTheRuntimeDid) {
    EXPECT_EQ(ErrorNumber([] { Divide(1.0, 0.0); }), 11);
    EXPECT_EQ(ErrorNumber([] { Sqr(-1e-300); }), 5);
    EXPECT_EQ(ErrorNumber([] { Log(0.0); }), 5);
    EXPECT_EQ(ErrorNumber([] { Log(-2.0); }), 5);
    EXPECT_EQ(ErrorNumber([] { Exp(1000.0); }), 6);
    EXPECT_EQ(ErrorNumber([] { Power(-8.0, 1.0 / 3.0); }), 5);
    EXPECT_EQ(ErrorNumber([] { Divide(1e308, 1e-10); }), 6);
    EXPECT_EQ(Power(-2.0, 3.0), -8.0);
    EXPECT_EQ(Sqr(0.0), 0.0);
    EXPECT_DOUBLE_EQ(Divide(1.0, 4.0), 0.25);
}

TEST(Text, CaseFoldingIsAsciiOnlyLikeNocase) {
    EXPECT_TRUE(EqualsNoCase("Group A", "GROUP a"));
    EXPECT_FALSE(EqualsNoCase("\xc3\xa9", "\xc3\x89"));  // é and É stay different, as in NOCASE
    EXPECT_EQ(StrComp("abc", "ABC", vbTextCompare), 0);
    EXPECT_EQ(StrComp("abc", "ABC", vbBinaryCompare), 1);
    // NOCASE folds to lower case, so "_" (0x5F) sorts before letters.
    EXPECT_EQ(StrComp("_", "a", vbTextCompare), -1);
    EXPECT_EQ(StrComp("_", "A", vbTextCompare), -1);
    EXPECT_EQ(StrComp("ab", "abc", vbTextCompare), -1);
    EXPECT_EQ(UCase("straße"), "STRAßE");
}

TEST(Text, TrimAndSubstrings) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");  // only spaces
    EXPECT_EQ(LTrim("  x "), "x ");
    EXPECT_EQ(RTrim("  x "), "  x");
    EXPECT_EQ(Left("Hello", 2), "He");
    // By characters: "é" is two bytes, "€" three; a cut never splits one.
    EXPECT_EQ(LeftChars("Hello", 2), "He");
    EXPECT_EQ(LeftChars("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t");
    EXPECT_EQ(LeftChars("a\xE2\x82\xAC", 1), "a");
    EXPECT_EQ(LeftChars("a\xE2\x82\xAC", 2), "a\xE2\x82\xAC");
    EXPECT_EQ(LeftChars("\xE2\x82\xAC", 9), "\xE2\x82\xAC");
    EXPECT_EQ(LeftChars("abc", 0), "");
    EXPECT_EQ(Right("Hello", 3), "llo");
    EXPECT_EQ(Right("Hi", 5), "Hi");
    EXPECT_EQ(Mid("Hello", 2, 3), "ell");
    EXPECT_EQ(Mid("Hello", 9), "");
    EXPECT_EQ(InStr("Hello", "LL", vbTextCompare), 3u);
    EXPECT_EQ(InStr("Hello", "LL"), 0u);
    EXPECT_EQ(InStr(4, "abcabc", "a"), 4u);
    EXPECT_EQ(Replace("a-b-c", "-", "--"), "a--b--c");
}

TEST(Variants, ComparisonRules) {
    EXPECT_EQ(CompareVariants(Variant(2), Variant(10.0)), -1);
    EXPECT_EQ(CompareVariants(Variant("b"), Variant("B"), vbTextCompare), 0);
    EXPECT_EQ(CompareVariants(Variant(10), Variant("9")), 1);  // a numeric text compares as a number
    EXPECT_EQ(CompareVariants(Variant(10), Variant("x")), -1);
    EXPECT_EQ(CompareVariants(Variant(), Variant(0)), 0);
    EXPECT_EQ(ErrorNumber([] { CompareVariants(Variant::Null(), Variant(1)); }), 94);
    EXPECT_TRUE(SameValue(Variant::Null(), Variant::Null()));
    EXPECT_FALSE(SameValue(Variant::Null(), Variant(0)));
    EXPECT_FALSE(SameValue(Variant(), Variant::Null()));
    EXPECT_TRUE(SameValue(Variant("a"), Variant("A"), vbTextCompare));
}

TEST(Dates, SerialsMatchTheRuntimesEpoch) {
    EXPECT_EQ(DateSerial(1899, 12, 30).serial, 0.0);
    EXPECT_EQ(DateSerial(1900, 1, 1).serial, 2.0);
    EXPECT_EQ(DateSerial(2000, 1, 1).serial, 36526.0);
    EXPECT_EQ(DateSerial(2024, 2, 29).serial, 45351.0);
    // Months and days may overflow into the next year or month.
    EXPECT_EQ(DateSerial(1999, 13, 1).serial, DateSerial(2000, 1, 1).serial);
    EXPECT_EQ(DateSerial(2000, 3, 0).serial, DateSerial(2000, 2, 29).serial);
    EXPECT_EQ(DateSerial(2000, 0, 1).serial, DateSerial(1999, 12, 1).serial);
    EXPECT_DOUBLE_EQ(TimeSerial(18, 0, 0).serial, 0.75);
    EXPECT_EQ(DateToIso(DateTime(2023, 7, 4, 13, 5, 9)), "2023-07-04 13:05:09");
    // Before the epoch the fraction is still the time of day.
    EXPECT_EQ(DateToIso(Date{-1.25}), "1899-12-29 06:00:00");
}

TEST(Dates, IsoTextParses) {
    Date d;
    ASSERT_TRUE(ParseIsoDate("2023-07-04", d));
    EXPECT_EQ(d.serial, DateSerial(2023, 7, 4).serial);
    ASSERT_TRUE(ParseIsoDate("2023-07-04 13:05:09", d));
    EXPECT_EQ(DateToIso(d), "2023-07-04 13:05:09");
    ASSERT_TRUE(ParseIsoDate("2023-07-04T13:05", d));
    EXPECT_EQ(DateToIso(d), "2023-07-04 13:05:00");
    EXPECT_FALSE(ParseIsoDate("2023-02-30", d));
    EXPECT_FALSE(ParseIsoDate("yesterday", d));
    EXPECT_FALSE(ParseIsoDate("2023-07-04 25:00", d));
}

TEST(Formats, NumericPatterns) {
    EXPECT_EQ(Format(1234.567, "0.00"), "1234.57");
    EXPECT_EQ(Format(1234.567, "#,##0"), "1,235");
    EXPECT_EQ(Format(1234567.891, "#,##0.00"), "1,234,567.89");
    EXPECT_EQ(Format(0.5, "0%"), "50%");
    EXPECT_EQ(Format(0.125, "0.0%"), "12.5%");  // 12.5 exactly: no rounding question
    EXPECT_EQ(Format(5.0, "000"), "005");
    EXPECT_EQ(Format(0.25, "#.##"), ".25");
    EXPECT_EQ(Format(3.0, "#.##"), "3.");
    EXPECT_EQ(Format(-2.5, "0.0"), "-2.5");
    EXPECT_EQ(Format(-0.001, "0.00"), "0.00");
    EXPECT_EQ(Format(-3.0, "0;(0)"), "(3)");
    EXPECT_EQ(Format(12345.0, "0.00E+00"), "1.23E+04");
    EXPECT_EQ(Format(0.00012, "0.0E-00"), "1.2E-04");
    EXPECT_EQ(Format(1234.5, "Fixed"), "1234.50");
    EXPECT_EQ(Format(1234.5, "Standard"), "1,234.50");
    EXPECT_EQ(Format(0.256, "Percent"), "25.60%");
    EXPECT_EQ(Format(Variant(-1), "Yes/No"), "Yes");
    EXPECT_EQ(Format(Variant(0), "True/False"), "False");
    EXPECT_EQ(Format(Variant::Null(), "0.00"), "");
}

TEST(Formats, DatePatterns) {
    Variant when(DateTime(2023, 7, 4, 13, 5, 9));
    EXPECT_EQ(Format(when, "yyyy-mm-dd hh:nn:ss"), "2023-07-04 13:05:09");
    EXPECT_EQ(Format(when, "mm/dd/yyyy"), "07/04/2023");
    EXPECT_EQ(Format(when, "hh:mm"), "13:05");  // mm after hours means minutes
    EXPECT_EQ(Format(when, "h:nn AM/PM"), "1:05 PM");
    EXPECT_EQ(Format(when, "Short Date"), "7/4/2023");
    EXPECT_EQ(Format(when, "Long Date"), "Tuesday, July 4, 2023");
    EXPECT_EQ(Format(when, "dd-mmm-yy"), "04-Jul-23");
}
