// CZantelsPropWiz: the scenario being created or edited in the program, one
// value per stored column of its scenario and options rows, its field roles
// and a dirty flag. A plain value holder: setters store what they are given
// (only Scenario_Type filters) and never touch Changed; the pages validate
// and mark the object changed themselves.
//
// Which column fills which property, what a new scenario starts with, how
// Edit reads a Null and how a save writes each column all come from the
// scenario schema (store/ScenarioSchema.h); the property list below is this
// object's interface, and a test holds it and the schema to each other.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScenarioCatalogue.h"
#include "ScenarioProperties.h"
#include "ScenarioSchema.h"
#include "dao/Dao.h"
#include "vb/Variant.h"

class QWidget;

// One source field of the scenario and its role.
class CScenarioField {
public:
    // "G" group/row, "C" compare/factor/column, "X" value, "Y" dependent, "W" weight, "" none.
    void Choice(const std::string& value) { choice_ = value; }
    const std::string& Choice() const { return choice_; }
    // The source field's type code; not saved.
    void FieldType(int32_t value) { fieldType_ = value; }
    int32_t FieldType() const { return fieldType_; }
    // Position within its role's list, from 1.
    void OrdinalPosition(int32_t value) { ordinalPosition_ = value; }
    int32_t OrdinalPosition() const { return ordinalPosition_; }
    void Name(const std::string& value) { name_ = value; }
    const std::string& Name() const { return name_; }

private:
    std::string choice_;
    int32_t fieldType_ = 0;
    int32_t ordinalPosition_ = 0;
    std::string name_;
};
using ScenarioFieldPtr = std::shared_ptr<CScenarioField>;

// The scenario's fields, keyed by field name (compared without regard to
// case), in insertion order; reachable by key or 1-based position.
class CScenarioFields {
public:
    // Raises 457 for a key already present and 13 for a type that is not a
    // number; the collection is then left as it was.
    ScenarioFieldPtr Add(const std::string& FieldName, const std::string& FieldChoice, const std::string& FieldType,
                         int32_t FieldSeq, const std::string& sKey);
    // A text selects by key (error 5 when absent), a number by position (error 9 out of range).
    ScenarioFieldPtr Item(const vb::Variant& vntIndexKey) const;
    int32_t Count() const { return static_cast<int32_t>(fields_.size()); }
    void Remove(const vb::Variant& vntIndexKey);
    void Clear();
    auto begin() const { return fields_.begin(); }
    auto end() const { return fields_.end(); }

private:
    size_t IndexOf(const vb::Variant& vntIndexKey) const;

    std::vector<ScenarioFieldPtr> fields_;
    std::vector<std::string> keys_;
};
using ScenarioFieldsPtr = std::shared_ptr<CScenarioFields>;

// The 84 value properties but Scenario_Type, in slot order: the scenario
// number, then those the engine's scenario object has too.
#define MERIVOX_WIZARD_PROPERTIES(X) X(Scenario_ID, int32_t) MERIVOX_SCENARIO_PROPERTIES(X)

// Page numbers of the wizard.
namespace wizard {
inline constexpr long kAnalysisPage = 1;
inline constexpr long kSourcePage = 2;
inline constexpr long kFieldsPage = 3;
inline constexpr long kFirstOptionsPage = 4;
// The last options page: the highest an analysis names.
inline constexpr long kLastOptionsPage = [] {
    long last = kFirstOptionsPage;
    for (const store::AnalysisDef& a : store::kAnalysisList) last = a.optionsPage > last ? a.optionsPage : last;
    return last;
}();
inline constexpr long kOptionsJump = 30;
inline constexpr long kFinishPage = 50;
inline constexpr long kNoPage = 99;
inline constexpr long kEnd = -1;

// Page results.
inline constexpr long kBack = 1;
inline constexpr long kNext = 2;
inline constexpr long kSaveAndRun = 3;  // finish page only
inline constexpr long kCancel = 4;

// Wizard results.
inline constexpr long kLeftBeforeFinish = 0;
inline constexpr long kSaveAndRunResult = 1;
inline constexpr long kClosedOnFinish = 2;
}  // namespace wizard

class CZantelsPropWiz {
public:
    CZantelsPropWiz();
    ~CZantelsPropWiz();
    CZantelsPropWiz(const CZantelsPropWiz&) = delete;
    CZantelsPropWiz& operator=(const CZantelsPropWiz&) = delete;

    // The page machine: runs the wizard from page StartForm (1 new; 3, 30 or
    // 50 to edit) and returns 0 (left before the finish page), 2 (finish page
    // closed by Cancel or Save) or 1 (Save and Run). Pages are owned by `owner`
    // while they live (null: top-level windows).
    long ShowStatWizard(long StartForm, QWidget* owner = nullptr);

#define MERIVOX_WIZARD_ACCESSORS(name, type)                                                                           \
    const type& name() const { return name##_; }                                                                       \
    void name(type value) { name##_ = std::move(value); }
    MERIVOX_WIZARD_PROPERTIES(MERIVOX_WIZARD_ACCESSORS)
#undef MERIVOX_WIZARD_ACCESSORS

    // The family letter: only exactly "P", "G" or "N" is stored.
    const std::string& Scenario_Type() const { return scenarioType_; }
    void Scenario_Type(const std::string& value);

    // By property name (compared without regard to case), as a variant: used
    // by the schema-driven code (New's values, Edit's load, the save). The
    // setter converts to the property's type with the runtime's rules and
    // raises when the value does not convert (Null included, except for the
    // variants); false for a name that is no property.
    bool SetProperty(std::string_view name, const vb::Variant& value);
    vb::Variant GetProperty(std::string_view name) const;
    static store::PropertyKind KindOf(std::string_view name);
    // Every property name, in slot order (Scenario_Type third).
    static std::vector<std::string_view> PropertyNames();

    const ScenarioFieldsPtr& ScenarioFields() const { return fields_; }
    void ScenarioFields(ScenarioFieldsPtr value) { fields_ = std::move(value); }

    bool Changed() const { return changed_; }
    void Changed(bool value) { changed_ = value; }

    // The field roles page's read of the stored fields, while it waits for
    // another program's lock: a save tries it again first, so that no
    // scenario is written from roles not read yet. retry returns true once
    // it has read; an empty one means none waits.
    void FieldsReadWaiting(std::function<bool()> retry) { fieldsRead_ = std::move(retry); }
    bool FieldsReadNow() {
        if (fieldsRead_ && fieldsRead_()) fieldsRead_ = nullptr;
        return !fieldsRead_;
    }

    // Existing output tables the user agreed, on the finish page, to have
    // replaced: the run Save and Run starts does not ask about them again.
    const std::vector<std::string>& ReplaceAgreed() const { return replaceAgreed_; }
    void ReplaceAgreed(std::vector<std::string> names) { replaceAgreed_ = std::move(names); }

    // New: the values of a new scenario of analysis `analysisName` in family
    // `familyLetter`, from the schema; the fields stay empty, Changed False.
    void SetNewScenario(const std::string& familyLetter, const std::string& analysisName);
    // Edit: the properties from the current row of the joined scenario and
    // options rows, each converted as the schema says. A value that cannot be
    // read (a Null under a strict conversion, a text in a number or flag
    // column, an Integer out of range) leaves its property at a new
    // scenario's value; the result names those columns with what they hold.
    // A missing column raises. Scenario_ID is the caller's.
    std::vector<std::string> LoadScenario(const dao::RecordsetPtr& row);

    // The analysis checks: a message (empty when valid), the focus moved to
    // the page's control to correct. CheckFinal shows its message itself and
    // gives back the names it tested.
    std::string CheckDescribe(QWidget* page);
    std::string CheckFrequency(QWidget* page, bool fFreqN, bool fFreqP);
    std::string CheckSignTest(QWidget* page);
    std::string CheckKSFit(QWidget* page);
    std::string CheckPaired(QWidget* page);
    bool CheckFinal(QWidget* page, std::string& strTable1, std::string& strTable2);

    // The first property whose value its column would refuse (a text longer
    // than the column, a value that is no number in a number column, a
    // number out of the column's range): the message, empty when every value
    // fits; `property` receives the property's name.
    std::string CheckColumnValues(std::string& property) const;

    // What the file held under Scenario_ID when the scenario was read for
    // editing or last saved; none for a scenario not yet read or saved.
    const std::optional<store::StoredScenario>& Stored() const { return stored_; }
    void Stored(std::optional<store::StoredScenario> value) { stored_ = std::move(value); }

    // Writes the scenario to the three tables of the current database in one
    // transaction. True on success: Scenario_ID then holds the stored number
    // (a new one only after the commit), Changed is False and Stored what was
    // written. On failure nothing is written, the reason is shown, and the
    // object is unchanged. Over a scenario that another program changed since
    // Stored, the user is asked first, the change named; No saves nothing.
    bool PostScenario();

    // The analysis table.
    static int16_t GetScenarioSort(const std::string& strCalcType);
    long GetOptionsPage() const;
    static long GetNextPage(long lngCurrentPage);

private:
#define MERIVOX_WIZARD_MEMBER(name, type) type name##_{};
    MERIVOX_WIZARD_PROPERTIES(MERIVOX_WIZARD_MEMBER)
#undef MERIVOX_WIZARD_MEMBER
    std::string scenarioType_;
    ScenarioFieldsPtr fields_;
    bool changed_ = false;
    std::vector<std::string> replaceAgreed_;
    std::function<bool()> fieldsRead_;
    std::optional<store::StoredScenario> stored_;
};

// The column type's limit check behind CheckColumnValues, for one value: the
// message, empty when the column takes it. Option pages use it on entry.
std::string ColumnValueProblem(const store::ColumnDef& column, std::string_view property, const vb::Variant& value);
