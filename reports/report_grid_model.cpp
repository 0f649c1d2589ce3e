#include "reports/report_grid_model.h"

#include "core/code_page.h"

#include <algorithm>

ReportGridModel::ReportGridModel(QObject* parent) : QAbstractTableModel(parent) {}

int ReportGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : RowCount();
}

int ReportGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant ReportGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= RowCount() || index.column() != 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return DecodeText(lines_[static_cast<std::size_t>(index.row())]);
    return {};
}

void ReportGridModel::SetRowCount(int count)
{
    count = std::max(count, 1);
    const int old = RowCount();
    if (count > old) {
        beginInsertRows({}, old, count - 1);
        lines_.resize(static_cast<std::size_t>(count));
        endInsertRows();
    } else if (count < old) {
        beginRemoveRows({}, count, old - 1);
        lines_.resize(static_cast<std::size_t>(count));
        endRemoveRows();
        if (currentRow_ >= count)
            SetCurrentRow(count - 1);
    }
}

const QByteArray& ReportGridModel::Row(int row) const
{
    static const QByteArray kEmpty;
    return row >= 0 && row < RowCount() ? lines_[static_cast<std::size_t>(row)] : kEmpty;
}

void ReportGridModel::SetRow(int row, const QByteArray& text)
{
    if (row < 0 || row >= RowCount())
        return;
    lines_[static_cast<std::size_t>(row)] = text;
    const QModelIndex i = index(row, 0);
    emit dataChanged(i, i);
}

void ReportGridModel::ClearReportGrid()
{
    for (QByteArray& line : lines_)
        line.clear();
    emit dataChanged(index(0, 0), index(RowCount() - 1, 0));
}

void ReportGridModel::SetAllRows(std::vector<QByteArray> rows)
{
    if (rows.empty())
        rows.emplace_back();
    beginResetModel();
    lines_ = std::move(rows);
    currentRow_ = 0;
    endResetModel();
    emit currentRowChanged(currentRow_);  // a new report is shown from its top
}

void ReportGridModel::SetCurrentRow(int row)
{
    currentRow_ = std::clamp(row, 0, RowCount() - 1);
    emit currentRowChanged(currentRow_);
}
