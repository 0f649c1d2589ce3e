#include "core/settings.h"

#include "core/ini_file.h"

ProgramSettings& Settings()
{
    static ProgramSettings settings;
    return settings;
}

void InitProgramPaths(const QString& programDir)
{
    ProgramSettings& s = Settings();
    s.ProgramDir = programDir.endsWith('/') ? programDir : programDir + '/';
    s.DataDir = s.ProgramDir + QStringLiteral("data/");
    s.ReportDir = s.ProgramDir + QStringLiteral("Report/");
    s.SettingsFile = s.ProgramDir + QStringLiteral("./SYSTEM.CFG");
}

QString DebugLogPath()
{
    return Settings().ProgramDir + QStringLiteral("./DEBUG.LOG");
}

void ReadCommSettings(QStringList* warnings)
{
    ProgramSettings& s = Settings();
    const ini::Profile profile = ini::Profile::load(s.SettingsFile);
    auto readInt = [&profile, warnings](const char* section, const char* key, int fallback) {
        long long value = 0;
        if (!profile.hasValue(section, key))
            return fallback;
        const QByteArray text = profile.value(section, key);
        if (!ini::parseInteger(text, &value)) {
            // Read as the default, as the profile rules say; but say so, naming the value.
            if (warnings)
                *warnings << QStringLiteral("SYSTEM.CFG: [%1] %2=%3 is not a number; the default %4 is used")
                                 .arg(QLatin1String(section), QLatin1String(key),
                                      QString::fromLocal8Bit(text.left(80)))
                                 .arg(fallback);
            return fallback;
        }
        return static_cast<int>(value);
    };
    s.CommPort = readInt(cfg::kCommSection, cfg::kPortKey, cfg::kDefaultCommPort);
    s.CommBaudRate = readInt(cfg::kCommSection, cfg::kBaudRateKey, cfg::kDefaultCommBaudRate);
}

void ReadSystemConfig(QStringList* warnings)
{
    ReadCommSettings(warnings);
    ProgramSettings& s = Settings();
    s.PrintPages = ini::readInteger(s.SettingsFile, cfg::kPrintSection, cfg::kPagesKey,
                                    cfg::kDefaultPrintPages);
    s.PrintFontSize = ini::readInteger(s.SettingsFile, cfg::kPrintSection, cfg::kFontsizeKey,
                                       cfg::kDefaultPrintFontSize);
}

void WriteCommSettings()
{
    const ProgramSettings& s = Settings();
    ini::writeInteger(s.SettingsFile, cfg::kCommSection, cfg::kPortKey, s.CommPort);
    ini::writeInteger(s.SettingsFile, cfg::kCommSection, cfg::kBaudRateKey, s.CommBaudRate);
}

namespace {
QByteArray portKey(int n)
{
    return QByteArrayLiteral("COM") + QByteArray::number(n);
}
}  // namespace

QString ReadPortMapping(int n)
{
    return QString::fromLocal8Bit(ini::readString(Settings().SettingsFile, cfg::kPortsSection, portKey(n), {}));
}

void WritePortMapping(int n, const QString& device)
{
    ini::writeString(Settings().SettingsFile, cfg::kPortsSection, portKey(n), device.toLocal8Bit());
}

QString TakeHomeOption(QStringList& arguments)
{
    QString home;
    for (int i = 1; i < arguments.size();) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--home") && i + 1 < arguments.size()) {
            home = arguments[i + 1];
            arguments.remove(i, 2);
        } else if (arg.startsWith(QLatin1String("--home="))) {
            home = arg.mid(7);
            arguments.remove(i);
        } else {
            ++i;
        }
    }
    return home;
}
