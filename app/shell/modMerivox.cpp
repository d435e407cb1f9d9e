#include "shell/modMerivox.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPointer>
#include <filesystem>
#include <system_error>

#include "shell/CWinPos.h"
#include "ErrorStack.h"
#include "shell/ProgramInfo.h"
#include "StatCommon.h"
#include "ui/UiServices.h"
#include "vb/Conversions.h"
#include "vb/VbError.h"

bool FileExists(const std::string& path) {
    try {
        std::string trimmed = vb::Trim(path);
        if (trimmed.empty()) return false;
        if (trimmed.back() == '/') return false;
        std::error_code ec;
        return std::filesystem::is_regular_file(std::filesystem::path(path), ec) && !ec;
    } catch (...) {
        return false;
    }
}

void UnloadForm(QWidget* form) {
    if (!form) return;
    form->setProperty("merivoxUnloaded", true);
    QWidget* window = qobject_cast<QMdiSubWindow*>(form->parentWidget()) ? form->parentWidget() : form;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->close();
    if (window->isVisible()) {
        // The window refused to close: it stays loaded.
        form->setProperty("merivoxUnloaded", false);
        return;
    }
    window->deleteLater();
}

int32_t MaxLong(int32_t a, int32_t b) { return a > b ? a : b; }

bool TableExists(const dao::DatabasePtr& db, const std::string& name) {
    try {
        db->TableDefs()->Item(name);
        return true;
    } catch (...) {
        return false;
    }
}

int16_t TableOrQueryKind(const dao::DatabasePtr& db, const std::string& name) {
    try {
        db->TableDefs()->Item(name);
        return 0;
    } catch (const vb::VbError& e) {
        if (e.Number() == dao::err::kLocked) throw;
        if (e.Number() != dao::err::kItemNotFound) return 0;
    } catch (...) {
        return 0;
    }
    try {
        db->QueryDefs()->Item(name);
        return 1;
    } catch (const vb::VbError& e) {
        if (e.Number() == dao::err::kLocked) throw;
        return e.Number() == dao::err::kItemNotFound ? -99 : 1;
    } catch (...) {
        return 1;
    }
}

void NumericKeyFilter(int& keyAscii) {
    if (keyAscii == 8 || keyAscii == 45 || keyAscii == 46 || (keyAscii >= 48 && keyAscii <= 57)) return;
    keyAscii = 0;
}

int FilterNumericKey(int keyAscii, bool integerOnly) {
    if (keyAscii == 8 || (keyAscii >= 48 && keyAscii <= 57)) return keyAscii;
    if (keyAscii == 45 || keyAscii == 46) return integerOnly ? 0 : keyAscii;
    return 0;
}

bool IsBlank(const vb::Variant& value) {
    if (value.IsEmpty() || value.IsNull() || value.IsMissing()) return true;
    try {
        return value.ToString().empty();
    } catch (...) {
        return false;
    }
}

void SelectAllText(QWidget* box) {
    if (auto* edit = qobject_cast<QLineEdit*>(box)) {
        edit->selectAll();
    } else if (auto* combo = qobject_cast<QComboBox*>(box)) {
        if (combo->lineEdit()) combo->lineEdit()->selectAll();
    }
}

bool FocusEntersBox(QObject* box, const QEvent* event) {
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) return false;
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
    const bool away = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
    const char* kAway = "merivoxFocusAway";
    if (event->type() == QEvent::FocusOut) {
        // A window that closes or hides is entered anew when it shows again.
        auto* widget = qobject_cast<QWidget*>(box);
        box->setProperty(kAway, away && widget && widget->window()->isVisible());
        return false;
    }
    const bool back = away && box->property(kAway).toBool();
    box->setProperty(kAway, false);
    return !back;
}

vb::Variant NullIfEmpty(const std::string& text) { return text.empty() ? vb::Variant::Null() : vb::Variant(text); }

int AddListItem(QWidget* list, const std::string& text, int32_t itemData) {
    if (auto* combo = qobject_cast<QComboBox*>(list)) {
        combo->addItem(QString::fromStdString(text), QVariant(itemData));
        return combo->count() - 1;
    }
    if (auto* box = qobject_cast<QListWidget*>(list)) {
        auto* item = new QListWidgetItem(QString::fromStdString(text), box);
        item->setData(Qt::UserRole, QVariant(itemData));
        return box->count() - 1;
    }
    return -1;
}

vb::Variant ParentFolder(const vb::Variant& path) {
    if (!path.IsString()) return vb::Variant::Null();
    std::string trimmed = vb::Trim(path.String());
    size_t slash = trimmed.rfind('/');
    // No separator, one in the last place, or only the root's.
    if (slash == std::string::npos || slash + 1 == trimmed.size() || slash == 0) return vb::Variant::Null();
    return vb::Variant(trimmed.substr(0, slash));
}

void ExitApplication(QWidget* last) {
    ProcScope scope(ErrStack(), "ExitApplication");
    QPointer<QWidget> keep(last);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == last || !w->isVisible()) continue;
        w->close();
    }
    if (keep) keep->close();
}

std::unique_ptr<CWinPos> NewFormPositions() {
    auto positions = std::make_unique<CWinPos>();
    CProgramSettings& settings = positions->ProductSettings();
    settings.RegBase(program::kMakerKey);
    settings.MainBranch(program::kMainBranch);
    settings.Program(GetProductRegKey());
    settings.Section("Form Position");
    return positions;
}
