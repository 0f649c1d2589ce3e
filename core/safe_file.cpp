#include "core/safe_file.h"

#include "core/base/whole_file.h"

#include <QFile>

bool writeWholeFile(const QString& path, const QByteArray& content, QString* reason)
{
    std::string why;
    if (wholefile::Write(QFile::encodeName(path).toStdString(),
                         std::string_view(content.constData(), static_cast<std::size_t>(content.size())), &why))
        return true;
    if (reason)
        *reason = QString::fromLocal8Bit(why.c_str());
    return false;
}

void writeFileAtomically(const QString& path, const QByteArray& content)
{
    if (!writeWholeFile(path, content, nullptr))
        throw FileError(QStringLiteral("Unable to write to %1").arg(path));
}

bool readWholeFile(const QString& path, QByteArray* content, QString* reason)
{
    std::string bytes, why;
    if (!wholefile::Read(QFile::encodeName(path).toStdString(), &bytes, &why)) {
        if (reason)
            *reason = QString::fromLocal8Bit(why.c_str());
        return false;
    }
    *content = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return true;
}

bool readRegularFile(const QString& path, qint64 maxSize, QByteArray* content)
{
    std::string bytes;
    if (maxSize < 0 || !wholefile::Read(QFile::encodeName(path).toStdString(), &bytes, nullptr,
                                        static_cast<std::size_t>(maxSize)))
        return false;
    *content = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return true;
}
