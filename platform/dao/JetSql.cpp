// Jet SQL to SQLite SQL: a tokenizer, then a recursive-descent pass over the
// statement's clauses and a precedence-climbing pass over expressions that emits
// SQLite text as it goes. See JetSql.h for what is changed.
#include "dao/JetSql.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "vb/VbError.h"

namespace dao {
namespace {

constexpr int32_t kErrExpression = 3075;  // syntax error in query expression
constexpr int32_t kErrStatement = 3129;   // invalid / unsupported statement
constexpr int32_t kErrBracket = 3126;     // invalid bracketing of name
constexpr int32_t kErrFrom = 3131;        // syntax error in FROM clause
constexpr int32_t kErrTrailing = 3142;    // characters after end of statement
constexpr int32_t kErrTooComplex = 3360;  // query is too complex

[[noreturn]] void Fail(int32_t number, const std::string& text) { throw vb::VbError(number, text, "DAO.Database"); }

// ---------------------------------------------------------------------------
// Tokens

enum class Tok { End, Name, Bracket, String, Number, Date, Op };

struct Token {
    Tok kind = Tok::End;
    std::string text;  // Name/Number/Op: as written; Bracket/String/Date: the content
    size_t pos = 0;
};

bool IsNameStart(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80; }
bool IsNameChar(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

std::string Excerpt(std::string_view sql, size_t pos) {
    std::string s(sql.substr(pos, 40));
    if (pos + 40 < sql.size()) s += "...";
    return s;
}

// Each scanner reads one token that starts at sql[i] into t and returns the
// position after it.

// [name]: the name between the brackets, which may hold neither a control
// character nor another '['.
size_t ScanBracket(std::string_view sql, size_t i, Token& t) {
    const size_t close = sql.find(']', i + 1);
    if (close == std::string_view::npos)
        Fail(kErrBracket, "Invalid bracketing of name: '[' without its ']' at '" + Excerpt(sql, i) + "'.");
    std::string_view name = sql.substr(i + 1, close - i - 1);
    if (name.empty()) Fail(kErrBracket, "Invalid bracketing of name: an empty name '[]'.");
    for (char ch : name) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7F)
            Fail(kErrBracket, "The name [" + std::string(name.substr(0, 30)) +
                                  "...] contains a control character, which a name may not hold.");
        if (ch == '[')
            Fail(kErrBracket,
                 "Invalid bracketing of name: '[' inside the name [" + std::string(name.substr(0, 30)) + "].");
    }
    t.kind = Tok::Bracket;
    t.text = std::string(name);
    return close + 1;
}

// 'text' or "text": a doubled quote stands for one.
size_t ScanString(std::string_view sql, size_t i, Token& t) {
    const char quote = sql[i];
    const size_t n = sql.size();
    std::string value;
    size_t j = i + 1;
    for (;;) {
        if (j >= n) Fail(kErrExpression, "Syntax error: a text literal is not closed at '" + Excerpt(sql, i) + "'.");
        if (sql[j] == quote) {
            if (j + 1 < n && sql[j + 1] == quote) {
                value += quote;
                j += 2;
                continue;
            }
            break;
        }
        value += sql[j++];
    }
    t.kind = Tok::String;
    t.text = std::move(value);
    return j + 1;
}

// #date#: the text between the signs, read later.
size_t ScanDate(std::string_view sql, size_t i, Token& t) {
    const size_t close = sql.find('#', i + 1);
    if (close == std::string_view::npos)
        Fail(kErrExpression, "Syntax error in date literal at '" + Excerpt(sql, i) + "': '#' without its closing '#'.");
    t.kind = Tok::Date;
    t.text = std::string(sql.substr(i + 1, close - i - 1));
    return close + 1;
}

// Digits, an optional fraction and an optional exponent (kept only when
// digits follow the 'e').
size_t ScanNumber(std::string_view sql, size_t i, Token& t) {
    const size_t n = sql.size();
    size_t j = i;
    while (j < n && IsDigit(sql[j])) ++j;
    if (j < n && sql[j] == '.') {
        ++j;
        while (j < n && IsDigit(sql[j])) ++j;
    }
    if (j < n && (sql[j] == 'e' || sql[j] == 'E')) {
        size_t k = j + 1;
        if (k < n && (sql[k] == '+' || sql[k] == '-')) ++k;
        if (k < n && IsDigit(sql[k])) {
            while (k < n && IsDigit(sql[k])) ++k;
            j = k;
        }
    }
    t.kind = Tok::Number;
    t.text = std::string(sql.substr(i, j - i));
    return j;
}

size_t ScanName(std::string_view sql, size_t i, Token& t) {
    size_t j = i;
    while (j < sql.size() && IsNameChar(static_cast<unsigned char>(sql[j]))) ++j;
    t.kind = Tok::Name;
    t.text = std::string(sql.substr(i, j - i));
    return j;
}

// An operator or punctuation: <=, >=, <> or one character of the set.
size_t ScanOperator(std::string_view sql, size_t i, Token& t) {
    const char c = sql[i];
    t.kind = Tok::Op;
    if ((c == '<' || c == '>') && i + 1 < sql.size() && (sql[i + 1] == '=' || (c == '<' && sql[i + 1] == '>'))) {
        t.text = std::string(sql.substr(i, 2));
        return i + 2;
    }
    if (std::string_view("(),;.*+-/=<>^&").find(c) == std::string_view::npos)
        Fail(kErrExpression, "Syntax error: the character '" + std::string(1, c) + "' at '" + Excerpt(sql, i) +
                                 "' is not understood here.");
    t.text = std::string(1, c);
    return i + 1;
}

// A '.' followed by a digit starts a number where an operand may stand: at
// the start or after an operator other than ')'; elsewhere it qualifies a name.
bool StartsNumber(std::string_view sql, size_t i, const std::vector<Token>& before) {
    const char c = sql[i];
    if (IsDigit(c)) return true;
    return c == '.' && i + 1 < sql.size() && IsDigit(sql[i + 1]) &&
           (before.empty() || (before.back().kind == Tok::Op && before.back().text != ")"));
}

std::vector<Token> Tokenize(std::string_view sql) {
    std::vector<Token> out;
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        const char c = sql[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        if (c == ']')
            Fail(kErrBracket, "Invalid bracketing of name: ']' without its '[' at '" + Excerpt(sql, i) +
                                  "' (a name may not contain ']').");
        Token t;
        t.pos = i;
        if (c == '[')
            i = ScanBracket(sql, i, t);
        else if (c == '\'' || c == '"')
            i = ScanString(sql, i, t);
        else if (c == '#')
            i = ScanDate(sql, i, t);
        else if (StartsNumber(sql, i, out))
            i = ScanNumber(sql, i, t);
        else if (IsNameStart(static_cast<unsigned char>(c)))
            i = ScanName(sql, i, t);
        else
            i = ScanOperator(sql, i, t);
        out.push_back(std::move(t));
    }
    Token end;
    end.pos = n;
    out.push_back(end);
    return out;
}

// ---------------------------------------------------------------------------
// Output helpers

std::string QuoteName(std::string_view name) {
    std::string s = "\"";
    for (char c : name) {
        if (c == '"') s += '"';
        s += c;
    }
    return s + "\"";
}

std::string QuoteText(std::string_view text) {
    std::string s = "'";
    for (char c : text) {
        if (c == '\'') s += '\'';
        s += c;
    }
    return s + "'";
}

[[noreturn]] void BadDate(const std::string& raw) {
    Fail(kErrExpression, "Syntax error in date in query expression '#" + raw + "#'.");
}

// The words of a literal, split on blanks.
std::vector<std::string> BlankSeparatedWords(const std::string& raw) {
    std::vector<std::string> words;
    std::string w;
    for (char c : raw) {
        if (c == ' ' || c == '\t') {
            if (!w.empty()) words.push_back(w), w.clear();
        } else {
            w += c;
        }
    }
    if (!w.empty()) words.push_back(w);
    return words;
}

// Numbers of one to four digits separated by one of two separators (the
// same one throughout); false for anything else.
bool SplitNumbers(const std::string& s, char sep1, char sep2, std::vector<std::string>& parts) {
    parts.clear();
    std::string cur;
    char used = 0;
    for (char c : s) {
        if (c == sep1 || c == sep2) {
            if (used && used != c) return false;
            used = c;
            parts.push_back(cur);
            cur.clear();
        } else if (IsDigit(c)) {
            cur += c;
        } else {
            return false;
        }
    }
    parts.push_back(cur);
    for (auto& p : parts)
        if (p.empty() || p.size() > 4) return false;
    return true;
}

// The date of m/d/yyyy, yyyy-mm-dd or yyyy/mm/dd, a day of its month.
void ReadDateWord(const std::string& raw, const std::string& word, int& year, int& month, int& day) {
    std::vector<std::string> parts;
    if (!SplitNumbers(word, '/', '-', parts) || parts.size() != 3) BadDate(raw);
    int a = std::stoi(parts[0]), b = std::stoi(parts[1]), c = std::stoi(parts[2]);
    if (parts[0].size() == 4) {
        year = a, month = b, day = c;
    } else {
        month = a, day = b, year = c;
        if (parts[2].size() <= 2) year += (year < 30 ? 2000 : 1900);
    }
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) BadDate(raw);
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) BadDate(raw);
}

// The time h:mm[:ss] [AM|PM] from words[w], w then past it.
void ReadTimeWords(const std::string& raw, const std::vector<std::string>& words, size_t& w, int& hour, int& minute,
                   int& second) {
    std::vector<std::string> parts;
    const std::string& tm = words[w++];
    if (!SplitNumbers(tm, ':', ':', parts) || parts.size() > 3) BadDate(raw);
    hour = std::stoi(parts[0]);
    minute = parts.size() > 1 ? std::stoi(parts[1]) : 0;
    second = parts.size() > 2 ? std::stoi(parts[2]) : 0;
    if (parts.size() == 1 && w >= words.size()) BadDate(raw);  // a bare number is no time
    if (w < words.size()) {
        const bool pm = SameWord(words[w], "PM");
        if (!pm && !SameWord(words[w], "AM")) BadDate(raw);
        if (hour < 1 || hour > 12) BadDate(raw);
        hour = (hour % 12) + (pm ? 12 : 0);
        ++w;
    }
    if (hour > 23 || minute > 59 || second > 59) BadDate(raw);
}

// #date# literals: m/d/yyyy, yyyy-mm-dd or yyyy/mm/dd, each with an optional
// time h:mm[:ss] [AM|PM]; a time alone. Two-digit years 00-29 are 2000-2029,
// 30-99 are 1930-1999.
std::string DateLiteral(const std::string& raw) {
    const std::vector<std::string> words = BlankSeparatedWords(raw);
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
    size_t w = 0;
    if (w < words.size() && words[w].find(':') == std::string::npos &&
        !(words.size() - w == 2 && (SameWord(words[w + 1], "AM") || SameWord(words[w + 1], "PM")))) {
        ReadDateWord(raw, words[w], year, month, day);
        ++w;
    }
    if (w < words.size()) ReadTimeWords(raw, words, w, hour, minute, second);
    if (w != words.size() || words.empty()) BadDate(raw);
    char buf[64];
    std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02d:%02d:%02d'", year, month, day, hour, minute, second);
    return buf;
}

// ---------------------------------------------------------------------------
// Expressions

// Jet's operator levels, lowest first.
enum Level : int {
    kSeq = 0,  // tokens side by side that we pass through
    kOr = 4,
    kAnd = 5,
    kNot = 6,
    kCmp = 7,
    kConcat = 8,
    kAdd = 9,
    kMod = 10,
    kMul = 12,
    kNeg = 13,
    kPow = 14,
    kAtom = 100,
};

struct Expr {
    std::string sql;
    int level = kAtom;
};

// Words that end an expression (a clause or a join begins).
bool IsStopWord(const Token& t) {
    if (t.kind != Tok::Name) return false;
    static const char* const kWords[] = {"FROM",  "WHERE", "GROUP", "HAVING", "ORDER", "INTO",   "UNION",
                                         "AS",    "ON",    "JOIN",  "INNER",  "LEFT",  "RIGHT",  "FULL",
                                         "OUTER", "CROSS", "ASC",   "DESC",   "SET",   "VALUES", "SELECT"};
    for (const char* w : kWords)
        if (SameWord(t.text, w)) return true;
    return false;
}

class Translator {
public:
    Translator(std::string_view sql, const std::function<std::string(const std::string&)>& schemaFor)
        : sql_(sql), tokens_(Tokenize(sql)), schemaFor_(schemaFor) {}

    TranslatedSql Run() {
        TranslatedSql result;
        const Token& first = Peek();
        if (first.kind == Tok::End) Fail(kErrStatement, "Invalid SQL statement: the statement is empty.");
        if (IsWord("SELECT")) {
            result.sql = ParseSelect(true);
        } else if (IsWord("INSERT")) {
            result.sql = ParseInsert();
        } else if (IsWord("DELETE")) {
            result.sql = ParseDelete();
        } else if (IsWord("UPDATE")) {
            result.sql = ParseUpdate();
        } else if (IsWord("CREATE") || IsWord("DROP") || IsWord("ALTER")) {
            result.sql = PassThrough();
        } else if (IsWord("TRANSFORM")) {
            Fail(kErrStatement, "Crosstab queries (TRANSFORM ... PIVOT) are not supported.");
        } else if (IsWord("PARAMETERS")) {
            Fail(kErrStatement, "PARAMETERS declarations are not supported.");
        } else {
            Fail(
                kErrStatement,
                "Invalid SQL statement; expected 'DELETE', 'INSERT', 'SELECT', 'UPDATE', 'CREATE', 'ALTER' or 'DROP'.");
        }
        if (IsOp(";")) Next();
        if (Peek().kind != Tok::End)
            Fail(kErrTrailing, "Characters found after end of SQL statement: '" + Excerpt(sql_, Peek().pos) + "'.");
        result.externals = std::move(externals_);
        return result;
    }

private:
    // --- token access ---
    const Token& Peek(size_t ahead = 0) const {
        const size_t k = pos_ + ahead;
        return k < tokens_.size() ? tokens_[k] : tokens_.back();
    }
    const Token& Next() {
        const Token& t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size()) ++pos_;
        return t;
    }
    bool IsWord(const char* w, size_t ahead = 0) const {
        const Token& t = Peek(ahead);
        return t.kind == Tok::Name && SameWord(t.text, w);
    }
    bool IsOp(const char* op, size_t ahead = 0) const {
        const Token& t = Peek(ahead);
        return t.kind == Tok::Op && t.text == op;
    }
    bool AcceptWord(const char* w) {
        if (!IsWord(w)) return false;
        Next();
        return true;
    }
    [[noreturn]] void SyntaxError(const std::string& what, int32_t number = kErrExpression) const {
        const Token& t = Peek();
        std::string where =
            t.kind == Tok::End ? std::string("at the end of the statement") : "at '" + Excerpt(sql_, t.pos) + "'";
        Fail(number, "Syntax error (" + what + ") in query expression " + where + ".");
    }
    void ExpectOp(const char* op) {
        if (!IsOp(op)) SyntaxError(std::string("expected '") + op + "'");
        Next();
    }
    void ExpectWord(const char* w, int32_t number = kErrExpression) {
        if (!IsWord(w)) SyntaxError(std::string("expected ") + w, number);
        Next();
    }

    // --- expressions ---
    bool AtExpressionEnd() const {
        const Token& t = Peek();
        if (t.kind == Tok::End) return true;
        if (t.kind == Tok::Op && (t.text == "," || t.text == ")" || t.text == ";")) return true;
        if (IsWord("IN") && Peek(1).kind == Tok::String) return true;  // IN '<file>' after a join's ON
        return IsStopWord(t);
    }

    // A full expression; tokens we do not know side by side pass through as they are.
    Expr ParseExpression() {
        Expr e = ParseLevel(1);
        while (!AtExpressionEnd()) {
            const Expr more = ParseLevel(1);
            e.sql += " " + more.sql;
            e.level = kSeq;
        }
        return e;
    }

    // The level of the binary operator at the current token, or -1.
    int BinaryLevel() const {
        const Token& t = Peek();
        if (t.kind == Tok::Op) {
            const std::string& o = t.text;
            if (o == "=" || o == "<>" || o == "<" || o == ">" || o == "<=" || o == ">=") return kCmp;
            if (o == "&") return kConcat;
            if (o == "+" || o == "-") return kAdd;
            if (o == "*" || o == "/") return kMul;
            if (o == "^") return kPow;
            return -1;
        }
        if (t.kind != Tok::Name) return -1;
        if (IsWord("LIKE") || IsWord("IS") || IsWord("BETWEEN") || (IsWord("IN") && IsOp("(", 1))) return kCmp;
        if (IsWord("NOT") && (IsWord("LIKE", 1) || IsWord("BETWEEN", 1) || IsWord("IN", 1))) return kCmp;
        if (IsWord("MOD")) return kMod;
        if (IsWord("AND")) return kAnd;
        if (IsWord("OR")) return kOr;
        return -1;
    }

    // SQLite ranks < <= > >= above = <>, Jet ranks them all alike: a comparison
    // inside a comparison keeps Jet's grouping through parentheses.
    static std::string CmpOperand(const Expr& e) { return e.level <= kCmp ? "(" + e.sql + ")" : e.sql; }

    // Bounds the recursion, so that a pathological text fails instead of exhausting the stack.
    struct Depth {
        explicit Depth(int& d) : depth(d) {
            if (++depth > 400) Fail(kErrTooComplex, "Query is too complex: expressions are nested too deeply.");
        }
        ~Depth() { --depth; }
        int& depth;
    };

    Expr ParseLevel(int minLevel) {
        const Depth guard(depth_);
        Expr left = ParseUnary();
        for (;;) {
            const int level = BinaryLevel();
            if (level < 0 || level < minLevel) return left;
            if (level == kCmp) {
                left = ParseComparison(left);
                continue;
            }
            const std::string op = Next().text;
            const Expr right = ParseLevel(level + 1);
            if (level == kPow) {
                left = {"jet_pow(" + left.sql + ", " + right.sql + ")", kAtom};
            } else if (level == kConcat) {
                left = {"jet_concat(" + left.sql + ", " + right.sql + ")", kAtom};
            } else if (level == kMod) {
                left = {"jet_mod(" + left.sql + ", " + right.sql + ")", kAtom};
            } else if (level == kAnd || level == kOr) {
                left = {left.sql + (level == kAnd ? " AND " : " OR ") + right.sql, level};
            } else if (op == "/") {  // Jet divides as Doubles, SQLite whole numbers as whole numbers
                left = {left.sql + " / CAST(" + right.sql + " AS REAL)", level};
            } else {
                left = {left.sql + " " + op + " " + right.sql, level};
            }
        }
    }

    Expr ParseComparison(const Expr& left) {
        const bool negated = AcceptWord("NOT");
        const std::string lhs = CmpOperand(left);
        if (AcceptWord("LIKE")) {
            const Expr pattern = ParseLevel(kCmp + 1);
            return {std::string(negated ? "NOT " : "") + "jet_like(" + left.sql + ", " + pattern.sql + ")",
                    negated ? kCmp : kAtom};
        }
        if (AcceptWord("BETWEEN")) {
            const Expr low = ParseLevel(kCmp + 1);
            ExpectWord("AND");
            const Expr high = ParseLevel(kCmp + 1);
            return {lhs + (negated ? " NOT" : "") + " BETWEEN " + low.sql + " AND " + high.sql, kCmp};
        }
        if (AcceptWord("IN")) {
            if (!IsOp("(")) SyntaxError("expected '(' after In");
            Next();
            std::string list;
            if (IsWord("SELECT")) {
                list = ParseSelect(false);
            } else {
                for (;;) {
                    list += ParseExpression().sql;
                    if (!IsOp(",")) break;
                    Next();
                    list += ", ";
                }
            }
            ExpectOp(")");
            return {lhs + (negated ? " NOT" : "") + " IN (" + list + ")", kCmp};
        }
        if (AcceptWord("IS")) {
            const bool isNot = AcceptWord("NOT");
            if (!AcceptWord("NULL")) SyntaxError("expected Null after Is");
            return {lhs + (isNot ? " IS NOT NULL" : " IS NULL"), kCmp};
        }
        const std::string op = Next().text;
        const Expr right = ParseLevel(kCmp + 1);
        return {lhs + " " + op + " " + CmpOperand(right), kCmp};
    }

    Expr ParseUnary() {
        if (IsWord("NOT")) {
            Next();
            const Expr operand = ParseLevel(kCmp);
            return {"NOT " + operand.sql, kNot};
        }
        if (IsOp("-") || IsOp("+")) {
            const std::string op = Next().text;
            const Expr operand = ParseLevel(kNeg);
            const bool space = !operand.sql.empty() && (operand.sql[0] == '-' || operand.sql[0] == '+');
            return {op + (space ? " " : "") + operand.sql, kNeg};
        }
        return ParsePrimary();
    }

    std::vector<Expr> ParseArguments() {
        ExpectOp("(");
        std::vector<Expr> args;
        if (IsOp(")")) {
            Next();
            return args;
        }
        for (;;) {
            args.push_back(ParseExpression());
            if (IsOp(",")) {
                Next();
                continue;
            }
            ExpectOp(")");
            return args;
        }
    }

    static std::string Grouped(const Expr& e) { return e.level == kAtom ? e.sql : "(" + e.sql + ")"; }

    Expr ParseCall(const std::string& name) {
        const size_t at = Peek().pos;
        std::vector<Expr> args = ParseArguments();
        auto arity = [&](size_t count) {
            if (args.size() != count)
                Fail(kErrExpression, "Wrong number of arguments used with function " + name + " in query expression '" +
                                         Excerpt(sql_, at) + "'.");
        };
        if (SameWord(name, "IIf")) {
            arity(3);
            return {"CASE WHEN " + args[0].sql + " THEN " + args[1].sql + " ELSE " + args[2].sql + " END", kAtom};
        }
        if (SameWord(name, "IsNull")) {
            arity(1);
            return {"(-(" + Grouped(args[0]) + " IS NULL))", kAtom};
        }
        std::string fn = name;
        if (SameWord(name, "First")) {
            arity(1);
            fn = "jet_first";
        } else if (SameWord(name, "Last")) {
            arity(1);
            fn = "jet_last";
        }
        std::string s = fn + "(";
        for (size_t k = 0; k < args.size(); ++k) s += (k ? ", " : "") + args[k].sql;
        return {s + ")", kAtom};
    }

    // A name, possibly qualified (a.b, [a].[b], a.*).
    std::string ParseQualified(std::string first) {
        while (IsOp(".")) {
            Next();
            const Token& t = Peek();
            if (t.kind == Tok::Name) {
                first += "." + t.text;
            } else if (t.kind == Tok::Bracket) {
                first += "." + QuoteName(t.text);
            } else if (t.kind == Tok::Op && t.text == "*") {
                first += ".*";
            } else {
                SyntaxError("expected a name after '.'");
            }
            Next();
        }
        return first;
    }

    Expr ParsePrimary() {
        const Token& t = Peek();
        switch (t.kind) {
            case Tok::Number:
                Next();
                return {t.text, kAtom};
            case Tok::String:
                Next();
                return {QuoteText(t.text), kAtom};
            case Tok::Date: {
                const std::string raw = t.text;
                Next();
                return {DateLiteral(raw), kAtom};
            }
            case Tok::Bracket: {
                const std::string name = QuoteName(t.text);
                Next();
                return {ParseQualified(name), kAtom};
            }
            case Tok::Name: {
                // Left( and Right( are functions, not joins.
                if (IsStopWord(t) && !((IsWord("LEFT") || IsWord("RIGHT")) && IsOp("(", 1)))
                    SyntaxError("missing operand");
                const std::string word = t.text;
                Next();
                if (SameWord(word, "True")) return {"-1", kAtom};
                if (SameWord(word, "False")) return {"0", kAtom};
                if (SameWord(word, "Null")) return {"NULL", kAtom};
                if (IsOp("(")) return ParseCall(word);
                return {ParseQualified(word), kAtom};
            }
            case Tok::Op:
                if (t.text == "(") {
                    Next();
                    std::string inner;
                    if (IsWord("SELECT")) {
                        inner = ParseSelect(false);
                    } else {
                        inner = ParseExpression().sql;
                        while (IsOp(",")) {  // a row value, as in (a, b) In (...)
                            Next();
                            inner += ", " + ParseExpression().sql;
                        }
                    }
                    ExpectOp(")");
                    return {"(" + inner + ")", kAtom};
                }
                if (t.text == "*") {
                    Next();
                    return {"*", kAtom};
                }
                SyntaxError("missing operand");
            case Tok::End:
                SyntaxError("missing operand");
        }
        SyntaxError("missing operand");
    }

    // --- IN '<file>' ---
    std::string SchemaFor(const std::string& path) {
        for (const ExternalTable& e : externals_)
            if (e.path == path) return e.schema;
        ExternalTable e{path, schemaFor_ ? schemaFor_(path) : std::string()};
        externals_.push_back(e);
        return e.schema;
    }

    // The tables of one FROM clause (or INSERT target, or DELETE table): pieces of
    // text, some of them table names that an IN '<file>' clause qualifies.
    struct TableList {
        std::vector<std::string> parts;
        std::vector<size_t> tables;
        std::optional<std::string> path;
        bool joined = false;
        std::string Text(Translator& self) {
            if (path) {
                const std::string schema = self.SchemaFor(*path);
                if (!schema.empty())
                    for (size_t k : tables) parts[k] = QuoteName(schema) + "." + parts[k];
            }
            std::string s;
            for (const std::string& p : parts) s += p;
            return s;
        }
    };

    void MaybeIn(TableList& list) {
        if (!IsWord("IN") || Peek(1).kind != Tok::String) return;
        Next();
        const std::string path = Next().text;
        if (list.path && *list.path != path)
            Fail(kErrFrom, "Syntax error in FROM clause: one statement can read only one other database through IN '" +
                               path + "'.");
        list.path = path;
        if (Peek().kind == Tok::String || Peek().kind == Tok::Bracket)
            Fail(kErrFrom, "Syntax error in FROM clause: IN with a connection string is not supported.");
    }

    void ParseTableName(TableList& list, int32_t errorNumber) {
        const Token& t = Peek();
        std::string name;
        if (t.kind == Tok::Bracket) {
            name = QuoteName(t.text);
        } else if (t.kind == Tok::Name && !IsStopWord(t) && !IsWord("IN")) {
            name = t.text;
        } else {
            SyntaxError("expected a table name", errorNumber);
        }
        Next();
        list.tables.push_back(list.parts.size());
        list.parts.push_back(name);
        ParseAlias(list.parts);
    }

    void ParseAlias(std::vector<std::string>& parts) {
        const bool as = AcceptWord("AS");
        const Token& t = Peek();
        if (t.kind == Tok::Bracket || (t.kind == Tok::Name && !IsStopWord(t) && !IsWord("IN"))) {
            parts.push_back(" AS " + (t.kind == Tok::Bracket ? QuoteName(t.text) : t.text));
            Next();
        } else if (as) {
            SyntaxError("expected an alias after AS", kErrFrom);
        }
    }

    void ParseTablePrimary(TableList& list) {
        const Depth guard(depth_);
        if (IsOp("(")) {
            Next();
            if (IsWord("SELECT")) {
                list.parts.push_back("(" + ParseSelect(false) + ")");
                ExpectOp(")");
                ParseAlias(list.parts);
                return;
            }
            list.parts.push_back("(");
            ParseTableExpression(list);
            ExpectOp(")");
            list.parts.push_back(")");
            return;
        }
        ParseTableName(list, kErrFrom);
    }

    void ParseTableExpression(TableList& list) {
        ParseTablePrimary(list);
        MaybeIn(list);
        for (;;) {
            std::string join;
            if (IsWord("INNER") && IsWord("JOIN", 1)) {
                join = " INNER JOIN ";
                Next();
            } else if ((IsWord("LEFT") || IsWord("RIGHT")) && (IsWord("JOIN", 1) || IsWord("OUTER", 1))) {
                join = IsWord("LEFT") ? " LEFT JOIN " : " RIGHT JOIN ";
                Next();
                AcceptWord("OUTER");
            } else if (IsWord("JOIN")) {
                join = " JOIN ";
            } else {
                return;
            }
            ExpectWord("JOIN", kErrFrom);
            list.joined = true;
            list.parts.push_back(join);
            ParseTablePrimary(list);
            MaybeIn(list);
            if (!AcceptWord("ON")) SyntaxError("JOIN without ON", kErrFrom);
            list.parts.push_back(" ON " + ParseExpression().sql);
            MaybeIn(list);
        }
    }

    std::string ParseFrom() {
        TableList list;
        ParseTableExpression(list);
        while (IsOp(",")) {
            Next();
            list.parts.push_back(", ");
            ParseTableExpression(list);
        }
        MaybeIn(list);
        return list.Text(*this);
    }

    // --- statements ---

    // SELECT; `sortLikeJet` adds the ORDER BY that gives DISTINCT and GROUP BY
    // Jet's sorted output (for the statement itself and an INSERT's source,
    // not for subqueries, whose order does not show).
    // The words between SELECT and the list: DISTINCT, DISTINCTROW, ALL, TOP n.
    struct SelectPredicates {
        bool distinct = false;
        std::optional<std::string> top;
    };
    SelectPredicates ParseSelectPredicates() {
        SelectPredicates p;
        for (;;) {
            if (AcceptWord("DISTINCT")) {
                p.distinct = true;
            } else if (AcceptWord("DISTINCTROW") || AcceptWord("ALL")) {
            } else if (IsWord("TOP")) {
                Next();
                const Token& n = Peek();
                if (n.kind != Tok::Number || n.text.find_first_not_of("0123456789") != std::string::npos)
                    SyntaxError("TOP needs a whole number");
                p.top = n.text;
                Next();
                if (IsWord("PERCENT")) Fail(kErrStatement, "TOP n PERCENT is not supported.");
            } else {
                return p;
            }
        }
    }

    // The select list as SQLite SQL; items receives each expression without
    // its alias, star whether the list selects all columns of a table.
    std::string ParseSelectList(std::vector<std::string>& items, bool& star) {
        std::string list;
        for (;;) {
            const Expr e = ParseLevel(1);
            std::string item = e.sql;
            if (item == "*" || (item.size() > 2 && item.ends_with(".*"))) star = true;
            while (!AtExpressionEnd()) item += " " + ParseLevel(1).sql;  // passes through
            items.push_back(item);
            if (AcceptWord("AS")) {
                const Token& a = Peek();
                if (a.kind == Tok::Bracket) {
                    item += " AS " + QuoteName(a.text);
                } else if (a.kind == Tok::Name) {
                    item += " AS " + a.text;
                } else if (a.kind == Tok::String) {
                    item += " AS " + QuoteName(a.text);
                } else {
                    SyntaxError("expected a name after AS");
                }
                Next();
            }
            list += (list.empty() ? "" : ", ") + item;
            if (!IsOp(",")) return list;
            Next();
        }
    }

    // The expressions after GROUP BY (the words already read).
    std::vector<std::string> ParseGroupBy() {
        std::vector<std::string> groups;
        for (;;) {
            groups.push_back(ParseExpression().sql);
            if (!IsOp(",")) return groups;
            Next();
        }
    }

    // The terms after ORDER BY (the words already read), with ASC or DESC.
    std::string ParseOrderBy() {
        std::string order;
        for (;;) {
            order += (order.empty() ? "" : ", ") + ParseExpression().sql;
            if (AcceptWord("DESC")) {
                order += " DESC";
            } else if (AcceptWord("ASC")) {
                order += " ASC";
            }
            if (!IsOp(",")) return order;
            Next();
        }
    }

    // The order Jet gives GROUP BY and DISTINCT without ORDER BY: the groups
    // (by their position in the list when selected), else every column.
    static std::string JetImplicitOrder(const std::vector<std::string>& groups, const std::vector<std::string>& items,
                                        bool distinct, bool star) {
        std::string order;
        if (!groups.empty()) {
            for (const std::string& g : groups) {
                std::string term = g;
                for (size_t k = 0; k < items.size(); ++k)
                    if (items[k] == g) {
                        term = std::to_string(k + 1);
                        break;
                    }
                order += (order.empty() ? "" : ", ") + term;
            }
        } else if (distinct && !star) {
            for (size_t k = 0; k < items.size(); ++k) order += (k ? ", " : "") + std::to_string(k + 1);
        }
        return order;
    }

    std::string ParseSelect(bool sortLikeJet) {
        ExpectWord("SELECT");
        const SelectPredicates predicates = ParseSelectPredicates();
        std::vector<std::string> items;  // expressions, without their aliases
        bool star = false;
        const std::string list = ParseSelectList(items, star);
        if (IsWord("INTO"))
            Fail(kErrStatement, "SELECT ... INTO (a make-table query) is not supported; create the table and use "
                                "INSERT INTO ... SELECT.");
        std::string sql = std::string("SELECT ") + (predicates.distinct ? "DISTINCT " : "") + list;
        if (AcceptWord("FROM")) sql += " FROM " + ParseFrom();
        if (AcceptWord("WHERE")) sql += " WHERE " + ParseExpression().sql;
        std::vector<std::string> groups;
        if (IsWord("GROUP") && IsWord("BY", 1)) {
            Next();
            Next();
            groups = ParseGroupBy();
            sql += " GROUP BY ";
            for (size_t k = 0; k < groups.size(); ++k) sql += (k ? ", " : "") + groups[k];
        }
        if (AcceptWord("HAVING")) sql += " HAVING " + ParseExpression().sql;
        bool compound = false;
        while (IsWord("UNION")) {
            Next();
            compound = true;
            sql += AcceptWord("ALL") ? " UNION ALL " : " UNION ";
            if (IsWord("SELECT")) {
                sql += ParseSelect(false);
            } else {
                SyntaxError("expected SELECT after UNION");
            }
        }
        std::string order;
        const bool explicitOrder = IsWord("ORDER") && IsWord("BY", 1);
        if (explicitOrder) {
            Next();
            Next();
            order = ParseOrderBy();
        } else if (sortLikeJet && !compound) {
            order = JetImplicitOrder(groups, items, predicates.distinct, star);
        }
        if (!order.empty() && predicates.distinct && groups.empty() && !compound && !explicitOrder) {
            // The distinct rows are sorted after they are found: SQLite turns
            // a DISTINCT sorted by its own columns into a sort of every row
            // read (four times the time on a million rows).
            sql = "SELECT * FROM (" + sql + ") ORDER BY " + order;
        } else if (!order.empty()) {
            sql += " ORDER BY " + order;
        }
        if (predicates.top) sql += " LIMIT " + *predicates.top;
        return sql;
    }

    std::string ParseInsert() {
        ExpectWord("INSERT");
        ExpectWord("INTO", kErrStatement);
        TableList target;
        ParseTableName(target, kErrStatement);
        MaybeIn(target);
        std::string sql = "INSERT INTO " + target.Text(*this);
        if (IsOp("(")) {
            Next();
            std::string cols;
            for (;;) {
                cols += (cols.empty() ? "" : ", ") + ParseExpression().sql;
                if (!IsOp(",")) break;
                Next();
            }
            ExpectOp(")");
            sql += " (" + cols + ")";
        }
        if (IsWord("SELECT")) {
            sql += " " + ParseSelect(true);
        } else if (AcceptWord("VALUES")) {
            ExpectOp("(");
            std::string values;
            for (;;) {
                values += (values.empty() ? "" : ", ") + ParseExpression().sql;
                if (!IsOp(",")) break;
                Next();
            }
            ExpectOp(")");
            sql += " VALUES (" + values + ")";
        } else {
            SyntaxError("expected SELECT or VALUES", kErrStatement);
        }
        return sql;
    }

    std::string ParseDelete() {
        ExpectWord("DELETE");
        AcceptWord("DISTINCTROW");
        // Jet deletes whole rows whatever it is told to delete: *, t.* or fields.
        while (!IsWord("FROM")) {
            if (Peek().kind == Tok::End) SyntaxError("DELETE without FROM", kErrStatement);
            ParseLevel(1);
            if (IsOp(",")) Next();
        }
        Next();
        TableList table;
        ParseTableName(table, kErrFrom);
        MaybeIn(table);
        if (IsOp(",") || IsWord("INNER") || IsWord("LEFT") || IsWord("RIGHT") || IsWord("JOIN"))
            Fail(kErrStatement, "DELETE from more than one table is not supported.");
        std::string sql = "DELETE FROM " + table.Text(*this);
        if (AcceptWord("WHERE")) sql += " WHERE " + ParseExpression().sql;
        return sql;
    }

    std::string ParseUpdate() {
        ExpectWord("UPDATE");
        TableList table;
        ParseTableName(table, kErrStatement);
        if (IsOp(",") || IsWord("INNER") || IsWord("LEFT") || IsWord("RIGHT") || IsWord("JOIN"))
            Fail(kErrStatement, "UPDATE of more than one table is not supported.");
        ExpectWord("SET", kErrStatement);
        std::string sql = "UPDATE " + table.Text(*this) + " SET ";
        for (bool first = true;; first = false) {
            const Expr target = ParsePrimary();
            ExpectOp("=");
            sql += std::string(first ? "" : ", ") + target.sql + " = " + ParseExpression().sql;
            if (!IsOp(",")) break;
            Next();
        }
        if (AcceptWord("WHERE")) sql += " WHERE " + ParseExpression().sql;
        return sql;
    }

    // Data definition: each token converted on its own.
    std::string PassThrough() {
        std::string sql;
        std::string prev;
        while (Peek().kind != Tok::End && !IsOp(";")) {
            const Token& t = Next();
            std::string text;
            switch (t.kind) {
                case Tok::Bracket:
                    text = QuoteName(t.text);
                    break;
                case Tok::String:
                    text = QuoteText(t.text);
                    break;
                case Tok::Date:
                    text = DateLiteral(t.text);
                    break;
                case Tok::Name:
                    text = SameWord(t.text, "True") ? "-1" : SameWord(t.text, "False") ? "0" : t.text;
                    break;
                default:
                    text = t.text;
                    break;
            }
            const bool tight = prev == "(" || prev == "." || text == ")" || text == "," || text == "." ||
                               (text == "(" && !prev.empty() && prev != "," && prev != "(");
            if (!sql.empty() && !tight) sql += ' ';
            sql += text;
            prev = text;
        }
        return sql;
    }

    std::string_view sql_;
    std::vector<Token> tokens_;
    size_t pos_ = 0;
    const std::function<std::string(const std::string&)>& schemaFor_;
    std::vector<ExternalTable> externals_;
    int depth_ = 0;
};

}  // namespace

TranslatedSql TranslateJetSql(std::string_view jetSql,
                              const std::function<std::string(const std::string& path)>& schemaFor) {
    Translator translator(jetSql, schemaFor);
    return translator.Run();
}

}  // namespace dao
