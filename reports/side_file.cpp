#include "reports/side_file.h"

#include "core/base/file_lock.h"
#include "core/base/whole_file.h"
#include "reports/catalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TSideFileRead ReadSideFile(const QString& path)
{
    TSideFileRead result;
    const std::string native = QFile::encodeName(path).toStdString();
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return result;
    std::string reason;
    if (!wholefile::Read(native, &result.content, &reason, kSideFileLimit)) {
        result.status = TSideFileStatus::Unreadable;
        result.error = QStringLiteral("Cannot read \"%1\": %2").arg(path, QString::fromStdString(reason));
        result.content.clear();
        return result;
    }
    result.status = TSideFileStatus::Read;
    return result;
}

bool UpdateSideFile(const QString& path,
                    const std::function<bool(const TSideFileRead& old, std::string* next, QString* error)>& merge,
                    QString* error)
{
    // A command that runs before any download (a burn) finds no data folder yet.
    QDir().mkdir(QFileInfo(path).absolutePath());
    TFileLock lock(QFile::encodeName(CatalogueLockFile()).toStdString());
    if (!lock.Locked()) {
        *error = QStringLiteral("Unable to write to %1: %2").arg(path, QString::fromStdString(lock.Reason()));
        return false;
    }
    const TSideFileRead old = ReadSideFile(path);
    if (old.status == TSideFileStatus::Unreadable) {
        *error = old.error + QStringLiteral("; it is left as it is");
        return false;
    }
    std::string next;
    if (!merge(old, &next, error))
        return false;
    std::string reason;
    if (!wholefile::Write(QFile::encodeName(path).toStdString(), next, &reason)) {
        *error = QStringLiteral("Unable to write to %1: %2").arg(path, QString::fromStdString(reason));
        return false;
    }
    return true;
}

bool KeepDamagedCopy(const QString& path, const std::string& content, QString* error)
{
    const QString copy = path + QStringLiteral(".bak");
    std::string reason;
    if (wholefile::Write(QFile::encodeName(copy).toStdString(), content, &reason))
        return true;
    *error = QStringLiteral("Unable to write to %1: %2").arg(copy, QString::fromStdString(reason));
    return false;
}
