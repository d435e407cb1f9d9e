// CFileDialog: the open and save file dialogs as an object with properties,
// and FileOpenDialog, the one routine the program calls to pick a database
// or workgroup file. The dialog is Qt's own (not the desktop's), so the
// default extension is appended to a name typed without one.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>

#include "vb/Variant.h"

class CFileDialog {
public:
    const std::string& DefaultExt() const { return defaultExt_; }
    void DefaultExt(const std::string& value) { defaultExt_ = value; }
    const std::string& DialogTitle() const { return dialogTitle_; }
    void DialogTitle(const std::string& value) { dialogTitle_ = value; }
    const std::string& FileName() const { return fileName_; }
    void FileName(const std::string& value) { fileName_ = value; }
    const std::string& FileTitle() const { return fileTitle_; }
    void FileTitle(const std::string& value) { fileTitle_ = value; }
    const std::string& InitialDir() const { return initialDir_; }
    void InitialDir(const std::string& value) { initialDir_ = value; }
    // Pairs of description and pattern separated by "|": "All Files (*.*)|*.*".
    const std::string& Filter() const { return filter_; }
    void Filter(const std::string& value) { filter_ = value; }
    int16_t FilterIndex() const { return filterIndex_; }
    void FilterIndex(int16_t value) { filterIndex_ = value; }
    // Kept and passed on unchanged; the Qt dialog has no use for them.
    int32_t Flags() const { return flags_; }
    void Flags(int32_t value) { flags_ = value; }
    int16_t MaxFileSize() const { return maxFileSize_; }
    void MaxFileSize(int16_t value) { maxFileSize_ = value; }
    // The dialog's owner.
    QWidget* hWndParent() const { return parent_; }
    void hWndParent(QWidget* value) { parent_ = value; }

    // Shows the open (True) or save (False) dialog; True when a file was
    // chosen, FileName then holding its full path and FileTitle its name.
    bool Show(bool open);

    // The filter as Qt's name filters: "Description (*.a *.b)" per pair.
    static QStringList QtFilters(const std::string& filter);

private:
    std::string defaultExt_, dialogTitle_, fileName_, fileTitle_, initialDir_, filter_;
    int16_t filterIndex_ = 0;
    int32_t flags_ = 0;
    int16_t maxFileSize_ = 0;
    QPointer<QWidget> parent_;
};

// Result codes of FileOpenDialog.
inline constexpr int32_t kFileNotUsable = vb::kObjectError + 1000;
inline constexpr int32_t kFileDialogCancelled = vb::kObjectError + 1001;

// 0 when `fileName` now holds the path of an existing file: the given name
// when there is one (no dialog is shown), else the file chosen in the
// dialog. kFileNotUsable when the given or chosen file cannot be used,
// kFileDialogCancelled when the user cancelled; `fileName` is then unchanged.
int32_t FileOpenDialog(vb::Variant& fileName, QWidget* owner, const std::string& initialDir, const std::string& filter);
