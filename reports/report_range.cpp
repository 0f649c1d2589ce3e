#include "reports/report_range.h"

#include "core/code_page.h"
#include "link/ibus_frame.h"

#include <QFile>
#include <climits>
#include <unistd.h>

QString TrimReportName(const QString& name)
{
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && name[begin].unicode() <= 32)
        ++begin;
    while (end > begin && name[end - 1].unicode() <= 32)
        --end;
    return name.mid(begin, end - begin);
}

QString ReportNameProblem(const QString& name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("The name \"%1\" cannot be a file name.").arg(name);
    for (const QChar c : name) {
        if (c == QLatin1Char('/'))
            return QStringLiteral("The name must not contain \"/\": the report file stays in the report directory.");
        if (c.unicode() < 32 || c.unicode() == 127)
            return QStringLiteral("The name must not contain control characters.");
    }
    // The name goes into the catalogue as code-page text.
    return CodePageProblem(name);
}

QString ReportFileNameProblem(const QString& reportDir, const QString& fileName)
{
    // The folder may not exist yet: then the limit of its nearest existing parent holds.
    QString dir = reportDir;
    long limit = -1;
    while (limit <= 0 && !dir.isEmpty()) {
        limit = ::pathconf(QFile::encodeName(dir).constData(), _PC_NAME_MAX);
        const qsizetype slash = dir.lastIndexOf(QLatin1Char('/'), dir.endsWith('/') ? -2 : -1);
        dir = slash > 0 ? dir.left(slash) : QString();
    }
    if (limit <= 0)
        limit = NAME_MAX;
    const qsizetype bytes = QFile::encodeName(fileName).size();
    if (bytes <= limit)
        return {};
    return QStringLiteral("The report name is too long: the file name %1... takes %2 bytes with its "
                          "range and \".txt\", and file names here hold at most %3.")
        .arg(fileName.left(40))
        .arg(bytes)
        .arg(limit);
}

QString BuildReportFileName(const QString& name, const QString& first, const QString& last)
{
    return name + QLatin1Char('_') + first.trimmed() + QLatin1Char('_') + last.trimmed() +
           QStringLiteral(".txt");
}

int32_t RangeValue(const QString& text)
{
    bool ok = false;
    const long long v = text.toLongLong(&ok, 10);
    if (!ok || v < INT_MIN || v > INT_MAX || text.isEmpty() || text[0].isSpace() ||
        text.back().isSpace())
        return 0;
    return static_cast<int32_t>(v);
}

QString RangeDigits(const QString& text)
{
    QString digits;
    for (const QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    return digits;
}

bool IsRangeText(const QString& text, int maxLength)
{
    return !text.isEmpty() && text.size() <= maxLength && RangeDigits(text).size() == text.size();
}

namespace {
void putBcd(DataBlockBytes& block, std::size_t at, int32_t value, int digits)
{
    // A negative value has no encoding of its own; it is sent as zero.
    const std::vector<uint8_t> bcd = ibus::BcdPack(static_cast<uint32_t>(value < 0 ? 0 : value), digits);
    for (std::size_t i = 0; i < bcd.size(); ++i)
        block[at + i] = bcd[i];
}
}  // namespace

DataBlockBytes BuildReportRequest(const TReportRange& range)
{
    DataBlockBytes block{};
    block[2] = static_cast<uint8_t>(range.RangeType & 0xFF);
    if (range.RangeType == 0) {
        putBcd(block, 3, range.ZCountFrom, 4);
        if (range.ZCountEnd)
            block[5] = block[6] = 0xFF;
        else
            putBcd(block, 5, range.ZCountTo, 4);
    } else {
        putBcd(block, 3, range.DateFrom, 6);
        if (range.DateEnd)
            block[6] = block[7] = block[8] = 0xFF;
        else
            putBcd(block, 6, range.DateTo, 6);
    }
    return block;
}

DataBlockBytes BuildPageRequest(int page)
{
    DataBlockBytes block{};
    block[0] = static_cast<uint8_t>(page & 0xFF);
    block[1] = static_cast<uint8_t>((page >> 8) & 0xFF);
    return block;
}
