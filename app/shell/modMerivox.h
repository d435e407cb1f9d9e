// The small shared routines the program's windows call: file and window
// tests, key filters, list helpers, table tests, and the orderly shutdown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dao/Dao.h"
#include "vb/Variant.h"

class CWinPos;
class QEvent;
class QObject;
class QWidget;

// True when the path names an existing regular file (symbolic links
// followed). False for a blank path, a path ending in "/", a folder, a device
// or anything the test cannot reach.
bool FileExists(const std::string& path);

// Closes a window and lets it be deleted; it no longer counts as loaded
// (the property "merivoxUnloaded" marks it until it is gone).
void UnloadForm(QWidget* form);

int32_t MaxLong(int32_t a, int32_t b);

// True when the database's table definitions hold the name; any error gives False.
bool TableExists(const dao::DatabasePtr& db, const std::string& name);
// 0 a table, 1 a saved query, -99 neither. Another program's lock, which
// keeps the answer from being known, raises 3260.
int16_t TableOrQueryKind(const dao::DatabasePtr& db, const std::string& name);

// Keeps backspace, "-", "." and the digits; sets any other key code to 0.
void NumericKeyFilter(int& keyAscii);
// Backspace and digits unchanged; "." and "-" unchanged unless integerOnly; else 0.
int FilterNumericKey(int keyAscii, bool integerOnly);

// True for Empty, Null and an empty string.
bool IsBlank(const vb::Variant& value);
// Selects the whole text of a line edit or an editable combo box.
void SelectAllText(QWidget* box);
// For an event filter on a box that selects its text on entry, given each of
// the box's events: True for a focus-in that enters the box. The focus
// coming back to the box it left for another window (the window manager's
// menu, a message box) or a pop-up is no entry: the selection and caret stay
// as the user left them, so the next key types where it did.
bool FocusEntersBox(QObject* box, const QEvent* event);
// Null for an empty string, else the string.
vb::Variant NullIfEmpty(const std::string& text);
// Appends the text to a combo box or list widget with the number as its item
// data; returns the new item's index (-1 for another kind of widget).
int AddListItem(QWidget* list, const std::string& text, int32_t itemData);
// The folder part of a path without its closing "/"; Null for a bare name,
// a path ending in "/" or a file directly in the root folder.
vb::Variant ParentFolder(const vb::Variant& path);

// Closes every window but `last`, then `last`; the process ends when no window is left.
void ExitApplication(QWidget* last);

// A window-position keeper on the program's "Form Position" settings.
std::unique_ptr<CWinPos> NewFormPositions();
