// The small button controls beside the role lists of the field roles page.
// TransferButton has five buttons: 0 give back, 1 take, 2 down, 3 up (two
// rows of two) and 4 give back all (alone on the third row); TransferInOut,
// for roles of one field, only 0 and 1. Both report the pressed button's
// index through clicked(int). The buttons are `cmdTransfer_<index>`.
#pragma once

#include <QWidget>

class QToolButton;

class TransferButton : public QWidget {
    Q_OBJECT
public:
    explicit TransferButton(QWidget* parent = nullptr);
    QToolButton* Button(int index) const;

signals:
    void clicked(int index);

protected:
    TransferButton(bool inOut, QWidget* parent);
};

class TransferInOut : public TransferButton {
    Q_OBJECT
public:
    explicit TransferInOut(QWidget* parent = nullptr) : TransferButton(true, parent) {}
};
