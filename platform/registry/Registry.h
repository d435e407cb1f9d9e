// Registry keys and values kept in files: one text file in the ".reg" export
// format ("REGEDIT4", 8-bit strings) per root, under the user's configuration
// folder ($XDG_CONFIG_HOME/Zelk/, else ~/.config/Zelk/).
//
// Values are stored as raw bytes with a type code, as the Win32 calls see
// them: a string value written by a caller normally ends with one NUL byte.
// Every change rewrites the root's file atomically (temporary file, flush,
// rename) while holding an exclusive advisory lock on a lock file beside it,
// so two processes writing at the same time lose neither's values. The files
// are readable by their owner only. The folder is looked up afresh at each
// call, so a changed XDG_CONFIG_HOME takes effect at once.
//
// Key paths are kept as given (an empty level leaves a doubled backslash, as
// the caller composed it); keys and value names compare without regard to
// ASCII case, like the registry's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace reg {

// The predefined root handles, with their Win32 values.
inline constexpr int32_t HKEY_CLASSES_ROOT = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t HKEY_CURRENT_USER = static_cast<int32_t>(0x80000001u);
inline constexpr int32_t HKEY_LOCAL_MACHINE = static_cast<int32_t>(0x80000002u);

// Value types, with their Win32 codes.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

struct Value {
    uint32_t type = REG_NONE;
    std::string data;  // raw bytes; a REG_DWORD is 4 bytes, least significant first
};

// The folder holding the roots' files (not created by this call).
std::filesystem::path StoreFolder();
// The file of a root ("HKEY_LOCAL_MACHINE.reg"); empty for a root that is not kept.
std::filesystem::path RootFile(int32_t root);

// Creates the key when missing. False for an unknown root, a key that cannot
// be named in the file (line breaks, "]"), or a file that cannot be written.
bool CreateKey(int32_t root, std::string_view key);
bool KeyExists(int32_t root, std::string_view key);
// Creates the key when missing and sets the value (replacing one of the same name).
bool SetValue(int32_t root, std::string_view key, std::string_view name, uint32_t type, std::string_view data);
// The value, or nothing when the root, key or value does not exist or the file cannot be read.
std::optional<Value> QueryValue(int32_t root, std::string_view key, std::string_view name);

// The 4 bytes of a REG_DWORD and back.
std::string DwordBytes(uint32_t value);
uint32_t DwordValue(std::string_view bytes);

}  // namespace reg
