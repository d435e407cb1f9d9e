// The old runtime's conversion, text and date functions, with its rules.
// Numbers always become text in the C locale with "." as decimal separator,
// whatever the user's locale: these texts end up in SQL.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "vb/Variant.h"

namespace vb {

// --- numbers to text ---------------------------------------------------------
// CStr of a Double: up to 15 significant digits, no trailing zeros, scientific
// ("1.5E+15", "1E-05") outside 1E-5 <= |x| < 1E15. Single keeps 7 digits.
std::string CStr(double value);
std::string CStrSingle(float value);
std::string CStr(int64_t value);
inline std::string CStr(int32_t value) { return CStr(static_cast<int64_t>(value)); }
std::string CStr(const Variant& value);
// The significant digits (no trailing zeros) and decimal exponent of |value|,
// rounded to `precision` digits: 1234.5 -> "12345", 3.
void SplitDigits(double value, int precision, std::string& digits, int& exponent);
// A finite, non-zero `value` to `precision` significant digits in CStr's
// scientific form ("-2.5E+300", "1E-05").
std::string ScientificText(double value, int precision);
// Str: like CStr but a non-negative number gets a leading space.
std::string Str(double value);
// The exact, shortest text that reads back as the same Double (for SQL),
// never in another locale and never "inf"/"nan" (error 6 for those).
std::string NumberToSql(double value);

// --- text to numbers ---------------------------------------------------------
// Val: reads the longest leading number, skipping blanks, tabs and line feeds;
// "&H"/"&O" prefixes; "" or no digits gives 0. Never fails.
double Val(std::string_view text);
// CDbl of a text: the whole text (trimmed) must be a number, else error 13.
double CDbl(std::string_view text);
double CDbl(const Variant& value);
inline double CDbl(const std::string& text) { return CDbl(std::string_view(text)); }
inline double CDbl(const char* text) { return CDbl(std::string_view(text)); }

// --- numbers to integers -----------------------------------------------------
// CInt / CLng: round half to even; error 6 outside the type's range.
int16_t CInt(double value);
int32_t CLng(double value);
int16_t CInt(const Variant& value);
int32_t CLng(const Variant& value);
// Int: the largest whole number not above the value (floor). Fix: towards zero.
double Int(double value);
double Fix(double value);
// Rounds half to even to `digits` decimals (the runtime's Round).
double Round(double value, int digits = 0);

// --- checked arithmetic -------------------------------------------------------
// The runtime raised errors where IEEE arithmetic quietly gives Inf or NaN.
double Divide(double numerator, double denominator);  // error 11 on zero, 6 on overflow
double Sqr(double value);                             // error 5 below 0
double Log(double value);                             // error 5 at or below 0
double Exp(double value);                             // error 6 on overflow
double Power(double base, double exponent);           // error 5 / 6 where undefined
double Checked(double value);                         // error 6 unless finite

// --- flags ---------------------------------------------------------------------
inline int16_t Flag(bool on) { return on ? int16_t(-1) : int16_t(0); }
inline bool IsOn(int64_t flag) { return flag != 0; }

// --- text ----------------------------------------------------------------------
// Case folding of ASCII letters only: the same rule as SQLite's NOCASE, so that
// comparisons here agree with the order the database sorts text in.
char FoldChar(char c);
std::string UCase(std::string_view text);
std::string LCase(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
enum CompareMethod { vbBinaryCompare = 0, vbTextCompare = 1 };
// -1, 0 or 1.
int StrComp(std::string_view a, std::string_view b, CompareMethod method = vbBinaryCompare);
// Trim removes spaces only, like the runtime.
std::string Trim(std::string_view text);
std::string LTrim(std::string_view text);
std::string RTrim(std::string_view text);
std::string Left(std::string_view text, size_t length);
std::string Right(std::string_view text, size_t length);
// Left counting UTF-8 characters instead of bytes, so a cut never splits a
// character (names are UTF-8 and limited to a number of characters).
std::string LeftChars(std::string_view text, size_t characters);
// One-based start; a start beyond the end gives "".
std::string Mid(std::string_view text, size_t start, size_t length = std::string::npos);
// One-based position of `find` in `text` at or after `start`, 0 when absent.
size_t InStr(size_t start, std::string_view text, std::string_view find, CompareMethod method = vbBinaryCompare);
size_t InStr(std::string_view text, std::string_view find, CompareMethod method = vbBinaryCompare);
std::string Replace(std::string_view text, std::string_view find, std::string_view with);
std::string Space(size_t count);
std::string String(size_t count, char c);

// --- variants ------------------------------------------------------------------
// Comparison of two non-Null variants the way the runtime's "=" and "<" do:
// numbers numerically, texts by `method`, a number and a text as texts.
// Null on either side raises error 94.
int CompareVariants(const Variant& a, const Variant& b, CompareMethod method = vbBinaryCompare);
// Equality that treats two Nulls as equal and Null as different from any value.
bool SameValue(const Variant& a, const Variant& b, CompareMethod method = vbBinaryCompare);

// --- dates ---------------------------------------------------------------------
Date DateSerial(int year, int month, int day);  // months and days may overflow, as in the runtime
Date TimeSerial(int hour, int minute, int second);
Date DateTime(int year, int month, int day, int hour, int minute, int second);
struct DateParts {
    int year, month, day, hour, minute, second;
};
DateParts SplitDate(Date date);
Date Now();
// "YYYY-MM-DD HH:MM:SS" (time part omitted when it is midnight and dateOnly).
std::string DateToIso(Date date);
// Parses "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]", "YYYY-MM-DDTHH:MM:SS"; false if not a date.
bool ParseIsoDate(std::string_view text, Date& out);

// --- Format ------------------------------------------------------------------
// The runtime's Format for the patterns the system uses: numeric patterns
// with 0 # . , % and E+/E- ("0.00", "#,##0", "0.000E+00"), the named formats
// "General Number", "Fixed", "Standard", "Percent", "Scientific", "Yes/No",
// "True/False", "On/Off", and date patterns with yyyy yy mm m dd d hh h nn ss
// AM/PM ("yyyy-mm-dd hh:nn:ss", "mm/dd/yyyy"), "Short Date", "Long Date",
// "General Date", "Short Time", "Long Time". An empty pattern is CStr.
std::string Format(const Variant& value, std::string_view pattern = {});
std::string Format(double value, std::string_view pattern);

}  // namespace vb
