#include "core/safe_file.h"

#include <QFile>
#include <QSaveFile>

void writeFileAtomically(const QString& path, const QByteArray& content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() ||
        !file.commit()) {
        throw FileError(QStringLiteral("Unable to write to %1").arg(path));
    }
}

bool readWholeFile(const QString& path, QByteArray* content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *content = file.readAll();
    return file.error() == QFileDevice::NoError;
}
