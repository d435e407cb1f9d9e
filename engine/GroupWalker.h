// The group-by-group walk over the engine's sorted source data that almost
// every analysis makes: it reads each record of DataRecordset, finds group
// breaks through Quarn_SameRecords_b, reports progress through Quarn_Msg
// (every fifth record, and forced at each break and at the end), works out
// each record's weight as Quarn_WeightCalc does and counts the records and
// the present values of each group, from which the missing counts follow.
//
// An analysis supplies what it does per record and per finished group:
//
//     GroupWalker walk(Zantels, strFields, intGroupFields, fWeightField,
//                      intGroupFields + intNumFields + 1);
//     walk.Walk({.record = [&](double w) { ...; if (walk.PresentValue(k, x)) ... },
//                .groupEnd = [&](const GroupValues& g, int32_t n) { ...write rows... },
//                .groupStart = [&] { ...reset sums... }});
//
// Order of events, as the analyses' record loops have it:
//   for each record:
//     - read the group values; on the first record they become the group's;
//     - on a break: Quarn_Msg(records read, forced, ""), groupEnd(values of
//       the finished group, its record count), the new values become the
//       group's, the per-group counts restart, groupStart();
//     - record(weight) with the record current in DataRecordset;
//     - records read + 1, group records + 1, Quarn_Msg(records read, not
//       forced, ""), MoveNext.
//   at the end, when at least one record was read: Quarn_Msg(records read,
//   forced, "") and groupEnd for the last group.
// The first group's start is the analysis's own (it resets its sums before
// Walk); groupStart runs only at breaks. Errors raised by the handlers or
// the data-access layer leave Walk unchanged.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dao/Dao.h"
#include "vb/Variant.h"
#include "vb/VbError.h"

class RunContext;

// Raised by the walk when a group's weights add up to more than a Double
// holds: every weighted count, mean and test of the group would be infinite
// or meaningless. Names the weight field.
class WeightSumOverflow : public vb::VbError {
public:
    explicit WeightSumOverflow(const std::string& field);
    const std::string& FieldName() const noexcept { return field_; }

private:
    std::string field_;
};

// One-based group values (entry 0 unused); elements may be Null.
using GroupValues = std::vector<vb::Variant>;

// Whether two values are identical: of one type and one value (text of the
// same bytes). Identical values compare equal under every comparison.
inline bool IdenticalValues(const vb::Variant& a, const vb::Variant& b) {
    if (a.IsString()) return b.IsString() && a.String() == b.String();
    return a == b;
}

// A field's value in the current record as the database stores it, read
// without a Variant; the bytes of text stay valid until the record set moves.
struct StoredView {
    explicit StoredView(const dao::Field& field) {
        double real = 0;
        kind = field.StoredValue(integer, real, bytes);
        std::memcpy(&realBits, &real, sizeof real);
    }
    dao::Field::Stored kind = dao::Field::Stored::kNull;
    int64_t integer = 0;
    uint64_t realBits = 0;  // a real number's bits: -0 and 0 are told apart
    std::string_view bytes;
};

// A stored value kept. Records whose stored values are identical read as
// identical values, so a value read for one record serves the next ones
// that store the same.
struct StoredKey {
    dao::Field::Stored kind = dao::Field::Stored::kNull;
    int64_t integer = 0;
    uint64_t realBits = 0;
    std::string bytes;
    bool Matches(const StoredView& v) const {
        return v.kind == kind && v.integer == integer && v.realBits == realBits && v.bytes == bytes;
    }
    void Keep(const StoredView& v) {
        kind = v.kind;
        integer = v.integer;
        realBits = v.realBits;
        bytes.assign(v.bytes);
    }
};

// A field's value read again only when its stored value changes: records
// that store the same value read as identical values.
class StoredValueCache {
public:
    // Puts the field's value in the current record into `value` when its
    // stored value differs from the one last read (or none was); true then.
    bool Refresh(const dao::Field& field, vb::Variant& value) {
        const StoredView stored(field);
        if (keyed_ && key_.Matches(stored)) return false;
        key_.Keep(stored);
        keyed_ = false;
        value = field.Value();
        keyed_ = true;
        return true;
    }
    // The next Refresh reads the value whatever is stored.
    void Forget() { keyed_ = false; }

private:
    StoredKey key_;
    bool keyed_ = false;
};

class GroupWalker {
public:
    struct Handlers {
        // Once per record; the argument is the record's weight (1 without a
        // weight field, 0 for a record to skip: Null, the "Equal" missing
        // value, 0 or negative).
        std::function<void(double dblWeight)> record;
        // Once per finished group, before the next group's first record:
        // the group's values and the number of its records (all of them,
        // skipped ones included).
        std::function<void(const GroupValues& varGroup, int32_t lngGroupRecords)> groupEnd;
        // After a break, once the new group's values are the group's.
        std::function<void()> groupStart;
    };

    // strFields: the one-based field-name array; its entries 1..intGroupFields
    // are the group fields. intWeightIndex: the position of the weight field
    // (read only with fWeightField). The walker keeps references to Zantels
    // and strFields: both must outlive it.
    GroupWalker(RunContext& Zantels, const std::vector<std::string>& strFields, int16_t intGroupFields,
                bool fWeightField, int16_t intWeightIndex);

    // Walks DataRecordset from its current row to its end. Returns the number
    // of records read.
    int32_t Walk(const Handlers& handlers);

    // --- while walking --------------------------------------------------------------
    // The values of the group being accumulated (one-based).
    const GroupValues& Group() const { return saved_; }
    // Records read before the current one (in the whole walk / in its group);
    // inside groupEnd, GroupRecords() is the finished group's count.
    int32_t RecordsRead() const { return recordsRead_; }
    int32_t GroupRecords() const { return groupRecords_; }

    // The value of the field strFields[intPos] in the current record.
    vb::Variant Value(int16_t intPos) const;
    // The same as the database stores it.
    StoredView Stored(int16_t intPos) const { return StoredView(*FieldAt(intPos)); }
    // The value into `value` when the stored value changed since the cache's
    // last read (see StoredValueCache); true then.
    bool Refresh(int16_t intPos, StoredValueCache& cache, vb::Variant& value) const {
        return cache.Refresh(*FieldAt(intPos), value);
    }
    // True, with the value in dblValue, when the field strFields[intPos] of
    // the current record is neither Null nor missing under the run's
    // missing-value mode (Quarn_DataOk_b).
    bool PresentValue(int16_t intPos, double& dblValue) const;

    // Per-group counts of used values, by a number the analysis chooses
    // (normally the analysed field's number 1..intNumFields); they restart at
    // each break. MissingCount(k) = GroupRecords() - Observations(k): what the
    // result tables' missing column shows.
    void AddObservation(int16_t intField);
    int32_t Observations(int16_t intField) const;
    int32_t MissingCount(int16_t intField) const;

private:
    const dao::FieldPtr& FieldAt(int16_t intPos) const;
    void CheckGroupWeight() const;
    double RecordWeight() const;
    // The number of the field strFields[intPos] in the current record, as
    // NumberValue gives it. The fields asked for before are read together
    // once a record.
    bool NumberOf(int16_t intPos, double& dblValue) const;

    RunContext& zantels_;
    const std::vector<std::string>& fields_;
    int16_t groupFields_;
    bool weighted_;
    int16_t weightIndex_;
    GroupValues saved_;
    GroupValues current_;
    std::vector<StoredValueCache> currentKeys_;  // the stored values current_ was read from
    int32_t recordsRead_ = 0;
    int32_t groupRecords_ = 0;
    double groupWeight_ = 0;  // the group's weights added up (checked at its end)
    std::vector<int32_t> observations_;
    // Fields of DataRecordset by position in strFields, looked up once.
    mutable std::vector<dao::FieldPtr> columns_;
    mutable dao::RecordsetPtr columnsOf_;
    // The fields read as numbers so far (by position, the others empty), and
    // their numbers in the record at numbersRow_ (-2: none read).
    mutable std::vector<dao::FieldPtr> numberFields_;
    mutable std::vector<double> numbers_;
    mutable std::vector<int8_t> numberStates_;
    mutable int32_t numbersRow_ = -2;
};
