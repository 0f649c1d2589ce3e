#include "reports/report_file.h"

#include "core/safe_file.h"
#include "core/base/sha256.h"
#include "reports/report_grid_model.h"

bool SaveReportGrid(const ReportGridModel& grid, QString path, std::string* sha256Hex)
{
    if (!path.contains('.'))
        path += QStringLiteral(".txt");
    QByteArray content;
    qsizetype size = 0;
    for (const QByteArray& line : grid.Rows())
        size += line.size() + 2;
    content.reserve(size);
    for (const QByteArray& line : grid.Rows()) {
        content += line;
        content += "\r\n";
    }
    QString reason;
    if (!writeWholeFile(path, content, &reason))
        throw FileError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
    if (sha256Hex)
        *sha256Hex = Sha256Hex(std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
    return true;
}

bool LoadReportFile(ReportGridModel& grid, const QString& path)
{
    grid.ClearReportGrid();
    QByteArray content;
    QString reason;
    if (!readWholeFile(path, &content, &reason))
        throw FileError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
    std::vector<QByteArray> rows;
    rows.reserve(static_cast<std::size_t>(content.count('\n')) + 1);
    qsizetype pos = 0;
    const qsizetype size = content.size();
    // A line ends at CR, LF or CR LF; the end of the file closes a last line without one.
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && content[end] != '\r' && content[end] != '\n')
            ++end;
        rows.emplace_back(content.constData() + pos, end - pos);
        if (end < size && content[end] == '\r' && end + 1 < size && content[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
    grid.SetAllRows(std::move(rows));
    return true;
}
