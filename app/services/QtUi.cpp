#include "services/QtUi.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <vector>

#include "shell/Program.h"
#include "forms/frmHelp.h"

namespace {

struct ButtonEntry {
    QMessageBox::StandardButton button;
    ui::MsgBoxResult result;
};

std::vector<ButtonEntry> ButtonsOf(int style) {
    using B = QMessageBox;
    switch (style & ui::kButtonsMask) {
        case ui::vbOKCancel:
            return {{B::Ok, ui::vbOK}, {B::Cancel, ui::vbCancel}};
        case ui::vbAbortRetryIgnore:
            return {{B::Abort, ui::vbAbort}, {B::Retry, ui::vbRetry}, {B::Ignore, ui::vbIgnore}};
        case ui::vbYesNoCancel:
            return {{B::Yes, ui::vbYes}, {B::No, ui::vbNo}, {B::Cancel, ui::vbCancel}};
        case ui::vbYesNo:
            return {{B::Yes, ui::vbYes}, {B::No, ui::vbNo}};
        case ui::vbRetryCancel:
            return {{B::Retry, ui::vbRetry}, {B::Cancel, ui::vbCancel}};
        default:
            return {{B::Ok, ui::vbOK}};
    }
}

QMessageBox::Icon IconOf(int style) {
    switch (style & ui::kIconMask) {
        case ui::vbCritical:
            return QMessageBox::Critical;
        case ui::vbQuestion:
            return QMessageBox::Question;
        case ui::vbExclamation:
            return QMessageBox::Warning;
        case ui::vbInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

ui::MsgBoxResult QtUi::MsgBox(const std::string& prompt, int style, const std::string& title) {
    // A box must never sit behind the hourglass.
    bool hadOverride = overridden_;
    if (hadOverride) QApplication::setOverrideCursor(Qt::ArrowCursor);

    // Owned by the window in front, never by one that closes itself (the splash):
    // the box lives on the heap and is watched, so an owner that goes cannot free it twice.
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner) owner = QApplication::activeWindow();
    if (owner && (owner->windowFlags() & Qt::SplashScreen) == Qt::SplashScreen) owner = program::MainWindow();
    QPointer<QMessageBox> guard = new QMessageBox(owner);
    QMessageBox& box = *guard;
    box.setObjectName("MsgBox");
    box.setWindowTitle(QString::fromStdString(title.empty() ? std::string("Quantara") : title));
    box.setText(QString::fromStdString(prompt).replace("\r\n", "\n"));
    box.setIcon(IconOf(style));
    std::vector<ButtonEntry> buttons = ButtonsOf(style);
    QMessageBox::StandardButtons all;
    for (const auto& b : buttons) all |= b.button;
    box.setStandardButtons(all);
    size_t defaultIndex = size_t((style & ui::kDefaultMask) / ui::vbDefaultButton2);
    if (defaultIndex >= buttons.size()) defaultIndex = 0;
    box.setDefaultButton(buttons[defaultIndex].button);
    if (buttons.size() == 1) box.setEscapeButton(buttons[0].button);
    int pressed = box.exec();
    delete guard.data();

    if (hadOverride) QApplication::restoreOverrideCursor();
    for (const auto& b : buttons)
        if (pressed == b.button) return b.result;
    // Closed by its close box: the runtime gives Cancel where there is one.
    for (const auto& b : buttons)
        if (b.result == ui::vbCancel) return ui::vbCancel;
    return buttons.back().result;
}

void QtUi::Beep() { QApplication::beep(); }

void QtUi::SetMousePointer(int pointer) {
    pointer_ = pointer;
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (pointer) {
        case ui::vbHourglass:
            shape = Qt::WaitCursor;
            break;
        case ui::vbArrowHourglass:
            shape = Qt::BusyCursor;
            break;
        case ui::vbDefault:
            if (overridden_) QApplication::restoreOverrideCursor();
            overridden_ = false;
            return;
        default:
            break;
    }
    if (overridden_) {
        QApplication::changeOverrideCursor(QCursor(shape));
    } else {
        QApplication::setOverrideCursor(QCursor(shape));
        overridden_ = true;
    }
}

std::string QtUi::ClipboardText() const { return QApplication::clipboard()->text().toStdString(); }

void QtUi::SetClipboardText(const std::string& text) {
    QApplication::clipboard()->setText(QString::fromStdString(text));
}

bool QtUi::Open(const std::string& target) {
    QString text = QString::fromStdString(target);
    QUrl url;
    if (text.startsWith('/')) {
        if (!QFileInfo::exists(text)) return false;
        url = QUrl::fromLocalFile(text);
    } else {
        url = QUrl(text, QUrl::TolerantMode);
    }
    if (!url.isValid()) return false;
    return QDesktopServices::openUrl(url);
}

void QtUi::ShowHelp(const std::string& helpFile, int topic) { frmHelp::ShowHelp(helpFile, topic); }
