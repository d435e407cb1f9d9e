#include "wizard/CZantelsPropWiz.h"

#include <cmath>
#include <type_traits>

#include "ErrorStack.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {

template <typename T>
T Converted(const vb::Variant& value) {
    if constexpr (std::is_same_v<T, std::string>)
        return value.ToString();  // Empty gives "", Null raises 94
    else
        return store::PropertyValue<T>(value);
}

}  // namespace

// --- the field collection -------------------------------------------------------------------------

ScenarioFieldPtr CScenarioFields::Add(const std::string& FieldName, const std::string& FieldChoice,
                                      const std::string& FieldType, int32_t FieldSeq, const std::string& sKey) {
    for (const std::string& key : keys_)
        if (vb::EqualsNoCase(key, sKey))
            vb::Raise(457, "This key is already associated with an element of this collection");
    const int32_t type = vb::CLng(vb::Variant(FieldType));  // 13 when not a number
    auto field = std::make_shared<CScenarioField>();
    field->Name(FieldName);
    field->Choice(FieldChoice);
    field->FieldType(type);
    field->OrdinalPosition(FieldSeq);
    fields_.push_back(field);
    keys_.push_back(sKey);
    return field;
}

size_t CScenarioFields::IndexOf(const vb::Variant& vntIndexKey) const {
    if (vntIndexKey.IsString()) {
        for (size_t i = 0; i < keys_.size(); ++i)
            if (vb::EqualsNoCase(keys_[i], vntIndexKey.String())) return i;
        vb::Raise(vb::err::kInvalidProcedureCall);
    }
    const int32_t position = vntIndexKey.ToLong();
    if (position < 1 || position > Count()) vb::Raise(vb::err::kSubscriptOutOfRange);
    return static_cast<size_t>(position - 1);
}

ScenarioFieldPtr CScenarioFields::Item(const vb::Variant& vntIndexKey) const { return fields_[IndexOf(vntIndexKey)]; }

void CScenarioFields::Remove(const vb::Variant& vntIndexKey) {
    const size_t i = IndexOf(vntIndexKey);
    fields_.erase(fields_.begin() + static_cast<std::ptrdiff_t>(i));
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(i));
}

void CScenarioFields::Clear() {
    fields_.clear();
    keys_.clear();
}

// --- the scenario object --------------------------------------------------------------------------

CZantelsPropWiz::CZantelsPropWiz() : fields_(std::make_shared<CScenarioFields>()) {}

CZantelsPropWiz::~CZantelsPropWiz() {
    ProcScope scope(ErrStack(), "CZantelsPropWiz:Class_Terminat");
    if (!fields_) return;
    while (fields_->Count() > 0) fields_->Remove(vb::Variant(fields_->Count()));
    fields_.reset();
}

void CZantelsPropWiz::Scenario_Type(const std::string& value) {
    if (value == "P" || value == "G" || value == "N") scenarioType_ = value;
}

bool CZantelsPropWiz::SetProperty(std::string_view name, const vb::Variant& value) {
    if (vb::EqualsNoCase(name, "Scenario_Type")) {
        Scenario_Type(Converted<std::string>(value));
        return true;
    }
#define MERIVOX_WIZARD_SET(prop, type)                                                                                 \
    if (vb::EqualsNoCase(name, #prop)) {                                                                               \
        prop(Converted<type>(value));                                                                                  \
        return true;                                                                                                   \
    }
    MERIVOX_WIZARD_PROPERTIES(MERIVOX_WIZARD_SET)
#undef MERIVOX_WIZARD_SET
    return false;
}

vb::Variant CZantelsPropWiz::GetProperty(std::string_view name) const {
    if (vb::EqualsNoCase(name, "Scenario_Type")) return vb::Variant(scenarioType_);
#define MERIVOX_WIZARD_GET(prop, type)                                                                                 \
    if (vb::EqualsNoCase(name, #prop)) return vb::Variant(prop());
    MERIVOX_WIZARD_PROPERTIES(MERIVOX_WIZARD_GET)
#undef MERIVOX_WIZARD_GET
    vb::Raise(438, "Object doesn't support this property or method: " + std::string(name));
}

store::PropertyKind CZantelsPropWiz::KindOf(std::string_view name) {
    if (vb::EqualsNoCase(name, "Scenario_Type")) return store::PropertyKind::Text;
#define MERIVOX_WIZARD_KIND(prop, type)                                                                                \
    if (vb::EqualsNoCase(name, #prop)) return store::KindOfType<type>();
    MERIVOX_WIZARD_PROPERTIES(MERIVOX_WIZARD_KIND)
#undef MERIVOX_WIZARD_KIND
    return store::PropertyKind::None;
}

std::vector<std::string_view> CZantelsPropWiz::PropertyNames() {
    std::vector<std::string_view> names;
#define MERIVOX_WIZARD_NAME(prop, type) names.push_back(#prop);
    MERIVOX_WIZARD_PROPERTIES(MERIVOX_WIZARD_NAME)
#undef MERIVOX_WIZARD_NAME
    names.insert(names.begin() + 2, "Scenario_Type");
    return names;
}

namespace {

// Calls `visit` for every column of the scenarios and options tables whose
// property the wizard object holds.
template <class F>
void ForEachWizardColumn(F&& visit) {
    for (const store::TableSchema* table : {&store::ScenariosSchema(), &store::OptionsSchema()})
        for (const store::ColumnDef& column : table->columns)
            if (column.HeldBy(store::kWizardObject)) visit(column);
}

}  // namespace

void CZantelsPropWiz::SetNewScenario(const std::string& familyLetter, const std::string& analysisName) {
    ForEachWizardColumn([this](const store::ColumnDef& column) {
        if (!column.newValue.empty()) SetProperty(column.property, vb::Variant(std::string(column.newValue)));
    });
    Scenario_ID(0);
    CalcType(analysisName);
    Scenario_Type(familyLetter);
}

std::vector<std::string> CZantelsPropWiz::LoadScenario(const dao::RecordsetPtr& row) {
    std::vector<std::string> unread;
    ForEachWizardColumn([&](const store::ColumnDef& column) {
        if (column.editNull == store::EditNull::NotRead) return;
        // A blank reads as the engine's run reads it.
        const vb::Variant value = store::ReadAs(column, store::StoredValue(row, column));
        try {
            switch (column.editNull) {
                case store::EditNull::EmptyText:   // a text property
                case store::EditNull::JoinedText:  // a variant that receives the text
                    SetProperty(column.property, vb::Variant(value.IsNull() ? std::string() : vb::CStr(value)));
                    break;
                case store::EditNull::Kept:
                case store::EditNull::Refused:  // the property's conversion refuses Null
                    // A variant takes any value: one its column could not hold is refused here,
                    // before a page tries to show it.
                    if (column.type != dao::dbText && !ColumnValueProblem(column, column.property, value).empty())
                        vb::Raise(vb::err::kTypeMismatch, "Type mismatch");
                    SetProperty(column.property, value);
                    break;
                case store::EditNull::NotRead:
                    break;
            }
        } catch (const vb::VbError&) {
            // Written by another tool, a value may not be readable: the
            // property takes a new scenario's value and the caller says so.
            unread.push_back(std::string(column.Name()) +
                             (value.IsNull() ? std::string(" (empty)") : " (\"" + vb::CStr(value) + "\")"));
            if (!column.newValue.empty()) SetProperty(column.property, vb::Variant(std::string(column.newValue)));
        }
    });
    return unread;
}

std::string ColumnValueProblem(const store::ColumnDef& column, std::string_view property, const vb::Variant& value) {
    const std::string name(property);
    if (value.IsNull() || value.IsEmpty() || value.IsMissing()) return {};
    switch (column.type) {
        case dao::dbText: {
            const std::string text = value.IsString() ? value.String() : vb::CStr(value);
            if (text.empty() && column.zeroLength == store::ZeroLength::Refused) return name + " must not be empty.";
            if (column.size > 0 && text.size() > static_cast<size_t>(column.size))
                return name + " may hold at most " + std::to_string(column.size) + " characters.";
            return {};
        }
        case dao::dbBoolean:
        case dao::dbDate:
            return {};
        default:
            break;
    }
    double number = 0;
    try {
        number = value.ToDouble();
    } catch (const vb::VbError&) {
        return name + " must be a number.";
    }
    if (!std::isfinite(number)) return name + " must be a number.";
    const double rounded = std::nearbyint(number);
    if (column.type == dao::dbInteger && (rounded < -32768 || rounded > 32767))
        return name + " must be a whole number from -32768 to 32767.";
    if (column.type == dao::dbLong && (rounded < -2147483648.0 || rounded > 2147483647.0))
        return name + " must be a whole number from -2147483648 to 2147483647.";
    return {};
}

std::string CZantelsPropWiz::CheckColumnValues(std::string& property) const {
    std::string message;
    ForEachWizardColumn([&](const store::ColumnDef& column) {
        const bool written = column.saveAs == store::SaveAs::AsHeld || column.saveAs == store::SaveAs::EmptyToNull;
        if (!message.empty() || !written) return;
        vb::Variant value = GetProperty(column.property);
        if (value.IsString() && value.String().empty() && column.saveAs == store::SaveAs::EmptyToNull) return;
        message = ColumnValueProblem(column, column.property, value);
        if (!message.empty()) property = std::string(column.property);
    });
    return message;
}

// --- the analysis table ---------------------------------------------------------------------------

int16_t CZantelsPropWiz::GetScenarioSort(const std::string& strCalcType) {
    ProcScope scope(ErrStack(), "CZantelsPropWiz:GetScenarioSort");
    const store::AnalysisDef* a = store::ExactAnalysis(strCalcType);
    return a ? a->sortOrder : int16_t{0};
}

long CZantelsPropWiz::GetOptionsPage() const {
    const store::AnalysisDef* a = store::ExactAnalysis(CalcType());
    return a ? a->optionsPage : wizard::kNoPage;
}

long CZantelsPropWiz::GetNextPage(long /*lngCurrentPage*/) { return wizard::kEnd; }
