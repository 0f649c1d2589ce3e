#pragma once
// Writing whole files through a temporary file and a rename, so that a crash leaves
// either the old file or the new one, never half of one.

#include <QByteArray>
#include <QString>
#include <stdexcept>
#include <string>

// A file operation that failed; what() is the text shown to the operator.
class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Replaces (or creates) `path` with `content`. Throws FileError naming the file on failure.
void writeFileAtomically(const QString& path, const QByteArray& content);

// Reads a whole file; returns false when it cannot be opened or read.
bool readWholeFile(const QString& path, QByteArray* content);

// Reads a whole regular file of at most maxSize bytes without blocking: false for a FIFO,
// a device or a directory (opening never waits for a writer), a larger file, or a failed read.
bool readRegularFile(const QString& path, qint64 maxSize, QByteArray* content);
