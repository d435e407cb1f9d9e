#include "GroupAggregate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace {

using StoredKind = dao::Field::Stored;

// The database's order of kinds: Null, numbers, text, bytes.
int KindRank(StoredKind kind) {
    switch (kind) {
        case StoredKind::kNull:
            return 0;
        case StoredKind::kInteger:
        case StoredKind::kReal:
            return 1;
        case StoredKind::kText:
            return 2;
        case StoredKind::kBlob:
            return 3;
    }
    return 0;
}

unsigned char FoldAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

int Sign(int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// The binary collation: bytes, then length.
int CompareBinary(const std::string& a, const std::string& b) {
    const int r = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    return r != 0 ? r : Sign(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
}

// The NOCASE collation: ASCII letters folded, byte by byte up to the shorter
// length or a zero byte of the first text, then the lengths.
int CompareNoCase(const std::string& a, const std::string& b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a.data());
    const auto* y = reinterpret_cast<const unsigned char*>(b.data());
    size_t n = std::min(a.size(), b.size());
    while (n > 0 && *x != 0 && FoldAscii(*x) == FoldAscii(*y)) {
        ++x, ++y, --n;
    }
    if (n > 0) {
        const int r = FoldAscii(*x) - FoldAscii(*y);
        if (r != 0) return r;
    }
    return Sign(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
}

// An integer against a Double, exactly.
int CompareIntReal(int64_t i, double d) {
    if (d >= 9223372036854775808.0) return -1;
    if (d < -9223372036854775808.0) return 1;
    const double t = std::trunc(d);
    const auto ti = static_cast<int64_t>(t);
    if (i != ti) return i < ti ? -1 : 1;
    const double fraction = d - t;
    return fraction > 0 ? -1 : fraction < 0 ? 1 : 0;
}

void AppendBytes(std::string& to, const void* p, size_t n) { to.append(static_cast<const char*>(p), n); }

}  // namespace

GroupAggregate::GroupAggregate(dao::RecordsetPtr rs, int keys, std::vector<Aggregate> aggregates, size_t mostGroups)
    : rs_(std::move(rs)), keys_(keys), aggregates_(std::move(aggregates)), mostGroups_(mostGroups) {
    for (int k = 0; k < keys_; ++k) {
        const dao::FieldPtr& f = rs_->Fields(k);
        keyFields_.push_back(f.get());
        noCase_.push_back(f->CollatingOrder() == dao::dbSortGeneral);
        computed_.push_back(f->SourceTable().empty());
    }
    for (const Aggregate& a : aggregates_)
        valueFields_.push_back(a.kind == Kind::kRows ? nullptr : rs_->Fields(a.field).get());
}

bool GroupAggregate::ReadAll() {
    int64_t record = 0;
    while (!rs_->Eof()) {
        if (!AddRecord(record++)) return false;
        rs_->MoveNext();
    }
    for (const Group& g : groups_) {
        for (size_t a = 0; a < aggregates_.size(); ++a) {
            const dao::SqlSum& s = g.sums[a];
            if (aggregates_[a].kind != Kind::kSum || !s.approximate) continue;
            if (s.overflow || !std::isfinite(s.Approximate())) return false;
        }
    }
    order_.resize(groups_.size());
    std::iota(order_.begin(), order_.end(), size_t{0});
    // Keys of two groups never compare equal: no order of ties to keep.
    std::sort(order_.begin(), order_.end(),
              [&](size_t a, size_t b) { return CompareGroups(groups_[a], groups_[b]) < 0; });
    return true;
}

// Adds the current record to its group; false where the result could differ
// from the database's.
bool GroupAggregate::AddRecord(int64_t record) {
    if (!ReadKey()) return false;
    size_t g = 0;
    if (const auto found = index_.find(probe_); found != index_.end()) {
        g = found->second;
    } else {
        if (groups_.size() >= mostGroups_) return false;
        g = groups_.size();
        index_.emplace(probe_, g);
        AddGroup(record);
    }
    return AddValues(groups_[g]);
}

// The current record's canonical key into probe_: equal exactly when the
// database finds the keys equal. A number is an integer where it is one (1
// and 1.0 are equal), else its Double; NOCASE text is its bytes with ASCII
// letters folded, up to a zero byte (the collation reads no further), with
// the length. False for text in a computed key.
bool GroupAggregate::ReadKey() {
    probe_.clear();
    int64_t integer = 0;
    double real = 0;
    std::string_view bytes;
    for (int k = 0; k < keys_; ++k) {
        StoredKind kind = keyFields_[static_cast<size_t>(k)]->StoredValue(integer, real, bytes);
        if (kind == StoredKind::kReal && std::trunc(real) == real && real >= -9223372036854775808.0 &&
            real < 9223372036854775808.0) {
            kind = StoredKind::kInteger;
            integer = static_cast<int64_t>(real);
        }
        switch (kind) {
            case StoredKind::kNull:
                probe_ += 'N';
                break;
            case StoredKind::kInteger:
                probe_ += 'I';
                AppendBytes(probe_, &integer, sizeof integer);
                break;
            case StoredKind::kReal:
                probe_ += 'R';
                AppendBytes(probe_, &real, sizeof real);
                break;
            case StoredKind::kText:
            case StoredKind::kBlob: {
                if (kind == StoredKind::kText && computed_[static_cast<size_t>(k)]) return false;
                probe_ += kind == StoredKind::kText ? 'T' : 'B';
                const uint64_t length = bytes.size();
                AppendBytes(probe_, &length, sizeof length);
                if (kind == StoredKind::kText && noCase_[static_cast<size_t>(k)]) {
                    size_t i = 0;
                    for (; i < bytes.size() && bytes[i] != '\0'; ++i)
                        probe_ += static_cast<char>(FoldAscii(static_cast<unsigned char>(bytes[i])));
                    probe_ += '\0';
                } else {
                    probe_.append(bytes);
                }
                break;
            }
        }
    }
    return true;
}

// A new group, its keys as the current record holds them.
void GroupAggregate::AddGroup(int64_t record) {
    std::string_view bytes;
    Group& group = groups_.emplace_back();
    group.firstRecord = record;
    group.sums.assign(aggregates_.size(), dao::SqlSum{});
    for (int k = 0; k < keys_; ++k) {
        Stored& s = group.keys.emplace_back();
        s.kind = keyFields_[static_cast<size_t>(k)]->StoredValue(s.integer, s.real, bytes);
        s.bytes.assign(bytes.data(), bytes.size());
        group.labels.push_back(keyFields_[static_cast<size_t>(k)]->Value());
    }
}

// The current record's values into the group's counts and sums; false for
// text or bytes to sum.
bool GroupAggregate::AddValues(Group& group) {
    int64_t integer = 0;
    double real = 0;
    std::string_view bytes;
    for (size_t a = 0; a < aggregates_.size(); ++a) {
        dao::SqlSum& s = group.sums[a];
        if (aggregates_[a].kind == Kind::kRows) {
            ++s.count;
            continue;
        }
        const StoredKind kind = valueFields_[a]->StoredValue(integer, real, bytes);
        if (kind == StoredKind::kNull) continue;
        ++s.count;
        if (aggregates_[a].kind == Kind::kCount) continue;
        if (kind == StoredKind::kInteger) {
            s.AddInteger(integer);
        } else if (kind == StoredKind::kReal) {
            s.AddReal(real);
        } else {
            // Text or bytes: summed as SQLite converts them.
            return false;
        }
    }
    return true;
}

int GroupAggregate::CompareKey(const Stored& a, const Stored& b, int k) const {
    const int ra = KindRank(a.kind), rb = KindRank(b.kind);
    if (ra != rb) return ra < rb ? -1 : 1;
    switch (a.kind) {
        case StoredKind::kNull:
            return 0;
        case StoredKind::kInteger:
            if (b.kind == StoredKind::kInteger) return a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
            return CompareIntReal(a.integer, b.real);
        case StoredKind::kReal:
            if (b.kind == StoredKind::kInteger) return -CompareIntReal(b.integer, a.real);
            return a.real < b.real ? -1 : a.real > b.real ? 1 : 0;
        case StoredKind::kText:
            return noCase_[static_cast<size_t>(k)] ? CompareNoCase(a.bytes, b.bytes) : CompareBinary(a.bytes, b.bytes);
        case StoredKind::kBlob:
            return CompareBinary(a.bytes, b.bytes);
    }
    return 0;
}

int GroupAggregate::CompareGroups(const Group& a, const Group& b) const {
    for (int k = 0; k < keys_; ++k) {
        const int r = CompareKey(a.keys[static_cast<size_t>(k)], b.keys[static_cast<size_t>(k)], k);
        if (r != 0) return r;
    }
    return 0;
}

vb::Variant GroupAggregate::Value(size_t row, int column) const {
    const Group& g = groups_[order_[row]];
    if (column < keys_) return g.labels[static_cast<size_t>(column)];
    const size_t a = static_cast<size_t>(column - keys_);
    const dao::SqlSum& s = g.sums[a];
    if (aggregates_[a].kind != Kind::kSum) return vb::Variant(s.count);
    if (s.count == 0) return vb::Variant::Null();
    return s.approximate ? vb::Variant(s.Approximate()) : vb::Variant(s.whole);
}

std::vector<vb::Variant> GroupAggregate::Values(int k) const {
    // By key k, and among equal keys by the record that first held it.
    std::vector<size_t> byKey(groups_.size());
    std::iota(byKey.begin(), byKey.end(), size_t{0});
    const size_t kk = static_cast<size_t>(k);
    std::sort(byKey.begin(), byKey.end(), [&](size_t a, size_t b) {
        const int r = CompareKey(groups_[a].keys[kk], groups_[b].keys[kk], k);
        return r != 0 ? r < 0 : groups_[a].firstRecord < groups_[b].firstRecord;
    });
    std::vector<vb::Variant> values;
    for (size_t i = 0; i < byKey.size(); ++i) {
        if (i > 0 && CompareKey(groups_[byKey[i - 1]].keys[kk], groups_[byKey[i]].keys[kk], k) == 0) continue;
        values.push_back(groups_[byKey[i]].labels[kk]);
    }
    return values;
}
