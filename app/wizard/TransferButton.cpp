#include "wizard/TransferButton.h"

#include <QGridLayout>
#include <QToolButton>

namespace {

// Arrows drawn by the style: back to the available list points left.
constexpr Qt::ArrowType kArrows[] = {Qt::LeftArrow, Qt::RightArrow, Qt::DownArrow, Qt::UpArrow, Qt::LeftArrow};
const char* const kTips[] = {"Remove the highlighted field", "Add the selected available field",
                             "Move the highlighted field down", "Move the highlighted field up", "Remove every field"};

}  // namespace

TransferButton::TransferButton(QWidget* parent) : TransferButton(false, parent) {}

TransferButton::TransferButton(bool inOut, QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(1);
    const int count = inOut ? 2 : 5;
    for (int i = 0; i < count; ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString("cmdTransfer_%1").arg(i));
        button->setToolTip(kTips[i]);
        button->setFocusPolicy(Qt::TabFocus);
        if (i == 4) {
            // Give back all: a double arrow as text, the width of a row.
            button->setText(QString::fromUtf8("\u00AB"));
            button->setFixedSize(41, 17);
            grid->addWidget(button, 2, 0, 1, 2);
        } else {
            button->setArrowType(kArrows[i]);
            button->setFixedSize(20, 17);
            grid->addWidget(button, i / 2, i % 2);
        }
        connect(button, &QToolButton::clicked, this, [this, i] { emit clicked(i); });
    }
    grid->setRowStretch(3, 1);
}

QToolButton* TransferButton::Button(int index) const {
    return findChild<QToolButton*>(QString("cmdTransfer_%1").arg(index));
}
