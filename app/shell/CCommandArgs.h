// CCommandArgs: splits a text of switches ("/KEY value/KEY2 value2") into
// key and value pairs. The recently used list keeps each entry's workgroup
// file, user and password this way.
//
// Values are written through EncodeValue, which escapes "%", "/" and blanks
// ("%25", "%2F", "%20"), and Parse decodes them, so a path or password holding
// "/" or blanks reads back exactly.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "vb/Variant.h"

class CCommandArgs {
public:
    const std::string& TestString() const { return testString_; }
    void TestString(const std::string& value) { testString_ = value; }
    const std::string& Delim() const { return delim_; }
    void Delim(const std::string& value) { delim_ = value; }
    int Count() const { return static_cast<int>(pairs_.size()); }

    // The value of the first pair whose key equals `key` without regard to
    // case, or of pair 1..Count for a number; "" when there is none.
    std::string Item(const vb::Variant& key) const;
    // Pair `index` (1 to Count); error 9 outside.
    const std::string& Key(int index) const;
    const std::string& Value(int index) const;

    // Rebuilds the pairs from TestString; nothing when Delim or TestString is empty.
    void Parse();

    static std::string EncodeValue(const std::string& value);
    static std::string DecodeValue(const std::string& value);
    // The switches of a recently used entry: "/WG " workgroup "/UID " user "/PWD " password.
    static std::string MRUSwitches(const std::string& workgroup, const std::string& user, const std::string& password);

private:
    std::string testString_;
    std::string delim_;
    std::vector<std::pair<std::string, std::string>> pairs_;
};
