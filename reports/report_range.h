#pragma once
// The range of a report download as the range dialog (or the command line) leaves it,
// the report file name built from it, and the request blocks that carry it.

#include <QString>
#include <array>
#include <cstdint>

struct TReportRange {
    QString ReportFileName;  // without directory, e.g. abc_1_5.txt
    int32_t RangeType = 0;   // 0 Z range, 1 date range
    int32_t ZCountFrom = 0;
    int32_t ZCountTo = 0;
    bool ZCountEnd = false;
    int32_t DateFrom = 0;  // DDMMYY read as one decimal number
    int32_t DateTo = 0;
    bool DateEnd = false;
};

// The name with leading and trailing blanks and control characters removed.
QString TrimReportName(const QString& name);
// Why a (trimmed, non-empty) name cannot make a report file, or an empty string.
QString ReportNameProblem(const QString& name);
// Why a report file name (name, range and ".txt") does not fit the file names of the
// report directory's file system, or an empty string. Checked before the download.
QString ReportFileNameProblem(const QString& reportDir, const QString& fileName);
// Name + "_" + first value + "_" + last value + ".txt", the values trimmed as typed.
QString BuildReportFileName(const QString& name, const QString& first, const QString& last);
// A range edit's text as an integer: 0 unless it is a valid decimal integer as it stands.
int32_t RangeValue(const QString& text);
// Range texts are decimal digits only: the text with every other character removed, and
// whether a text is one to maxLength digits.
QString RangeDigits(const QString& text);
bool IsRangeText(const QString& text, int maxLength);

using DataBlockBytes = std::array<uint8_t, 256>;
// The report request block for a range.
DataBlockBytes BuildReportRequest(const TReportRange& range);
// The page request block for a page number.
DataBlockBytes BuildPageRequest(int page);
