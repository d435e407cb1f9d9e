#include "registry/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace reg {
namespace {

namespace fs = std::filesystem;

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

const char* RootName(int32_t root) {
    switch (root) {
        case HKEY_LOCAL_MACHINE:
            return "HKEY_LOCAL_MACHINE";
        case HKEY_CURRENT_USER:
            return "HKEY_CURRENT_USER";
        default:
            return nullptr;
    }
}

// A key name must fit on a section line of the file.
bool UsableKey(std::string_view key) {
    return key.find_first_of(std::string_view("\r\n]\0", 4)) == std::string_view::npos;
}

bool UsableName(std::string_view name) { return name.find_first_of("\r\n") == std::string_view::npos; }

// --- the file's content ------------------------------------------------------

struct Entry {
    std::string name;
    Value value;
};

struct Key {
    std::string path;
    std::vector<Entry> values;
};

struct Hive {
    std::vector<Key> keys;

    Key* Find(std::string_view path) {
        for (auto& k : keys)
            if (SameName(k.path, path)) return &k;
        return nullptr;
    }
    Key& Make(std::string_view path) {
        if (Key* k = Find(path)) return *k;
        keys.push_back(Key{std::string(path), {}});
        return keys.back();
    }
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted text starting at text[pos] == '"'; pos ends after the closing quote.
bool ReadQuoted(const std::string& text, size_t& pos, std::string& out) {
    if (pos >= text.size() || text[pos] != '"') return false;
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '\\' && pos + 1 < text.size()) {
            out += text[++pos];
        } else if (c == '"') {
            ++pos;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

bool ReadHexBytes(std::string_view list, std::string& out) {
    out.clear();
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && (list[i] == ' ' || list[i] == '\t' || list[i] == ',')) ++i;
        if (i >= list.size()) break;
        if (i + 1 >= list.size()) return false;
        int hi = HexDigit(list[i]), lo = HexDigit(list[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

// The data part of a value line (after "name"=).
bool ReadData(const std::string& line, size_t pos, Value& value) {
    std::string_view rest(line);
    rest.remove_prefix(pos);
    if (!rest.empty() && rest[0] == '"') {
        std::string text;
        if (!ReadQuoted(line, pos, text)) return false;
        value.type = REG_SZ;
        value.data = text + '\0';
        return true;
    }
    if (rest.rfind("dword:", 0) == 0) {
        std::string_view digits = rest.substr(6);
        if (digits.empty() || digits.size() > 8) return false;
        uint32_t n = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) return false;
            n = n * 16 + static_cast<uint32_t>(d);
        }
        value.type = REG_DWORD;
        value.data = DwordBytes(n);
        return true;
    }
    if (rest.rfind("hex:", 0) == 0) {
        value.type = REG_BINARY;
        return ReadHexBytes(rest.substr(4), value.data);
    }
    if (rest.rfind("hex(", 0) == 0) {
        size_t close = rest.find("):");
        if (close == std::string_view::npos || close == 4) return false;
        uint32_t type = 0;
        for (char c : rest.substr(4, close - 4)) {
            int d = HexDigit(c);
            if (d < 0) return false;
            type = type * 16 + static_cast<uint32_t>(d);
        }
        value.type = type;
        return ReadHexBytes(rest.substr(close + 2), value.data);
    }
    return false;
}

Hive Parse(const std::string& content, const std::string& rootName) {
    Hive hive;
    Key* current = nullptr;
    std::istringstream in(content);
    std::string raw;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        // Long hex lists go on over lines ending in a backslash.
        while (!raw.empty() && raw.back() == '\\' && raw.find("=hex") != std::string::npos) {
            std::string more;
            if (!std::getline(in, more)) break;
            if (!more.empty() && more.back() == '\r') more.pop_back();
            raw.pop_back();
            size_t start = more.find_first_not_of(" \t");
            raw += start == std::string::npos ? std::string() : more.substr(start);
        }
        if (raw.empty() || raw[0] == ';') continue;
        if (raw[0] == '[') {
            current = nullptr;
            size_t close = raw.rfind(']');
            if (close == std::string::npos) continue;
            std::string full = raw.substr(1, close - 1);
            if (SameName(full, rootName)) {
                current = &hive.Make("");
            } else if (full.size() > rootName.size() && full[rootName.size()] == '\\' &&
                       SameName(std::string_view(full).substr(0, rootName.size()), rootName)) {
                current = &hive.Make(std::string_view(full).substr(rootName.size() + 1));
            }
            continue;
        }
        if (!current) continue;
        Entry entry;
        size_t pos = 0;
        if (raw[0] == '@') {
            pos = 1;
        } else if (!ReadQuoted(raw, pos, entry.name)) {
            continue;
        }
        if (pos >= raw.size() || raw[pos] != '=') continue;
        if (!ReadData(raw, pos + 1, entry.value)) continue;
        bool replaced = false;
        for (auto& e : current->values) {
            if (SameName(e.name, entry.name)) {
                e.value = entry.value;
                replaced = true;
            }
        }
        if (!replaced) current->values.push_back(std::move(entry));
    }
    return hive;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string HexList(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ',';
        auto b = static_cast<unsigned char>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// A string that ends with its one NUL and holds no line break is written as
// text; anything else keeps its exact bytes in a hex list.
bool PlainString(const Value& v) {
    if (v.type != REG_SZ || v.data.empty() || v.data.back() != '\0') return false;
    std::string_view body(v.data.data(), v.data.size() - 1);
    return body.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string Format(const Hive& hive, const std::string& rootName) {
    std::string out = "REGEDIT4\r\n";
    for (const auto& key : hive.keys) {
        out += "\r\n[" + rootName + (key.path.empty() ? "" : "\\") + key.path + "]\r\n";
        for (const auto& e : key.values) {
            out += e.name.empty() ? std::string("@") : Quote(e.name);
            out += '=';
            if (PlainString(e.value)) {
                out += Quote(std::string_view(e.value.data.data(), e.value.data.size() - 1));
            } else if (e.value.type == REG_DWORD && e.value.data.size() == 4) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", DwordValue(e.value.data));
                out += buf;
            } else if (e.value.type == REG_BINARY) {
                out += "hex:" + HexList(e.value.data);
            } else {
                char buf[24];
                std::snprintf(buf, sizeof buf, "hex(%x):", e.value.type);
                out += buf + HexList(e.value.data);
            }
            out += "\r\n";
        }
    }
    return out;
}

// --- files and locking -------------------------------------------------------

// An advisory lock on the root's lock file, held for the life of the object.
class FileLock {
public:
    FileLock(const fs::path& path, bool exclusive) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) return;
        int rc;
        do {
            rc = ::flock(fd_, exclusive ? LOCK_EX : LOCK_SH);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

fs::path LockFile(const fs::path& file) { return fs::path(file.string() + ".lock"); }

bool EnsureFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    fs::create_directories(folder.parent_path(), ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return fs::is_directory(folder, ec);
}

// The file's content; false only when it exists and cannot be read.
bool ReadFile(const fs::path& file, std::string& content) {
    content.clear();
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        content.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Replaces the file by a new one holding `content`: a temporary file in the
// same folder, flushed to disk, then renamed over the old one.
bool ReplaceFile(const fs::path& file, const std::string& content) {
    std::string pattern = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(name.data(), file.c_str()) == 0;
    if (!ok) {
        ::unlink(name.data());
        return false;
    }
    int dir = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

// Reads the root's hive under a shared lock.
bool Load(int32_t root, Hive& hive) {
    const char* rootName = RootName(root);
    if (!rootName) return false;
    fs::path file = RootFile(root);
    std::error_code ec;
    if (!fs::exists(file, ec)) return false;
    FileLock lock(LockFile(file), false);
    if (!lock.Held()) return false;
    std::string content;
    if (!ReadFile(file, content)) return false;
    hive = Parse(content, rootName);
    return true;
}

// Reads, changes and writes back the root's hive under an exclusive lock.
template <class Change>
bool Update(int32_t root, Change change) {
    const char* rootName = RootName(root);
    if (!rootName) return false;
    fs::path file = RootFile(root);
    if (!EnsureFolder(file.parent_path())) return false;
    FileLock lock(LockFile(file), true);
    if (!lock.Held()) return false;
    std::string content;
    if (!ReadFile(file, content)) return false;
    Hive hive = Parse(content, rootName);
    change(hive);
    return ReplaceFile(file, Format(hive, rootName));
}

}  // namespace

fs::path StoreFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    fs::path base;
    if (xdg && *xdg && fs::path(xdg).is_absolute()) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = ::getpwuid(::geteuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        base = fs::path(home) / ".config";
    }
    return base / "Zelk";
}

fs::path RootFile(int32_t root) {
    const char* name = RootName(root);
    if (!name) return {};
    return StoreFolder() / (std::string(name) + ".reg");
}

bool CreateKey(int32_t root, std::string_view key) {
    if (!UsableKey(key)) return false;
    return Update(root, [&](Hive& hive) { hive.Make(key); });
}

bool KeyExists(int32_t root, std::string_view key) {
    Hive hive;
    return Load(root, hive) && hive.Find(key) != nullptr;
}

bool SetValue(int32_t root, std::string_view key, std::string_view name, uint32_t type, std::string_view data) {
    if (!UsableKey(key) || !UsableName(name)) return false;
    return Update(root, [&](Hive& hive) {
        Key& k = hive.Make(key);
        for (auto& e : k.values) {
            if (SameName(e.name, name)) {
                e.value = Value{type, std::string(data)};
                return;
            }
        }
        k.values.push_back(Entry{std::string(name), Value{type, std::string(data)}});
    });
}

std::optional<Value> QueryValue(int32_t root, std::string_view key, std::string_view name) {
    Hive hive;
    if (!Load(root, hive)) return std::nullopt;
    const Key* k = hive.Find(key);
    if (!k) return std::nullopt;
    for (const auto& e : k->values)
        if (SameName(e.name, name)) return e.value;
    return std::nullopt;
}

std::string DwordBytes(uint32_t value) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

uint32_t DwordValue(std::string_view bytes) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && i < bytes.size(); ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return v;
}

}  // namespace reg
