// The shared group-by-group walk over DataRecordset.
#include "GroupWalker.h"

#include <cmath>

#include "RunContext.h"
#include "vb/VbError.h"

WeightSumOverflow::WeightSumOverflow(const std::string& field)
    : vb::VbError(vb::err::kOverflow, "The weights of the field '" + field + "' add up to more than a number can hold.",
                  "GroupWalker"),
      field_(field) {}

GroupWalker::GroupWalker(RunContext& Zantels, const std::vector<std::string>& strFields, int16_t intGroupFields,
                         bool fWeightField, int16_t intWeightIndex)
    : zantels_(Zantels), fields_(strFields), groupFields_(intGroupFields < 0 ? int16_t(0) : intGroupFields),
      weighted_(fWeightField), weightIndex_(intWeightIndex) {}

const dao::FieldPtr& GroupWalker::FieldAt(int16_t intPos) const {
    const dao::RecordsetPtr& rs = zantels_.DataRecordset();
    if (columnsOf_ != rs) {
        columns_.clear();
        numberFields_.clear();
        numbersRow_ = -2;
        columnsOf_ = rs;
    }
    const size_t at = static_cast<size_t>(intPos);
    if (columns_.size() <= at) columns_.resize(at + 1);
    if (!columns_[at]) columns_[at] = rs->Fields(std::string_view(fields_.at(at)));
    return columns_[at];
}

vb::Variant GroupWalker::Value(int16_t intPos) const { return FieldAt(intPos)->Value(); }

bool GroupWalker::NumberOf(int16_t intPos, double& dblValue) const {
    const dao::FieldPtr& field = FieldAt(intPos);
    const size_t at = static_cast<size_t>(intPos);
    if (numberFields_.size() <= at) numberFields_.resize(at + 1);
    if (!numberFields_[at]) {
        // A field asked for the first time is read alone; from the next
        // record on it is read with the others.
        numberFields_[at] = field;
        numbersRow_ = -2;
        return field->NumberValue(dblValue);
    }
    // The record set is read-only: its position names the record.
    const int32_t row = columnsOf_->AbsolutePosition();
    if (row != numbersRow_ || at >= numberStates_.size()) {
        dao::Field::StoredNumbers(numberFields_, numbers_, numberStates_);
        numbersRow_ = row < 0 ? -2 : row;
    }
    switch (numberStates_[at]) {
        case 1:
            dblValue = numbers_[at];
            return true;
        case 0:
            return false;
        default:
            return field->NumberValue(dblValue);
    }
}

bool GroupWalker::PresentValue(int16_t intPos, double& dblValue) const {
    double x = 0;
    if (!NumberOf(intPos, x)) return false;
    if (!zantels_.Quarn_DataOk_b(x, false)) return false;
    dblValue = x;
    return true;
}

void GroupWalker::AddObservation(int16_t intField) {
    const size_t at = static_cast<size_t>(intField);
    if (observations_.size() <= at) observations_.resize(at + 1, 0);
    ++observations_[at];
}

int32_t GroupWalker::Observations(int16_t intField) const {
    const size_t at = static_cast<size_t>(intField);
    return at < observations_.size() ? observations_[at] : 0;
}

int32_t GroupWalker::MissingCount(int16_t intField) const { return groupRecords_ - Observations(intField); }

int32_t GroupWalker::Walk(const Handlers& handlers) {
    const dao::RecordsetPtr rs = zantels_.DataRecordset();
    if (!rs) throw vb::VbError(91, "Object variable or With block variable not set", "GroupWalker");
    const size_t n = static_cast<size_t>(groupFields_);
    saved_.assign(n + 1, vb::Variant::Null());
    current_.assign(n + 1, vb::Variant::Null());
    currentKeys_.assign(n + 1, StoredValueCache());
    recordsRead_ = 0;
    groupRecords_ = 0;
    groupWeight_ = 0;
    observations_.clear();
    static const std::string kNoText;

    while (!rs->Eof()) {
        // A group value is read only when the stored value differs from the
        // one it was last read from.
        for (size_t i = 1; i <= n; ++i) currentKeys_[i].Refresh(*FieldAt(static_cast<int16_t>(i)), current_[i]);
        // Values identical to the group's (the usual case in sorted data)
        // are no break under any comparison; only others are compared.
        bool sameValues = recordsRead_ != 0;
        for (size_t i = 1; sameValues && i <= n; ++i) sameValues = IdenticalValues(current_[i], saved_[i]);
        if (!sameValues && zantels_.Quarn_SameRecords_b(groupFields_, recordsRead_ != 0, saved_, current_)) {
            zantels_.Quarn_Msg(recordsRead_, true, kNoText);
            CheckGroupWeight();
            if (handlers.groupEnd) handlers.groupEnd(saved_, groupRecords_);
            zantels_.Quarn_SameRecords_b(groupFields_, false, saved_, current_);
            groupRecords_ = 0;
            groupWeight_ = 0;
            observations_.assign(observations_.size(), 0);
            if (handlers.groupStart) handlers.groupStart();
        }
        const double weight = weighted_ ? RecordWeight() : 1.0;
        groupWeight_ += weight;
        if (handlers.record) handlers.record(weight);
        ++recordsRead_;
        ++groupRecords_;
        // Only every fifth record has a message to give.
        if (recordsRead_ % 5 == 0) zantels_.Quarn_Msg(recordsRead_, false, kNoText);
        rs->MoveNext();
    }
    if (recordsRead_ > 0) {
        zantels_.Quarn_Msg(recordsRead_, true, kNoText);
        CheckGroupWeight();
        if (handlers.groupEnd) handlers.groupEnd(saved_, groupRecords_);
    }
    return recordsRead_;
}

// The weight as RunContext::WeightOf gives it for the field's value, read
// without a Variant when the field holds a number.
double GroupWalker::RecordWeight() const {
    double w = 0;
    return NumberOf(weightIndex_, w) ? zantels_.WeightOf(w) : 0;
}

void GroupWalker::CheckGroupWeight() const {
    if (weighted_ && !std::isfinite(groupWeight_))
        throw WeightSumOverflow(fields_.at(static_cast<size_t>(weightIndex_)));
}
