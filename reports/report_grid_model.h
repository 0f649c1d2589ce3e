#pragma once
// ReportGrid's contents: one column of report lines kept as bytes, shown decoded with
// the display code page. A grid always has at least one row.

#include <QAbstractTableModel>
#include <QByteArray>
#include <vector>

class ReportGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ReportGridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    int RowCount() const { return static_cast<int>(lines_.size()); }
    // Rows added start empty; a count below 1 keeps one row.
    void SetRowCount(int count);
    const QByteArray& Row(int row) const;
    // Writes column 0 of a row; rows past the row count are not part of the grid.
    void SetRow(int row, const QByteArray& text);
    // Empties every row; the row count stays.
    void ClearReportGrid();
    // Replaces all rows at once (at least one row is kept).
    void SetAllRows(std::vector<QByteArray> rows);
    const std::vector<QByteArray>& Rows() const { return lines_; }

    int CurrentRow() const { return currentRow_; }
    void SetCurrentRow(int row);

signals:
    void currentRowChanged(int row);

private:
    std::vector<QByteArray> lines_{QByteArray()};
    int currentRow_ = 0;
};
