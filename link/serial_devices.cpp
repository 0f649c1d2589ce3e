#include "link/serial_devices.h"

#include "core/safe_file.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

constexpr QDir::Filters kNodes = QDir::Files | QDir::System | QDir::NoDotAndDotDot;

// The number after a node's prefix; -1 when the rest is not a number.
int nodeNumber(const QString& name, const QString& prefix)
{
    bool ok = false;
    const int n = name.mid(prefix.size()).toInt(&ok);
    return ok && n >= 0 && name.size() > prefix.size() ? n : -1;
}

// A ttyS node exists for every UART slot the kernel reserves; sysfs tells whether a UART
// answered (its type is not 0, "unknown"). Without sysfs the node is kept.
bool hasUart(const QString& sysRoot, const QString& name)
{
    QByteArray type;
    if (!readWholeFile(sysRoot + QStringLiteral("/class/tty/") + name + QStringLiteral("/type"), &type))
        return true;
    return type.trimmed() != "0";
}

}  // namespace

QList<SerialDevice> ListSerialDevices(const QString& devRoot, const QString& sysRoot)
{
    QList<SerialDevice> devices;
    const QDir dev(devRoot);
    for (const QString& prefix : {QStringLiteral("ttyS"), QStringLiteral("ttyUSB"), QStringLiteral("ttyACM")}) {
        QList<std::pair<int, QString>> found;
        for (const QString& name : dev.entryList({prefix + '*'}, kNodes)) {
            const int n = nodeNumber(name, prefix);
            if (n >= 0 && (prefix != QLatin1String("ttyS") || hasUart(sysRoot, name)))
                found.append({n, name});
        }
        std::sort(found.begin(), found.end());
        for (const auto& [n, name] : found)
            devices.append({dev.filePath(name), QString()});
    }
    const QDir byId(devRoot + QStringLiteral("/serial/by-id"));
    for (const QFileInfo& link : byId.entryInfoList(kNodes, QDir::Name))
        devices.append({link.filePath(), link.isSymLink() ? link.canonicalFilePath() : QString()});
    return devices;
}
