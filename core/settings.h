#pragma once
// Program-wide paths and settings: the program directory and the folders below it,
// and the SYSTEM.CFG keys with their defaults.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace cfg {
// SYSTEM.CFG sections and keys.
inline constexpr char kCommSection[] = "Comm";
inline constexpr char kPortKey[] = "Port";
inline constexpr char kBaudRateKey[] = "BaudRate";
inline constexpr char kPrintSection[] = "Print";
inline constexpr char kPagesKey[] = "Pages";
inline constexpr char kFontsizeKey[] = "Fontsize";
inline constexpr char kPortsSection[] = "Ports";
inline constexpr char kDisplaySection[] = "Display";
inline constexpr char kCodePageKey[] = "CodePage";

inline constexpr int kDefaultCommPort = 2;
inline constexpr int kDefaultCommBaudRate = 0;
inline constexpr int kDefaultPrintPages = 2;
inline constexpr int kDefaultPrintFontSize = 9;
inline constexpr uint16_t kDetailRequestCode = 32;
inline constexpr uint16_t kSummaryRequestCode = 48;
inline constexpr uint16_t kDetailReadOnlyCode = 49;
inline constexpr uint16_t kSummaryReadOnlyCode = 50;
}  // namespace cfg

struct ProgramSettings {
    QString ProgramDir;    // ends in "/"
    QString DataDir;       // ProgramDir + "data/"
    QString ReportDir;     // ProgramDir + "Report/"
    QString SettingsFile;  // ProgramDir + "./SYSTEM.CFG"
    int CommPort = cfg::kDefaultCommPort;
    int CommBaudRate = cfg::kDefaultCommBaudRate;
    int PrintPages = cfg::kDefaultPrintPages;
    int PrintFontSize = cfg::kDefaultPrintFontSize;
    QString AppCaption;
    uint16_t DetailRequestCode = cfg::kDetailRequestCode;
    uint16_t SummaryRequestCode = cfg::kSummaryRequestCode;
};

// The one instance of the program's settings.
ProgramSettings& Settings();

// Sets ProgramDir (a trailing "/" is added when missing) and the paths derived from it.
void InitProgramPaths(const QString& programDir);
// Path of the serial trace file.
QString DebugLogPath();

// Reads [Comm] Port, [Comm] BaudRate, [Print] Pages and [Print] Fontsize. A [Comm] value
// that is no number reads as its default; `warnings`, when given, gets a line naming it.
void ReadSystemConfig(QStringList* warnings = nullptr);
// Reads [Comm] Port and [Comm] BaudRate only.
void ReadCommSettings(QStringList* warnings = nullptr);
// Writes CommPort and CommBaudRate to [Comm]; throws FileError when the file cannot be written.
void WriteCommSettings();
// [Ports] COMn: the device the name COMn means, empty when it is not mapped.
QString ReadPortMapping(int n);
// Writes [Ports] COMn (empty: back to the default device); throws FileError like WriteCommSettings.
void WritePortMapping(int n, const QString& device);

// Removes "--home DIR" (or "--home=DIR") from the argument list; returns DIR or an empty string.
QString TakeHomeOption(QStringList& arguments);
