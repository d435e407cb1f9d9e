#include "forms/frmStatus.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

frmStatus::frmStatus(QWidget* owner) : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("frmStatus");
    setWindowTitle("");
    setAttribute(Qt::WA_DeleteOnClose);
    picStatus_ = new QLabel;
    picStatus_->setObjectName("picStatus");
    picStatus_->setFrameShape(QFrame::Panel);
    picStatus_->setFrameShadow(QFrame::Sunken);
    picStatus_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    picStatus_->setIndent(5);
    picStatus_->setWordWrap(true);
    picStatus_->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(picStatus_);
    setFixedSize(360, 56);
    if (owner) {
        const QRect frame = owner->geometry();
        move(frame.x() + (frame.width() - width()) / 2, frame.y() + (frame.height() - height()) / 2);
    }
}

void frmStatus::Print(const QString& text) { text_ = text; }

void frmStatus::Show() {
    if (picStatus_->text() == text_) return;
    picStatus_->setText(text_);
    picStatus_->repaint();
}

void frmStatus::closeEvent(QCloseEvent* event) {
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
