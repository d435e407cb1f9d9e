// frmStatus: the small window without a caption that shows the engine's
// progress text while a scenario runs. Owned by the frame, not modal.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;

class frmStatus : public QWidget {
    Q_OBJECT
public:
    explicit frmStatus(QWidget* owner);
    // Replaces the text shown.
    void Print(const QString& text);
    QString Text() const;

private:
    QLabel* picStatus_;
};
