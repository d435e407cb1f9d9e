#include "shell/CCommandArgs.h"

#include <cctype>

#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

size_t FindNoCase(const std::string& text, const std::string& what, size_t from) {
    if (what.empty()) return std::string::npos;
    return Upper(text).find(Upper(what), from);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string CCommandArgs::EncodeValue(const std::string& value) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char c : value) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '%' || c == '/' || c == ' ' || u < 0x20) {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string CCommandArgs::DecodeValue(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && HexDigit(value[i + 1]) >= 0 && HexDigit(value[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(value[i + 1]) * 16 + HexDigit(value[i + 2]));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

std::string CCommandArgs::MRUSwitches(const std::string& workgroup, const std::string& user,
                                      const std::string& password) {
    return "/WG " + EncodeValue(workgroup) + "/UID " + EncodeValue(user) + "/PWD " + EncodeValue(password);
}

void CCommandArgs::Parse() {
    if (delim_.empty() || testString_.empty()) return;
    pairs_.clear();
    size_t pos = FindNoCase(testString_, delim_, 0);
    while (pos != std::string::npos) {
        size_t start = pos + delim_.size();
        size_t next = FindNoCase(testString_, delim_, start);
        std::string piece = testString_.substr(start, next == std::string::npos ? std::string::npos : next - start);
        if (!piece.empty()) {
            std::string padded = piece + " ";
            size_t blank = padded.find(' ');
            std::string key = vb::Trim(padded.substr(0, blank));
            std::string value = vb::Trim(padded.substr(blank + 1));
            value = DecodeValue(value);
            if (value.empty()) value = key;
            pairs_.emplace_back(key, value);
        }
        pos = next;
    }
}

std::string CCommandArgs::Item(const vb::Variant& key) const {
    if (key.IsNumeric() && !key.IsEmpty()) {
        double n = key.ToDouble();
        if (n >= 1 && n <= Count()) return pairs_[size_t(n) - 1].second;
        return {};
    }
    std::string wanted = Upper(key.IsString() ? key.String() : std::string());
    for (const auto& [k, v] : pairs_)
        if (Upper(k) == wanted) return v;
    return {};
}

const std::string& CCommandArgs::Key(int index) const {
    if (index < 1 || index > Count()) vb::Raise(vb::err::kSubscriptOutOfRange);
    return pairs_[size_t(index) - 1].first;
}

const std::string& CCommandArgs::Value(int index) const {
    if (index < 1 || index > Count()) vb::Raise(vb::err::kSubscriptOutOfRange);
    return pairs_[size_t(index) - 1].second;
}
