#include "core/safe_file.h"

#include "core/posix_io.h"

#include <QFile>
#include <QSaveFile>
#include <fcntl.h>
#include <sys/stat.h>

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

bool readRegularFile(const QString& path, qint64 maxSize, QByteArray* content)
{
    const posix::UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxSize)
        return false;
    // One byte past the limit tells a file that grew since fstat from one that did not.
    QByteArray data(maxSize + 1, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < data.size()) {
        const ssize_t n = posix::read(fd.get(), data.data() + size, static_cast<std::size_t>(data.size() - size));
        if (n < 0)
            return false;
        if (n == 0)
            break;
        size += n;
    }
    if (size > maxSize)
        return false;
    data.truncate(size);
    *content = std::move(data);
    return true;
}
