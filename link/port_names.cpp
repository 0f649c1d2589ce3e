#include "link/port_names.h"

#include "core/settings.h"

namespace {
QString& portOverride()
{
    static QString path;
    return path;
}
}  // namespace

void SetPortOverride(const QString& path)
{
    portOverride() = path;
}

QString ResolvePortName(const std::string& name)
{
    const QString qname = QString::fromStdString(name);
    if (qname.startsWith('/'))
        return qname;
    if (qname.size() > 3 && qname.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        bool ok = false;
        const int n = qname.mid(3).toInt(&ok);
        if (ok)
            return DeviceForPort(n, portOverride().isEmpty() ? ReadPortMapping(n) : QString());
    }
    return qname;
}

QString DeviceForPort(int n, const QString& mapped)
{
    if (!portOverride().isEmpty())
        return portOverride();
    return mapped.isEmpty() ? DefaultPortDevice(n) : mapped;
}

QString DefaultPortDevice(int n)
{
    // COM0 is the choice "None": no device unless [Ports] names one.
    return n >= 1 ? QStringLiteral("/dev/ttyS%1").arg(n - 1) : QString();
}
