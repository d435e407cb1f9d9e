#include "vb/VbError.h"

namespace vb {

namespace {
std::string WhatText(int32_t number, const std::string& description) {
    return "Error " + std::to_string(number) + ": " + description;
}
}  // namespace

VbError::VbError(int32_t number, std::string description, std::string source, int32_t line)
    : std::runtime_error(WhatText(number, description)), number_(number), description_(std::move(description)),
      source_(std::move(source)), line_(line) {}

std::string StandardErrorText(int32_t number) {
    switch (number) {
        case err::kInvalidProcedureCall:
            return "Invalid procedure call or argument";
        case err::kOverflow:
            return "Overflow";
        case err::kOutOfMemory:
            return "Out of memory";
        case err::kSubscriptOutOfRange:
            return "Subscript out of range";
        case err::kDivisionByZero:
            return "Division by zero";
        case err::kTypeMismatch:
            return "Type mismatch";
        case err::kFileNotFound:
            return "File not found";
        case err::kPathFileAccess:
            return "Path/File access error";
        case err::kPathNotFound:
            return "Path not found";
        case err::kObjectRequired:
            return "Object required";
        case err::kObjectVariableNotSet:
            return "Object variable or With block variable not set";
        case err::kInvalidUseOfNull:
            return "Invalid use of Null";
        default:
            return "Application-defined or object-defined error";
    }
}

void Raise(int32_t number) { throw VbError(number, StandardErrorText(number)); }

void Raise(int32_t number, const std::string& description, const std::string& source) {
    throw VbError(number, description, source);
}

}  // namespace vb
