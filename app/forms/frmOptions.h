// "Quantara Options": the prefix the wizard puts before the output table
// names it proposes. Written only when changed.
#pragma once

#include <QDialog>

class QLineEdit;

class frmOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmOptions(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadControls();
    void SaveOptionSettings();

    QLineEdit* txtDefaultPrefix_;
};
