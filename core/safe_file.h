#pragma once
// Writing whole files through a temporary file and a rename, so that a crash leaves
// either the old file or the new one, never half of one, and reading whole files (regular
// files only, at most 64 MiB). The Qt face of core/base/whole_file.h, with the program's
// message texts; every whole-file write of the program goes through one of these.

#include <QByteArray>
#include <QString>
#include <stdexcept>
#include <string>

// A file operation that failed; what() is the text shown to the operator.
class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Replaces (or creates) `path` with `content`; false with the system's reason when the
// file could not be written whole (the old file is then unchanged).
bool writeWholeFile(const QString& path, const QByteArray& content, QString* reason);

// Replaces (or creates) `path` with `content`. Throws FileError "Unable to write to <path>"
// on failure.
void writeFileAtomically(const QString& path, const QByteArray& content);

// Reads a whole regular file; false (with the reason when asked) when it is missing, is no
// regular file (a FIFO, a device), is larger than 64 MiB or cannot be read.
bool readWholeFile(const QString& path, QByteArray* content, QString* reason = nullptr);

// The same with a limit of maxSize bytes (language files).
bool readRegularFile(const QString& path, qint64 maxSize, QByteArray* content);
