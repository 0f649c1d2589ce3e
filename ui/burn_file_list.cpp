#include "ui/burn_file_list.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableWidget>

QTableWidget* NewBurnFileList(QWidget* parent)
{
    auto* list = new QTableWidget(0, 2, parent);
    list->setHorizontalHeaderLabels({QStringLiteral("FileName"), QString()});
    list->setColumnHidden(1, true);  // the full path
    list->verticalHeader()->hide();
    // The column is as wide as its longest name.
    list->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
    list->setTabKeyNavigation(false);
    return list;
}

void AddBurnFile(QTableWidget* list, const QString& path)
{
    const int row = list->rowCount();
    list->insertRow(row);
    list->setItem(row, 0, new QTableWidgetItem(QFileInfo(path).fileName()));
    list->setItem(row, 1, new QTableWidgetItem(path));
}

QStringList BurnFilePaths(const QTableWidget* list)
{
    QStringList paths;
    for (int row = 0; row < list->rowCount(); ++row)
        paths << list->item(row, 1)->text();
    return paths;
}

void RemoveSelectedBurnFiles(QTableWidget* list)
{
    for (int row = list->rowCount() - 1; row >= 0; --row)
        if (list->selectionModel()->isRowSelected(row, {}))
            list->removeRow(row);
}

QStringList FolderEntryPaths(const QString& folder)
{
    const QDir dir(folder);
    QStringList paths;
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}
