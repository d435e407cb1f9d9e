// The smallest and largest numbers of a few expressions, gathered by the
// sorted read of the data itself: a term of its select list sees every row
// as the sort takes it in. When the sort takes in the whole set before it
// gives its first row, the bounds are known with that row, without a pass of
// their own over the source.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dao/Dao.h"

namespace engine {

class SortedBounds {
public:
    SortedBounds();
    ~SortedBounds();
    SortedBounds(const SortedBounds&) = delete;
    SortedBounds& operator=(const SortedBounds&) = delete;

    // Defines the gathering function on the connection (once per
    // connection); false if it cannot be.
    static bool Define(dao::Database& db);
    // The select-list term over these SQL expressions. An empty text of an
    // expression whose emptyIsMissing holds is passed over as a Null.
    std::string Term(const std::vector<std::string>& expressions, std::vector<bool> emptyIsMissing);
    // After the read's first row: keeps what was gathered when the read
    // took in every row first, and stops gathering either way.
    void Seal(bool wholeSetRead);

    // Sealed over the whole set, with only finite numbers and Nulls met.
    bool Usable() const;
    // Whether any number was met, and the bounds over all expressions.
    bool Found() const;
    double Low() const;
    double High() const;

    struct State;

private:
    int64_t id_;
    std::shared_ptr<State> state_;
};

}  // namespace engine
