#include "vb/Conversions.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace vb {

// --- numbers to text ---------------------------------------------------------

void SplitDigits(double value, int precision, std::string& digits, int& exponent) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, std::fabs(value));
    digits.clear();
    const char* p = buffer;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits.push_back(*p);
    exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

namespace {

// The scientific form of the sign and the digits and exponent of SplitDigits.
std::string Scientific(bool negative, const std::string& digits, int exponent) {
    std::string out = negative ? "-" : "";
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    char e[16];
    std::snprintf(e, sizeof e, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return out + e;
}

std::string GeneralNumber(double value, int precision) {
    if (value == 0.0) return "0";
    if (!std::isfinite(value)) Raise(err::kOverflow);
    std::string digits;
    int exponent;
    SplitDigits(value, precision, digits, exponent);
    if (exponent < -4 || exponent >= precision) return Scientific(value < 0, digits, exponent);
    std::string out = value < 0 ? "-" : "";
    if (exponent < 0) return out + "0." + std::string(size_t(-exponent - 1), '0') + digits;
    if (static_cast<int>(digits.size()) <= exponent + 1)
        return out + digits + std::string(size_t(exponent + 1) - digits.size(), '0');
    return out + digits.substr(0, size_t(exponent + 1)) + "." + digits.substr(size_t(exponent + 1));
}

}  // namespace

std::string ScientificText(double value, int precision) {
    std::string digits;
    int exponent;
    SplitDigits(value, precision, digits, exponent);
    return Scientific(value < 0, digits, exponent);
}

std::string CStr(double value) { return GeneralNumber(value, 15); }
std::string CStrSingle(float value) { return GeneralNumber(value, 7); }
std::string CStr(int64_t value) { return std::to_string(value); }

std::string CStr(const Variant& value) { return value.ToString(); }

std::string Str(double value) {
    std::string text = CStr(value);
    return value >= 0 ? " " + text : text;
}

std::string NumberToSql(double value) {
    if (!std::isfinite(value)) Raise(err::kOverflow);
    if (value == 0.0) return "0.0";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, end);
    // A decimal point or exponent keeps SQLite from treating it as an integer.
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

// --- text to numbers ---------------------------------------------------------

double Val(std::string_view text) {
    std::string cleaned;
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
    };
    skipBlanks();
    if (i + 1 < text.size() && text[i] == '&' &&
        (text[i + 1] == 'H' || text[i + 1] == 'h' || text[i + 1] == 'O' || text[i + 1] == 'o')) {
        int base = (text[i + 1] == 'H' || text[i + 1] == 'h') ? 16 : 8;
        i += 2;
        int64_t result = 0;
        for (; i < text.size(); ++i) {
            int digit;
            char c = text[i];
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                break;
            if (digit >= base) break;
            result = result * base + digit;
        }
        return static_cast<double>(result);
    }
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) cleaned.push_back(text[i++]);
    bool point = false, digits = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;  // Val skips blanks inside numbers
        if (c >= '0' && c <= '9') {
            cleaned.push_back(c);
            digits = true;
        } else if (c == '.' && !point) {
            cleaned.push_back(c);
            point = true;
        } else {
            break;
        }
    }
    if (digits && i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::string exponent = "e";
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '-' || text[j] == '+')) exponent.push_back(text[j++]);
        size_t start = exponent.size();
        while (j < text.size() && text[j] >= '0' && text[j] <= '9') exponent.push_back(text[j++]);
        if (exponent.size() > start) cleaned += exponent;
    }
    if (!digits) return 0.0;
    double result = std::strtod(cleaned.c_str(), nullptr);
    if (!std::isfinite(result)) Raise(err::kOverflow);
    return result;
}

double CDbl(std::string_view text) {
    std::string trimmed = Trim(text);
    if (trimmed.empty()) Raise(err::kTypeMismatch);
    if (trimmed.size() > 2 && trimmed[0] == '&') return Val(trimmed);
    const char* begin = trimmed.c_str();
    if (*begin == '+') ++begin;
    double result = 0;
    auto [end, ec] = std::from_chars(begin, trimmed.c_str() + trimmed.size(), result);
    if (ec == std::errc::result_out_of_range) Raise(err::kOverflow);
    if (ec != std::errc() || end != trimmed.c_str() + trimmed.size()) Raise(err::kTypeMismatch);
    return result;
}

double CDbl(const Variant& value) { return value.ToDouble(); }

// --- numbers to integers -----------------------------------------------------

int16_t CInt(double value) {
    if (!std::isfinite(value)) Raise(err::kOverflow);
    double rounded = std::nearbyint(value);  // the default mode rounds half to even
    if (rounded < -32768.0 || rounded > 32767.0) Raise(err::kOverflow);
    return static_cast<int16_t>(rounded);
}

int32_t CLng(double value) {
    if (!std::isfinite(value)) Raise(err::kOverflow);
    double rounded = std::nearbyint(value);
    if (rounded < -2147483648.0 || rounded > 2147483647.0) Raise(err::kOverflow);
    return static_cast<int32_t>(rounded);
}

int16_t CInt(const Variant& value) { return value.ToInteger(); }
int32_t CLng(const Variant& value) { return value.ToLong(); }

double Int(double value) { return std::floor(value); }
double Fix(double value) { return std::trunc(value); }

double Round(double value, int digits) {
    if (digits < 0) Raise(err::kInvalidProcedureCall);
    double scale = std::pow(10.0, digits);
    double scaled = value * scale;
    if (!std::isfinite(scaled)) return value;
    return std::nearbyint(scaled) / scale;
}

// --- checked arithmetic -------------------------------------------------------

double Checked(double value) {
    if (!std::isfinite(value)) Raise(err::kOverflow);
    return value;
}

double Divide(double numerator, double denominator) {
    if (denominator == 0.0) Raise(err::kDivisionByZero);
    return Checked(numerator / denominator);
}

double Sqr(double value) {
    if (value < 0.0 || std::isnan(value)) Raise(err::kInvalidProcedureCall);
    return std::sqrt(value);
}

double Log(double value) {
    if (!(value > 0.0)) Raise(err::kInvalidProcedureCall);
    return std::log(value);
}

double Exp(double value) { return Checked(std::exp(value)); }

double Power(double base, double exponent) {
    if (base < 0.0 && exponent != std::trunc(exponent)) Raise(err::kInvalidProcedureCall);
    if (base == 0.0 && exponent < 0.0) Raise(err::kDivisionByZero);
    return Checked(std::pow(base, exponent));
}

// --- text ----------------------------------------------------------------------

char FoldChar(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

std::string UCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = FoldChar(c);
    return out;
}

std::string LCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldChar(a[i]) != FoldChar(b[i])) return false;
    return true;
}

int StrComp(std::string_view a, std::string_view b, CompareMethod method) {
    // NOCASE folds to lower case; folding either way orders letters alike
    // against each other, but not against "[\]^_`", so fold as SQLite does.
    auto fold = [method](char c) -> unsigned char {
        if (method == vbTextCompare && c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c - 'A' + 'a');
        return static_cast<unsigned char>(c);
    };
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = fold(a[i]), y = fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string LTrim(std::string_view text) {
    size_t start = text.find_first_not_of(' ');
    return start == std::string_view::npos ? std::string() : std::string(text.substr(start));
}

std::string RTrim(std::string_view text) {
    size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string Trim(std::string_view text) { return LTrim(RTrim(text)); }

std::string Left(std::string_view text, size_t length) { return std::string(text.substr(0, length)); }

std::string LeftChars(std::string_view text, size_t characters) {
    size_t i = 0;
    for (size_t n = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;  // inside a character
        if (n++ == characters) break;
    }
    return std::string(text.substr(0, i));
}

std::string Right(std::string_view text, size_t length) {
    return length >= text.size() ? std::string(text) : std::string(text.substr(text.size() - length));
}

std::string Mid(std::string_view text, size_t start, size_t length) {
    if (start == 0) Raise(err::kInvalidProcedureCall);
    if (start > text.size()) return {};
    return std::string(text.substr(start - 1, length));
}

size_t InStr(size_t start, std::string_view text, std::string_view find, CompareMethod method) {
    if (start == 0) Raise(err::kInvalidProcedureCall);
    if (start > text.size() + 1) return 0;
    if (find.empty()) return start;
    for (size_t i = start - 1; i + find.size() <= text.size(); ++i) {
        if (StrComp(text.substr(i, find.size()), find, method) == 0) return i + 1;
    }
    return 0;
}

size_t InStr(std::string_view text, std::string_view find, CompareMethod method) {
    return InStr(1, text, find, method);
}

std::string Replace(std::string_view text, std::string_view find, std::string_view with) {
    if (find.empty()) return std::string(text);
    std::string out;
    size_t pos = 0;
    while (true) {
        size_t hit = text.find(find, pos);
        if (hit == std::string_view::npos) break;
        out.append(text.substr(pos, hit - pos));
        out.append(with);
        pos = hit + find.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::string Space(size_t count) { return std::string(count, ' '); }
std::string String(size_t count, char c) { return std::string(count, c); }

// --- variants ------------------------------------------------------------------

int CompareVariants(const Variant& a, const Variant& b, CompareMethod method) {
    if (a.IsNull() || b.IsNull()) Raise(err::kInvalidUseOfNull);
    auto numeric = [](const Variant& v) { return v.IsNumber() || v.IsEmpty(); };
    if (numeric(a) && numeric(b)) {
        double x = a.ToDouble(), y = b.ToDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.IsString() && b.IsString()) return StrComp(a.String(), b.String(), method);
    // A number against a text: numerically when the text reads as a number,
    // otherwise the number sorts first.
    const Variant& number = numeric(a) ? a : b;
    const Variant& text = numeric(a) ? b : a;
    int sign = numeric(a) ? 1 : -1;
    if (text.IsString() && text.IsNumeric()) {
        double x = number.ToDouble(), y = CDbl(text.String());
        return sign * (x < y ? -1 : (x > y ? 1 : 0));
    }
    if (text.IsString()) return -sign;
    Raise(err::kTypeMismatch);
}

bool SameValue(const Variant& a, const Variant& b, CompareMethod method) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() && b.IsNull();
    return CompareVariants(a, b, method) == 0;
}

// --- dates ---------------------------------------------------------------------

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2));
}

const int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);

}  // namespace

Date DateSerial(int year, int month, int day) {
    int64_t y = year;
    int64_t m0 = int64_t(month) - 1;
    y += (m0 >= 0 ? m0 / 12 : (m0 - 11) / 12);
    int m = int(((m0 % 12) + 12) % 12) + 1;
    int64_t days = DaysFromCivil(y, m, 1) + (day - 1) - kEpochOffset;
    return Date{static_cast<double>(days)};
}

Date TimeSerial(int hour, int minute, int second) { return Date{(hour * 3600.0 + minute * 60.0 + second) / 86400.0}; }

Date DateTime(int year, int month, int day, int hour, int minute, int second) {
    return Date{DateSerial(year, month, day).serial + TimeSerial(hour, minute, second).serial};
}

DateParts SplitDate(Date date) {
    // The whole part counts days; the fraction is the time of day whatever the
    // sign (the runtime's convention for dates before 1899-12-30).
    double whole = std::trunc(date.serial);
    double fraction = std::fabs(date.serial - whole);
    int64_t seconds = std::llround(fraction * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += date.serial < 0 ? -1 : 1;
    }
    DateParts parts{};
    CivilFromDays(static_cast<int64_t>(whole) + kEpochOffset, parts.year, parts.month, parts.day);
    parts.hour = int(seconds / 3600);
    parts.minute = int(seconds / 60 % 60);
    parts.second = int(seconds % 60);
    return parts;
}

Date Now() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return DateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

std::string DateToIso(Date date) {
    DateParts p = SplitDate(date);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return buffer;
}

bool ParseIsoDate(std::string_view text, Date& out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::string copy(Trim(text));
    char sep = 0;
    int consumed = 0;
    int fields = std::sscanf(copy.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &consumed);
    if (fields != 3) return false;
    size_t pos = size_t(consumed);
    if (pos < copy.size()) {
        sep = copy[pos];
        if (sep != ' ' && sep != 'T') return false;
        int more = 0;
        int timeFields = std::sscanf(copy.c_str() + pos + 1, "%2d:%2d%n", &h, &mi, &more);
        if (timeFields != 2) return false;
        pos += size_t(more) + 1;
        if (pos < copy.size() && copy[pos] == ':') {
            int sec = 0;
            if (std::sscanf(copy.c_str() + pos + 1, "%2d%n", &s, &sec) != 1) return false;
            pos += size_t(sec) + 1;
            // fractions of a second are dropped
            if (pos < copy.size() && copy[pos] == '.') {
                ++pos;
                while (pos < copy.size() && copy[pos] >= '0' && copy[pos] <= '9') ++pos;
            }
        }
        if (pos != copy.size()) return false;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return false;
    Date date = DateTime(y, mo, d, h, mi, s);
    DateParts check = SplitDate(date);
    if (check.day != d || check.month != mo) return false;  // 2023-02-30 and alike
    out = date;
    return true;
}

// --- Format ------------------------------------------------------------------

namespace {

const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

bool LooksLikeDatePattern(std::string_view pattern) {
    bool date = false;
    for (char c : pattern) {
        char f = FoldChar(c);
        if (c == '0' || c == '#') return false;
        if (f == 'Y' || f == 'D' || f == 'H' || f == 'N' || f == 'S' || f == 'M') date = true;
    }
    return date;
}

// A number from a run of one letter as it is, from two or more with at least
// two digits.
void AppendNumber(std::string& out, int value, size_t run) {
    if (run >= 2) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%02d", value);
        out += buffer;
    } else {
        out += std::to_string(value);
    }
}

// A month or weekday: its name from four letters or more, the name's first
// three letters from three, else its number.
void AppendNameOrNumber(std::string& out, size_t run, const char* name, int number) {
    if (run >= 4)
        out += name;
    else if (run == 3)
        out += std::string(name).substr(0, 3);
    else
        AppendNumber(out, number, run);
}

std::string FormatDate(Date date, std::string_view pattern) {
    DateParts p = SplitDate(date);
    double whole = std::trunc(date.serial);
    int weekday = int(((static_cast<int64_t>(whole) + kEpochOffset + 4) % 7 + 7) % 7);  // 1970-01-01 was a Thursday
    auto isAmPm = [&](size_t i) { return i + 5 <= pattern.size() && UCase(pattern.substr(i, 5)) == "AM/PM"; };
    bool ampm = false;
    for (size_t i = 0; i < pattern.size(); ++i) ampm = ampm || isAmPm(i);
    std::string out;
    bool afterHour = false;
    for (size_t i = 0; i < pattern.size();) {
        char f = FoldChar(pattern[i]);
        size_t run = 1;
        while (i + run < pattern.size() && FoldChar(pattern[i + run]) == f) ++run;
        if (f == 'Y') {
            if (run >= 3) {
                char buffer[16];
                std::snprintf(buffer, sizeof buffer, "%04d", p.year);
                out += buffer;
            } else {
                AppendNumber(out, p.year % 100, 2);
            }
            i += run;
        } else if (f == 'M' && !afterHour) {
            AppendNameOrNumber(out, run, kMonthNames[p.month - 1], p.month);
            i += run;
        } else if (f == 'D') {
            AppendNameOrNumber(out, run, kDayNames[weekday], p.day);
            i += run;
        } else if (f == 'H') {
            AppendNumber(out, ampm ? (p.hour % 12 == 0 ? 12 : p.hour % 12) : p.hour, run);
            afterHour = true;
            i += run;
        } else if (f == 'N' || (f == 'M' && afterHour)) {
            AppendNumber(out, p.minute, run);
            afterHour = false;
            i += run;
        } else if (f == 'S') {
            AppendNumber(out, p.second, run);
            i += run;
        } else if (isAmPm(i)) {
            bool upper = pattern[i] == 'A';
            std::string mark = p.hour < 12 ? "AM" : "PM";
            out += upper ? mark : LCase(mark);
            i += 5;
        } else {
            if (f != ':' && f != ' ') afterHour = false;
            out += pattern[i];
            ++i;
        }
    }
    return out;
}

// One section of a number pattern read: the literal text around its
// placeholders, and what its integer, fraction and exponent parts ask for.
struct NumberSection {
    std::string prefix, body, suffix;
    size_t exponentAt = std::string_view::npos;  // the "E" of "E+" or "E-"
    size_t point = std::string::npos;            // the point in body
    std::string intPart, fracPart;
    bool percent = false, grouping = false;
    int minInt = 0, maxFrac = 0, minFrac = 0;
};

// Reads a section that has a placeholder.
NumberSection ReadNumberSection(std::string_view section, size_t first) {
    NumberSection n;
    size_t last = section.find_last_of("0#.");
    for (size_t i = 0; i + 1 < section.size(); ++i)
        if ((section[i] == 'E' || section[i] == 'e') && (section[i + 1] == '+' || section[i + 1] == '-')) {
            n.exponentAt = i;
            break;
        }
    n.prefix = std::string(section.substr(0, first));
    if (n.exponentAt != std::string_view::npos) {
        n.body = std::string(section.substr(first, n.exponentAt - first));
        size_t expEnd = n.exponentAt + 2;
        while (expEnd < section.size() && (section[expEnd] == '0' || section[expEnd] == '#')) ++expEnd;
        n.suffix = std::string(section.substr(expEnd));
    } else {
        n.body = std::string(section.substr(first, last - first + 1));
        n.suffix = std::string(section.substr(last + 1));
    }
    n.percent = (n.prefix + n.suffix).find('%') != std::string::npos;
    n.point = n.body.find('.');
    n.intPart = n.body.substr(0, n.point);
    n.fracPart = n.point == std::string::npos ? "" : n.body.substr(n.point + 1);
    n.grouping = n.intPart.find(',') != std::string::npos;
    for (char c : n.intPart)
        if (c == '0') ++n.minInt;
    for (char c : n.fracPart) {
        if (c == '0' || c == '#') ++n.maxFrac;
        if (c == '0') n.minFrac = n.maxFrac;
    }
    return n;
}

// For a pattern with an exponent: value brought to the integer digits the
// pattern shows, and the power of ten taken out.
int TakeExponent(double& value, const NumberSection& n) {
    int exponent = 0;
    if (n.exponentAt != std::string_view::npos && value != 0.0) {
        int intDigits = std::max<int>(
            1, int(std::count_if(n.intPart.begin(), n.intPart.end(), [](char c) { return c == '0' || c == '#'; })));
        exponent = int(std::floor(std::log10(value))) - (intDigits - 1);
        value /= std::pow(10.0, exponent);
        double check = std::nearbyint(value * std::pow(10.0, n.maxFrac)) / std::pow(10.0, n.maxFrac);
        if (check >= std::pow(10.0, intDigits)) {
            value /= 10.0;
            ++exponent;
        }
    }
    return exponent;
}

// Digits with a comma between each three, from the right.
std::string GroupThousands(const std::string& whole) {
    std::string grouped;
    int count = 0;
    for (size_t i = whole.size(); i-- > 0;) {
        grouped.insert(grouped.begin(), whole[i]);
        if (++count % 3 == 0 && i > 0) grouped.insert(grouped.begin(), ',');
    }
    return grouped;
}

// The exponent part: its letter, its sign ("-" always, "+" where asked for)
// and at least as many digits as the pattern's zeros.
std::string ExponentText(std::string_view section, size_t exponentAt, int exponent) {
    char sign = section[exponentAt + 1];
    size_t zeros = 0;
    for (size_t i = exponentAt + 2; i < section.size() && section[i] == '0'; ++i) ++zeros;
    std::string digits = std::to_string(std::abs(exponent));
    while (digits.size() < zeros) digits.insert(digits.begin(), '0');
    std::string out(1, section[exponentAt]);
    if (exponent < 0)
        out += '-';
    else if (sign == '+')
        out += '+';
    return out + digits;
}

// Formats |value| to the numeric pattern section (no sign handling here).
std::string FormatNumberSection(double value, std::string_view section) {
    // Literal text before the first and after the last placeholder.
    size_t first = section.find_first_of("0#.");
    if (first == std::string_view::npos) return std::string(section);
    const NumberSection n = ReadNumberSection(section, first);
    if (n.percent) value *= 100.0;
    const int exponent = TakeExponent(value, n);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", n.maxFrac, value);
    std::string number = buffer;
    std::string whole = number.substr(0, number.find('.'));
    std::string frac = number.find('.') == std::string::npos ? "" : number.substr(number.find('.') + 1);
    while (static_cast<int>(frac.size()) > n.minFrac && !frac.empty() && frac.back() == '0') frac.pop_back();
    if (whole == "0" && n.minInt == 0) whole.clear();
    while (static_cast<int>(whole.size()) < n.minInt) whole.insert(whole.begin(), '0');
    if (n.grouping) whole = GroupThousands(whole);
    std::string out = n.prefix + whole;
    if (n.point != std::string::npos) out += "." + frac;  // "#.##" keeps its point: 3 -> "3."
    if (n.exponentAt != std::string_view::npos) out += ExponentText(section, n.exponentAt, exponent);
    return out + n.suffix;
}

std::string FormatNumber(double value, std::string_view pattern) {
    std::vector<std::string_view> sections;
    size_t start = 0;
    for (size_t i = 0; i <= pattern.size(); ++i) {
        if (i == pattern.size() || pattern[i] == ';') {
            sections.push_back(pattern.substr(start, i - start));
            start = i + 1;
        }
    }
    if (value < 0 && sections.size() >= 2 && !sections[1].empty()) return FormatNumberSection(-value, sections[1]);
    if (value == 0 && sections.size() >= 3 && !sections[2].empty()) return FormatNumberSection(0, sections[2]);
    std::string text = FormatNumberSection(std::fabs(value), sections[0]);
    if (value < 0) {
        // No minus for a value that rounds to zero.
        bool nonZero = text.find_first_of("123456789") != std::string::npos;
        if (nonZero) text.insert(text.begin(), '-');
    }
    return text;
}

}  // namespace

std::string Format(double value, std::string_view pattern) { return Format(Variant(value), pattern); }

std::string Format(const Variant& value, std::string_view pattern) {
    if (value.IsNull() || value.IsEmpty()) return {};
    std::string named = LCase(pattern);
    if (pattern.empty() || named == "general number") {
        if (value.Type() == vbDate && pattern.empty()) return value.ToString();
        return value.IsNumber() ? CStr(value.ToDouble()) : value.ToString();
    }
    if (value.Type() == vbDate ||
        ((named.find("date") != std::string::npos || named.find("time") != std::string::npos) && value.IsNumeric())) {
        Date date = value.ToDate();
        bool hasTime = date.serial != std::trunc(date.serial);
        if (named == "short date") return FormatDate(date, "m/d/yyyy");
        if (named == "long date") return FormatDate(date, "dddd, mmmm d, yyyy");
        if (named == "short time") return FormatDate(date, "hh:nn");
        if (named == "medium time") return FormatDate(date, "hh:nn AM/PM");
        if (named == "long time") return FormatDate(date, "h:nn:ss AM/PM");
        if (named == "general date")
            return hasTime ? FormatDate(date, "m/d/yyyy h:nn:ss AM/PM") : FormatDate(date, "m/d/yyyy");
        return FormatDate(date, pattern);
    }
    if (!value.IsNumeric()) return value.ToString();
    double number = value.ToDouble();
    if (named == "fixed") return FormatNumber(number, "0.00");
    if (named == "standard") return FormatNumber(number, "#,##0.00");
    if (named == "percent") return FormatNumber(number, "0.00%");
    if (named == "scientific") return FormatNumber(number, "0.00E+00");
    if (named == "yes/no") return number != 0 ? "Yes" : "No";
    if (named == "true/false") return number != 0 ? "True" : "False";
    if (named == "on/off") return number != 0 ? "On" : "Off";
    if (LooksLikeDatePattern(pattern)) return FormatDate(Date{number}, pattern);
    return FormatNumber(number, pattern);
}

}  // namespace vb
