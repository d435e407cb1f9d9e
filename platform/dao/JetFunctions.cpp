// The SQL functions that translated Jet SQL calls, registered per connection.
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "dao/JetSql.h"
#include "dao/SqlSum.h"
#include "vb/Conversions.h"
#include "vb/Variant.h"
#include "vb/VbError.h"

namespace dao {
namespace {

constexpr const char* kTypeMismatch = "Data type mismatch in expression.";

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }

// A number from a value, reading numeric text as Jet does; false for other text and blobs.
bool ToNumber(sqlite3_value* v, double& out, bool& integral, int64_t& whole) {
    switch (sqlite3_value_numeric_type(v)) {
        case SQLITE_INTEGER:
            whole = sqlite3_value_int64(v);
            out = static_cast<double>(whole);
            integral = true;
            return true;
        case SQLITE_FLOAT:
            out = sqlite3_value_double(v);
            integral = false;
            return true;
        default:
            return false;
    }
}

// The text Jet gives a value in a text context: numbers as the runtime's CStr.
std::string ToText(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_value_int64(v));
        case SQLITE_FLOAT:
            return vb::CStr(sqlite3_value_double(v));
        default: {
            const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
            const int n = sqlite3_value_bytes(v);
            return p ? std::string(p, static_cast<size_t>(n)) : std::string();
        }
    }
}

// a ^ b
void JetPow(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    double a = 0, b = 0;
    bool ia = false, ib = false;
    int64_t wa = 0, wb = 0;
    if (!ToNumber(argv[0], a, ia, wa) || !ToNumber(argv[1], b, ib, wb))
        return sqlite3_result_error(ctx, kTypeMismatch, -1);
    try {
        sqlite3_result_double(ctx, vb::Power(a, b));
    } catch (const vb::VbError& e) {
        sqlite3_result_error(ctx, e.Description().c_str(), -1);
    }
}

// a Mod b: both rounded half to even to whole numbers; the result has the sign of a.
void JetMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    int64_t whole[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        double d = 0;
        bool integral = false;
        if (!ToNumber(argv[k], d, integral, whole[k])) return sqlite3_result_error(ctx, kTypeMismatch, -1);
        if (!integral) {
            const double r = std::nearbyint(d);  // the default rounding mode: half to even
            if (!std::isfinite(r) || r < -9.2e18 || r > 9.2e18) return sqlite3_result_error(ctx, "Overflow", -1);
            whole[k] = static_cast<int64_t>(r);
        }
    }
    if (whole[1] == 0) return sqlite3_result_error(ctx, "Division by zero", -1);
    if (whole[1] == -1) return sqlite3_result_int64(ctx, 0);
    sqlite3_result_int64(ctx, whole[0] % whole[1]);
}

// a & b: Null counts as "" unless both are Null.
void JetConcat(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) && IsNull(argv[1])) return sqlite3_result_null(ctx);
    const std::string s = ToText(argv[0]) + ToText(argv[1]);
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// --- Like ---

std::vector<char32_t> Decode(const std::string& s) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + static_cast<size_t>(len) > s.size()) {  // not UTF-8: the byte stands alone
            out.push_back(c);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? c : (c & (0x7F >> len));
        bool ok = true;
        for (int k = 1; k < len; ++k) {
            const auto d = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((d & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (!ok) {
            out.push_back(c);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(len);
    }
    return out;
}

// ASCII case folding only, as the NOCASE collation does.
char32_t FoldCp(char32_t c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

struct PatternItem {
    enum Kind { Any, One, Digit, Literal, Set } kind = Literal;
    char32_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
};

// * any run, ? one character, # one digit, [abc] [a-z] [!abc] one character of (not
// of) a list; [*] [?] [#] [[] stand for the character itself; [] matches nothing at all.
bool CompilePattern(const std::vector<char32_t>& p, std::vector<PatternItem>& out) {
    for (size_t i = 0; i < p.size(); ++i) {
        PatternItem item;
        const char32_t c = p[i];
        if (c == '*') {
            item.kind = PatternItem::Any;
        } else if (c == '?') {
            item.kind = PatternItem::One;
        } else if (c == '#') {
            item.kind = PatternItem::Digit;
        } else if (c == '[') {
            size_t j = i + 1;
            if (j < p.size() && p[j] == ']') {  // "[]": the empty text
                i = j;
                continue;
            }
            item.kind = PatternItem::Set;
            if (j < p.size() && p[j] == '!' && j + 1 < p.size() && p[j + 1] != ']') {
                item.negated = true;
                ++j;
            }
            bool closed = false;
            for (; j < p.size(); ++j) {
                if (p[j] == ']') {
                    closed = true;
                    break;
                }
                char32_t lo = p[j], hi = p[j];
                if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
                    hi = p[j + 2];
                    j += 2;
                    if (hi < lo) return false;
                }
                item.ranges.emplace_back(lo, hi);
            }
            if (!closed) return false;
            i = j;
        } else {
            item.ch = FoldCp(c);
        }
        out.push_back(std::move(item));
    }
    return true;
}

bool MatchOne(const PatternItem& item, char32_t c) {
    switch (item.kind) {
        case PatternItem::One:
            return true;
        case PatternItem::Digit:
            return c >= '0' && c <= '9';
        case PatternItem::Literal:
            return FoldCp(c) == item.ch;
        case PatternItem::Set: {
            const char32_t lower = FoldCp(c);
            const char32_t upper = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
            bool in = false;
            for (const auto& [lo, hi] : item.ranges)
                if ((c >= lo && c <= hi) || (lower >= lo && lower <= hi) || (upper >= lo && upper <= hi)) in = true;
            return in != item.negated;
        }
        case PatternItem::Any:
            return false;
    }
    return false;
}

bool Match(const std::vector<PatternItem>& pattern, const std::vector<char32_t>& text) {
    size_t p = 0, s = 0;
    size_t starP = std::string::npos, starS = 0;
    while (s < text.size()) {
        if (p < pattern.size() && pattern[p].kind == PatternItem::Any) {
            starP = p++;
            starS = s;
        } else if (p < pattern.size() && MatchOne(pattern[p], text[s])) {
            ++p;
            ++s;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            s = ++starS;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p].kind == PatternItem::Any) ++p;
    return p == pattern.size();
}

// value Like pattern: True (-1) or False (0); Null when either is Null.
void JetLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(ctx);
    std::vector<PatternItem> pattern;
    if (!CompilePattern(Decode(ToText(argv[1])), pattern))
        return sqlite3_result_error(ctx, "Invalid pattern string in Like.", -1);
    sqlite3_result_int(ctx, Match(pattern, Decode(ToText(argv[0]))) ? -1 : 0);
}

// --- jet_number: a value read as a number, as a record set reads one ---
//
// jet_number(value) gives what Field::NumberValue reads from the value: Null
// for Null and '', a number as it is, a text that spells a finite number that
// number (as SQLite would store it in a number column: an integer where it is
// one). Any other text, and bytes, come back as they are, for the caller to
// find by their type and refuse: SQL would add them as 0.
void JetNumber(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    const int type = sqlite3_value_type(v);
    if (type != SQLITE_TEXT) return sqlite3_result_value(ctx, v);
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    const std::string text(p ? p : "", static_cast<size_t>(sqlite3_value_bytes(v)));
    if (text.empty()) return sqlite3_result_null(ctx);
    double number = 0;
    try {
        number = vb::Variant(text).ToDouble();
    } catch (const vb::VbError&) {
        return sqlite3_result_value(ctx, v);
    }
    if (!std::isfinite(number)) return sqlite3_result_value(ctx, v);
    if (sqlite3_value_numeric_type(v) == SQLITE_INTEGER && static_cast<double>(sqlite3_value_int64(v)) == number)
        return sqlite3_result_int64(ctx, sqlite3_value_int64(v));
    sqlite3_result_double(ctx, number);
}

// --- First / Last: the first / last non-Null value in the order rows are fed ---

struct Kept {
    sqlite3_value* value;
};

void KeepStep(sqlite3_context* ctx, sqlite3_value* v, bool replace) {
    if (IsNull(v)) return;
    auto* kept = static_cast<Kept*>(sqlite3_aggregate_context(ctx, sizeof(Kept)));
    if (!kept) return sqlite3_result_error_nomem(ctx);
    if (kept->value && !replace) return;
    sqlite3_value* copy = sqlite3_value_dup(v);
    if (!copy) return sqlite3_result_error_nomem(ctx);
    sqlite3_value_free(kept->value);
    kept->value = copy;
}

void FirstStep(sqlite3_context* ctx, int, sqlite3_value** argv) { KeepStep(ctx, argv[0], false); }
void LastStep(sqlite3_context* ctx, int, sqlite3_value** argv) { KeepStep(ctx, argv[0], true); }

void KeptFinal(sqlite3_context* ctx) {
    auto* kept = static_cast<Kept*>(sqlite3_aggregate_context(ctx, 0));
    if (!kept || !kept->value) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, kept->value);
    sqlite3_value_free(kept->value);
    kept->value = nullptr;
}

// --- Sum, Total, Avg: SQLite's own, with the floating-point sum held exactly ---
//
// The sum is SqlSum's. Null is skipped; text and blobs count as SQLite
// converts them. They serve as window functions too (the inverse step takes a
// value out again). SQLite's aggregate context is zeroed memory: it holds a
// pointer to the sum, made at the first input and freed by the final step,
// which SQLite calls also when a statement stops early.

using SumState = SqlSum;

SumState* StepState(sqlite3_context* ctx) {
    auto* held = static_cast<SumState**>(sqlite3_aggregate_context(ctx, sizeof(SumState*)));
    if (!held) return nullptr;
    if (!*held) *held = new (std::nothrow) SumState{};
    return *held;
}

// The sum so far, or nullptr where no input came.
const SumState* HeldState(sqlite3_context* ctx) {
    auto* held = static_cast<SumState**>(sqlite3_aggregate_context(ctx, 0));
    return held ? *held : nullptr;
}

void AddValue(SumState& s, sqlite3_value* v, bool negate) {
    if (sqlite3_value_numeric_type(v) == SQLITE_INTEGER)
        s.AddInteger(sqlite3_value_int64(v), negate);
    else
        s.AddReal(sqlite3_value_double(v), negate);
}

void SumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return;
    SumState* s = StepState(ctx);
    if (!s) return sqlite3_result_error_nomem(ctx);
    ++s->count;
    AddValue(*s, argv[0], false);
}

void SumInverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) return;
    SumState* s = StepState(ctx);
    if (!s) return sqlite3_result_error_nomem(ctx);
    --s->count;
    AddValue(*s, argv[0], true);
}

void SumValue(sqlite3_context* ctx) {
    const SumState* s = HeldState(ctx);
    if (!s || s->count <= 0) return sqlite3_result_null(ctx);
    if (!s->approximate) return sqlite3_result_int64(ctx, s->whole);
    if (s->overflow) return sqlite3_result_error(ctx, "integer overflow", -1);
    sqlite3_result_double(ctx, s->Approximate());
}

void TotalValue(sqlite3_context* ctx) {
    const SumState* s = HeldState(ctx);
    if (!s) return sqlite3_result_double(ctx, 0.0);
    sqlite3_result_double(ctx, s->Value());
}

void AvgValue(sqlite3_context* ctx) {
    const SumState* s = HeldState(ctx);
    if (!s || s->count <= 0) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, s->Value() / static_cast<double>(s->count));
}

// The final step: the value, then the sum freed.
template <void (*Value)(sqlite3_context*)>
void FinalOf(sqlite3_context* ctx) {
    Value(ctx);
    auto* held = static_cast<SumState**>(sqlite3_aggregate_context(ctx, 0));
    if (held) {
        delete *held;
        *held = nullptr;
    }
}

}  // namespace

void RegisterJetFunctions(sqlite3* db) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, static_cast<int*>(nullptr));
    const int scalar = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    const int aggregate = SQLITE_UTF8 | SQLITE_INNOCUOUS;
    struct {
        const char* name;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    } const scalars[] = {{"jet_pow", JetPow}, {"jet_mod", JetMod}, {"jet_concat", JetConcat}, {"jet_like", JetLike}};
    for (const auto& f : scalars)
        if (sqlite3_create_function_v2(db, f.name, 2, scalar, nullptr, f.fn, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw vb::VbError(vb::err::kOutOfMemory,
                              std::string("Could not register the SQL function ") + f.name + ".");
    if (sqlite3_create_function_v2(db, "jet_number", 1, scalar, nullptr, JetNumber, nullptr, nullptr, nullptr) !=
        SQLITE_OK)
        throw vb::VbError(vb::err::kOutOfMemory, "Could not register the SQL function jet_number.");
    if (sqlite3_create_function_v2(db, "jet_first", 1, aggregate, nullptr, nullptr, FirstStep, KeptFinal, nullptr) !=
            SQLITE_OK ||
        sqlite3_create_function_v2(db, "jet_last", 1, aggregate, nullptr, nullptr, LastStep, KeptFinal, nullptr) !=
            SQLITE_OK)
        throw vb::VbError(vb::err::kOutOfMemory, "Could not register the SQL functions jet_first and jet_last.");
    // These replace SQLite's built-in sum, total and avg on this connection.
    const struct {
        const char* name;
        void (*final)(sqlite3_context*);
        void (*value)(sqlite3_context*);
    } sums[] = {{"sum", FinalOf<SumValue>, SumValue},
                {"total", FinalOf<TotalValue>, TotalValue},
                {"avg", FinalOf<AvgValue>, AvgValue}};
    for (const auto& f : sums)
        if (sqlite3_create_window_function(db, f.name, 1, aggregate, nullptr, SumStep, f.final, f.value, SumInverse,
                                           nullptr) != SQLITE_OK)
            throw vb::VbError(vb::err::kOutOfMemory,
                              std::string("Could not register the SQL function ") + f.name + ".");
}

}  // namespace dao
