// Run-time errors of the old runtime: a number, a description and a source.
// Every failure of the platform and of the system's own code is a VbError
// (or derives from one), so callers can test the number the way the old code
// tested Err.Number.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vb {

// The base that component errors are offset from (vbObjectError).
inline constexpr int32_t kObjectError = -2147221504;  // 0x80040000

// Run-time error numbers the system relies on.
namespace err {
inline constexpr int32_t kInvalidProcedureCall = 5;  // also sqrt/log of a negative
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kDivisionByZero = 11;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kPathFileAccess = 75;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kObjectVariableNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kInvalidObjectType = kObjectError + 1000;
inline constexpr int32_t kFileDialogCancelled = kObjectError + 1001;
inline constexpr int32_t kActionCancelled = kObjectError + 2000;
}  // namespace err

class VbError : public std::runtime_error {
public:
    VbError(int32_t number, std::string description, std::string source = {}, int32_t line = 0);

    int32_t Number() const noexcept { return number_; }
    const std::string& Description() const noexcept { return description_; }
    const std::string& Source() const noexcept { return source_; }
    // Line number of the failing statement; 0 when it has none.
    int32_t Line() const noexcept { return line_; }

private:
    int32_t number_;
    std::string description_;
    std::string source_;
    int32_t line_;
};

// The runtime's own text for a standard error number ("Overflow", ...).
std::string StandardErrorText(int32_t number);

// Raises the standard error with its standard text.
[[noreturn]] void Raise(int32_t number);
[[noreturn]] void Raise(int32_t number, const std::string& description, const std::string& source = {});

}  // namespace vb
