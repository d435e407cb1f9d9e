// Minimal stand-in for the Jet SQL translator, used only while JetSql.h is
// not in the tree: [names], "text" literals, DISTINCTROW, DELETE *, True and
// False, & and IN '<file>'. The real translator replaces it.
#include "dao/JetSqlApi.h"

#if !DAO_HAS_JETSQL
#include <sqlite3.h>

#include <cctype>

#include "vb/VbError.h"

namespace dao {
namespace {
struct Tok {
    enum Kind { Word, Str, Other } kind;
    std::string text;  // SQLite form
    std::string value; // string value for Str
};

bool IsWord(const Tok& t, const char* w) {
    if (t.kind != Tok::Word || t.text.size() != std::char_traits<char>::length(w)) return false;
    for (size_t i = 0; i < t.text.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(t.text[i])) != w[i]) return false;
    return true;
}
}  // namespace

TranslatedSql TranslateJetSql(std::string_view sql, const std::function<std::string(const std::string&)>& schemaFor) {
    std::vector<Tok> toks;
    size_t i = 0;
    while (i < sql.size()) {
        char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) { ++i; continue; }
        if (c == '[') {
            size_t j = sql.find(']', i);
            if (j == std::string_view::npos) throw vb::VbError(3075, "Missing ] in query expression.");
            std::string name(sql.substr(i + 1, j - i - 1)), q = "\"";
            for (char ch : name) { q += ch; if (ch == '"') q += '"'; }
            toks.push_back({Tok::Word, q + "\"", {}});
            i = j + 1;
        } else if (c == '\'' || c == '"') {
            std::string v;
            size_t j = i + 1;
            for (;; ++j) {
                if (j >= sql.size()) throw vb::VbError(3075, "Unterminated text in query expression.");
                if (sql[j] == c) {
                    if (j + 1 < sql.size() && sql[j + 1] == c) { v += c; ++j; continue; }
                    break;
                }
                v += sql[j];
            }
            std::string q = "'";
            for (char ch : v) { q += ch; if (ch == '\'') q += '\''; }
            toks.push_back({Tok::Str, q + "'", v});
            i = j + 1;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.') {
            size_t j = i;
            while (j < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_' || sql[j] == '.')) ++j;
            toks.push_back({Tok::Word, std::string(sql.substr(i, j - i)), {}});
            i = j;
        } else if (c == '&') {
            toks.push_back({Tok::Other, "||", {}});
            ++i;
        } else {
            size_t n = (i + 1 < sql.size() && (std::string_view("<>=!").find(c) != std::string_view::npos) &&
                        std::string_view("<>=").find(sql[i + 1]) != std::string_view::npos) ? 2 : 1;
            toks.push_back({Tok::Other, std::string(sql.substr(i, n)), {}});
            i += n;
        }
    }
    TranslatedSql out;
    std::vector<Tok> res;
    for (size_t k = 0; k < toks.size(); ++k) {
        const Tok& t = toks[k];
        if (IsWord(t, "DISTINCTROW")) continue;
        if (IsWord(t, "TRUE")) { res.push_back({Tok::Other, "-1", {}}); continue; }
        if (IsWord(t, "FALSE")) { res.push_back({Tok::Other, "0", {}}); continue; }
        if (t.kind == Tok::Other && t.text == "*" && !res.empty() && IsWord(res.back(), "DELETE")) continue;
        if (IsWord(t, "IN") && k + 1 < toks.size() && toks[k + 1].kind == Tok::Str) {
            std::string path = toks[k + 1].value;
            std::string schema = schemaFor(path);
            bool known = false;
            for (auto& e : out.externals) known = known || e.path == path;
            if (!known) out.externals.push_back({path, schema});
            if (!schema.empty() && !res.empty()) res.back().text = schema + "." + res.back().text;
            ++k;
            continue;
        }
        res.push_back(t);
    }
    for (auto& t : res) {
        if (!out.sql.empty()) out.sql += ' ';
        out.sql += t.text;
    }
    return out;
}

void RegisterJetFunctions(sqlite3*) {}

}  // namespace dao
#endif
