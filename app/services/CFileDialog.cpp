#include "services/CFileDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include "ErrorStack.h"
#include "shell/ProgramInfo.h"
#include "shell/modMerivox.h"
#include "vb/VbError.h"

QStringList CFileDialog::QtFilters(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // The description without its own "(...)", then the patterns as Qt
        // reads them: blank-separated, and "*.*" as every file.
        QString description = parts[i];
        description.remove(QRegularExpression("\\s*\\([^)]*\\)\\s*$"));
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts))
            patterns << (p.trimmed() == "*.*" ? QString("*") : p.trimmed());
        filters << description.trimmed() + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

bool CFileDialog::Show(bool open) {
    QFileDialog dialog(parent_, QString::fromStdString(dialogTitle_), QString::fromStdString(initialDir_));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    QStringList filters = QtFilters(filter_);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (filterIndex_ >= 1 && filterIndex_ <= filters.size()) dialog.selectNameFilter(filters[filterIndex_ - 1]);
    }
    if (!defaultExt_.empty()) dialog.setDefaultSuffix(QString::fromStdString(defaultExt_));
    if (!fileName_.empty()) dialog.selectFile(QString::fromStdString(fileName_));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    QString chosen = dialog.selectedFiles().first();
    fileName_ = chosen.toStdString();
    fileTitle_ = QFileInfo(chosen).fileName().toStdString();
    return true;
}

int32_t FileOpenDialog(vb::Variant& fileName, QWidget* owner, const std::string& initialDir,
                       const std::string& filter) {
    ProcScope scope(ErrStack(), "FileOpenDialog");
    std::string given = fileName.IsString() ? fileName.String() : std::string();
    if (!given.empty()) {
        if (!FileExists(given)) return kFileNotUsable;
        return 0;
    }
    CFileDialog dialog;
    dialog.InitialDir(initialDir);
    dialog.Flags(2627588);  // hide read-only, path and file must exist, explorer, long names
    dialog.FilterIndex(1);
    dialog.DefaultExt("MDB");
    dialog.DialogTitle(std::string(program::kAppTitle) + " Open Database");
    dialog.Filter(filter);
    dialog.hWndParent(owner);
    if (!dialog.Show(true)) return kFileDialogCancelled;
    if (!FileExists(dialog.FileName())) return kFileNotUsable;
    fileName = vb::Variant(dialog.FileName());
    return 0;
}
