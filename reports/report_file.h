#pragma once
// Report files: the grid's column 0 row by row as 8-bit text lines ended by CR LF.

#include <QString>
#include <string>

class ReportGridModel;

// Writes every row (a path without any "." gets ".txt"); returns true when written, with
// the SHA-256 of the bytes written when sha256Hex is given. Throws FileError "Cannot create
// file "<path>". <reason>" when it cannot be written.
bool SaveReportGrid(const ReportGridModel& grid, QString path, std::string* sha256Hex = nullptr);
// Empties the grid, then loads the file's lines (at least one row). Throws FileError
// "Cannot open file "<path>". <reason>" when the file cannot be read.
bool LoadReportFile(ReportGridModel& grid, const QString& path);
