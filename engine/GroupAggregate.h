// Counts and sums per group, formed in memory from one unsorted read of the
// source, giving the rows that the database's
//
//     SELECT keys, aggregates FROM ... GROUP BY keys ORDER BY keys
//
// gives, without its sort of every record: the same groups (keys equal as the
// database compares them: numbers by value, text under the column's
// collation, Nulls together), in the same order (Null, numbers, text, then
// bytes), each key as the group's first record holds it, Count as a count
// and Sum added as the layer's SQL adds (dao::SqlSum), in the order the
// records are read (which the database's sort keeps for tying records).
//
// It holds one entry per group, at most kMostGroups of them, and gives up
// where its rows could differ from the database's: too many groups, text in
// a key of a computed column (whose collation the record set does not tell),
// a sum of text, of integers that overflow, or beyond the largest Double
// (the query's error or its refusal of an infinity is the run's then).
// The caller then runs the grouped query instead.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "dao/Dao.h"
#include "dao/SqlSum.h"
#include "vb/Variant.h"

class GroupAggregate {
public:
    static constexpr size_t kMostGroups = 50000;

    enum class Kind {
        kRows,   // Count(*): the group's records
        kCount,  // Count(column): its values that are not Null
        kSum,    // Sum(column)
    };
    struct Aggregate {
        Kind kind;
        int field;  // the record-set field it reads; unused for kRows
    };

    // Groups by fields 0 .. keys - 1 of rs.
    GroupAggregate(dao::RecordsetPtr rs, int keys, std::vector<Aggregate> aggregates, size_t mostGroups = kMostGroups);

    // Reads the record set from its current record to its end and sorts the
    // groups. False (part-way) where the rows could differ from the
    // database's; the record set is then left where the read stopped.
    bool ReadAll();

    // The groups in key order: the key values, then the aggregates.
    size_t Rows() const { return order_.size(); }
    int Columns() const { return keys_ + static_cast<int>(aggregates_.size()); }
    vb::Variant Value(size_t row, int column) const;

    // The distinct values of key k in ascending order, each as the first
    // record holding it has it (what SELECT DISTINCT gives over the same read).
    std::vector<vb::Variant> Values(int k) const;

private:
    struct Stored {
        dao::Field::Stored kind = dao::Field::Stored::kNull;
        int64_t integer = 0;
        double real = 0;
        std::string bytes;
    };
    struct Group {
        int64_t firstRecord = 0;
        std::vector<Stored> keys;
        std::vector<vb::Variant> labels;
        std::vector<dao::SqlSum> sums;  // count is the count of kRows and kCount
    };

    int CompareKey(const Stored& a, const Stored& b, int k) const;
    int CompareGroups(const Group& a, const Group& b) const;
    bool AddRecord(int64_t record);
    bool ReadKey();
    void AddGroup(int64_t record);
    bool AddValues(Group& group);

    dao::RecordsetPtr rs_;
    int keys_;
    std::vector<Aggregate> aggregates_;
    size_t mostGroups_;
    std::vector<dao::Field*> keyFields_, valueFields_;
    std::vector<bool> noCase_;    // per key: text compares without regard to ASCII case
    std::vector<bool> computed_;  // per key: no table column (collation unknown)
    std::vector<Group> groups_;   // in the order they were first met
    std::vector<size_t> order_;   // groups_ in key order
    std::unordered_map<std::string, size_t> index_;
    std::string probe_;  // the current record's canonical key
};
