#pragma once
// The burn window's file list: one row per file, its name shown and its full path in a
// hidden column; names are never cut (the list scrolls sideways instead), Tab leaves the
// list and the arrows move in it.

#include <QStringList>

class QTableWidget;
class QWidget;

// The empty list, its one visible column headed by the caller.
QTableWidget* NewBurnFileList(QWidget* parent);

// Appends one row: its caption the file name, its hidden column the full path.
void AddBurnFile(QTableWidget* list, const QString& path);

// The full paths, in the list's order.
QStringList BurnFilePaths(const QTableWidget* list);

// Removes the selected rows.
void RemoveSelectedBurnFiles(QTableWidget* list);

// Every entry of the folder (hidden ones too, not "." and ".."), by name, as full paths.
QStringList FolderEntryPaths(const QString& folder);
