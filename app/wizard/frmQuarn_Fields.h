// Page 3 of the scenario wizard, "Zelk Statistics Field Selection": the
// fields of the source and the roles the analysis gives them (X value or
// independent, Y dependent, C compare/factor/column, G group/row, W weight).
// One of six overlaid frames holds the role lists of the analysis; the group
// and weight lists are always there. Transfer buttons and double clicks move
// fields between the available list and the role lists; the roles and their
// order live in the scenario object's field collection. This page is where
// the stored field rows are read, so the machine binds it unseen when the
// wizard starts on a later page.
#pragma once

#include <QSize>
#include <string>
#include <vector>

#include "ScenarioSchema.h"
#include "forms/CListView.h"
#include "wizard/WizardPage.h"

class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class QGroupBox;
class TransferButton;

class frmQuarn_Fields : public CWizardPage {
    Q_OBJECT
public:
    // The field roles an analysis takes and needs (by its name): the
    // catalogue's, where a name not listed needs nothing.
    using RuleOf = store::RoleRule (*)(const std::string& calcType);
    static store::RoleRule CatalogueRule(const std::string& calcType);

    // The page judges the roles by `ruleOf`; the wizard's page by the catalogue.
    explicit frmQuarn_Fields(QWidget* parent = nullptr, RuleOf ruleOf = CatalogueRule);
    ~frmQuarn_Fields() override;

    // The first call binds the object, reads its fields (stored roles
    // first, then the other fields of the source) and fills the lists.
    void Wiz(CZantelsPropWiz* wiz) override;

    // "#, Long" for a Long; a text starting with "#" marks a number type;
    // empty for a type the page does not name.
    static std::string GetFieldTypeText(int type);
    // The frame (1 to 6) of an analysis name, compared without regard to case; 0 for none.
    static int GetFieldFrame(const std::string& calcType);

    // Fills the field collection from the source, with the stored roles when asked.
    void GetScenarioFields(bool loadStored);
    // Fills the lists from the field collection.
    void LoadFieldLists();
    // Checks the role counts of the analysis; shows the first failure.
    void CheckFields(const std::string& calcType, bool& passed);

    // Every transfer ends here: index 0 give back, 1 take the selected
    // available field, 2 down, 3 up, 4 give back all.
    void HandleTransfer(long index, QListWidget* list, const std::string& role, bool single, bool numeric);

    int CurrentFrame() const { return frame_; }

    // The page's own size; it can be enlarged.
    static const QSize kDefaultSize;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void NavClicked(int index) override;

private:
    // A field row as stored: name, role, position.
    struct StoredRow {
        std::string name;
        std::string choice;
        int32_t position;
    };
    struct RoleList {
        QListWidget* list;
        const char* control;  // its transfer control
        const char* role;
        bool single;
        bool numeric;
        int frame;  // the frame of role lists it stands in; 0: beside every frame
    };

    // The controls (frmQuarn_FieldsWindow.cpp).
    QListWidget* NewList(const QString& name);
    void MakeRoleLists();
    const RoleList* RoleOf(const QListWidget* list) const;
    QGroupBox* RoleFrame(const char* name, const QString& caption, QListWidget* list);
    QWidget* FramePair(const char* name, QGroupBox* first, QGroupBox* second);
    QStackedWidget* MakeFieldFrames();
    QLayout* MakeHeading();
    QLayout* MakeAvailableList();
    void LayOut();
    void SetTabOrder();
    void Wire();

    // Reading the fields (GetScenarioFields): the stored rows of a scenario
    // (0: none); the stored fields still in the source, with their roles,
    // then the source's other fields; the stored ones left out, said.
    void AddSourceFields(bool loadStored);
    static std::vector<StoredRow> ReadStoredRows(const dao::DatabasePtr& db, int32_t id);
    void AddStoredFields(const std::vector<StoredRow>& stored, const dao::FieldsPtr& fields,
                         std::vector<std::string>& dropped, std::vector<std::string>& unweighted);
    void AddOtherFields(const std::vector<StoredRow>& stored, dao::Fields& fields, bool table);
    void SayLeftOut(const std::string& source, const std::vector<std::string>& dropped,
                    const std::vector<std::string>& unweighted) const;

    // The role checks (CheckFields): the fields in each role's lists of a
    // frame, and the message for the first role missing.
    struct RoleCounts {
        int groups, compares, values, dependents, weights;
    };
    RoleCounts CountRoles(int frame) const;
    static std::string MissingRole(int frame, const store::RoleRule& rule, const RoleCounts& n, bool& suffix);

    void Quarn_SelectField(QListWidget* list, const std::string& role);
    void Quarn_UnSelectField(QListWidget* list);
    void Quarn_MoveField(QListWidget* list, bool up);
    void ReSequenceFields(QListWidget* list, const std::string& role);
    void AvailableDoubleClicked();
    void ChangeSource();
    void SpecifyValuesToIgnore();
    void DescriptionLeft();

    RuleOf ruleOf_;
    CListView m_ListView;
    int frame_ = 0;
    // The source's field names in its own order: a field given back goes to
    // its place among the available ones.
    std::vector<std::string> sourceOrder_;
    std::vector<RoleList> roles_;
    QLabel* lblCalcType_;
    QLabel* lblTable_;
    QLineEdit* txtScenario_Description_;
    QPushButton* cmdChange_;
    QTreeWidget* lvwAvailableFields_;
    QPushButton* cmdIgnore_;
    QStackedWidget* frames_;
    QGroupBox* fraGroupFields_;
    QGroupBox* fraWeightField_;
    QListWidget* lisIndependentFields_[7] = {};
    QListWidget* lisComparisonField_[6] = {};
    QListWidget* lisDependentField_[4] = {};
    QListWidget* lisGroupFields_;
    QListWidget* lisWeightField_;
};
