// frmDuplicate, "Duplicate Scenario": copies a scenario (its row, its options
// row and its field rows) under a new number and the description the user
// gives, in one transaction.
#pragma once

#include <QDialog>
#include <array>
#include <optional>

#include "ScenarioCatalogue.h"

class QLabel;
class QLineEdit;
class QPushButton;

class frmDuplicate : public QDialog {
    Q_OBJECT
public:
    explicit frmDuplicate(QWidget* parent = nullptr);

    long ScenarioID() const { return scenarioId_; }
    // Loads the scenario; ScenarioOK tells whether its rows were found.
    void ScenarioID(long value);
    bool ScenarioOK() const { return scenarioOk_; }
    void ScenarioOK(bool value) { scenarioOk_ = value; }
    // Writes the copy; false when nothing was written. When another program
    // changed or deleted the scenario since it was loaded, the user is told
    // and the dialog closes.
    bool SaveNewScenario();
    // The number of the last copy saved; 0 before.
    long NewScenarioID() const { return newScenarioId_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmdAction_Click(int index);
    void txtNewScenario_Change();

    QLabel* lblCurrentScenario_;
    QLineEdit* txtNewScenario_;
    std::array<QPushButton*, 2> cmdAction_{};
    long scenarioId_ = 0;
    long newScenarioId_ = 0;
    bool scenarioOk_ = false;
    // The scenario as the dialog shows it; the copy is of it or of nothing.
    std::optional<store::StoredScenario> stored_;
};
