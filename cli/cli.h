#pragma once
// Commands that run without a window: they use the same procedures as the windows,
// report progress on stderr and end with an exit status.

#include <QStringList>

class TScsiTransport;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFileError = 3;
inline constexpr int kExitNoRoom = 4;  // burn: the files do not fit on the disc
inline constexpr int kExitNotWritable = 5;   // burn: no recorder, a disc that cannot be written, a closed disc
inline constexpr int kExitUnimportable = 6;  // burn: the disc's last session cannot be imported

// The usage text of --help.
QString UsageText();
// Runs a command (arguments without the program name and the global options); the
// application object exists already.
int RunCommand(const QStringList& arguments);
// True when the arguments ask for the usage text (which needs no program folder).
bool IsHelp(const QStringList& arguments);
// True when the arguments name a command rather than the window.
bool IsCommand(const QStringList& arguments);
// True when the command lays out text with fonts and needs a graphical application object
// (on the offscreen platform: it still runs without a display).
bool CommandPaints(const QStringList& arguments);

namespace cli {
// The burner's transport as SYSTEM.CFG configures it ([Burn] VirtualDrive, relative to the
// program directory, and VirtualDriveSpeed): the burn commands and the burn window. False
// while a burn holds the drive (the configuration then stays as it is).
bool configureTransport(TScsiTransport& transport);
}  // namespace cli
