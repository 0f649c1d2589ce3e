#pragma once
// What the command-line commands share: option parsing, the port and speed of a run,
// error output. Used by the command files only.

#include <QSet>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

class TVeskIBusComm;
class TScsiTransport;
class TDriveCommands;

namespace cli {

void printError(const QString& text);

// The options of the register commands.
struct Options {
    QString port;
    QString baud;
    QString z;
    QString dates;
    QString name;
    bool hasName = false;
    bool toEnd = false;
    bool readOnly = false;
    bool yes = false;
};

// Parses the options a command allows; false with a message on a bad one.
bool parseOptions(const QStringList& args, int from, bool reportOptions, Options* out, QString* error);
// The port and speed of a command: the settings, overridden by --port and --baud.
bool resolveLink(const Options& options, QString* port, int* baudIndex);
// The trace on and messages to stderr; a DEBUG.LOG that cannot be written is a warning.
void prepareBus(TVeskIBusComm& bus);

int runTest(const QStringList& args);
int runDownload(const QStringList& args, bool summary);
int runCatalogue(const QStringList& args);
int runDevices(const QStringList& args);
int runDiscInfo(const QStringList& args);
int runMkIso(const QStringList& args);
int runPrint(const QStringList& args);
int runBurn(const QStringList& args);
int runCheck(const QStringList& args);
int runAudit(const QStringList& args);

// The names (ChecksumNameKey) of the reports archived at least once; false (after the
// message on stderr) when a side file could not be read whole.
bool loadArchivedNames(QSet<QString>* names);

// The burner's transport as the settings configure it ([Burn] VirtualDrive adds the
// emulated recorder); its messages go to stderr.
bool prepareTransport(TScsiTransport& transport);
// Prepares the transport and selects the drive that --drive names; an exit status
// (kExitOk when selected) after a message.
int selectDrive(const QString& drive, TScsiTransport& transport, TDriveCommands& commands, std::string* line);

// The device line that --drive names: a number in the device list (empty: 0) or a line.
// False with a message when the number is out of range.
bool resolveDrive(const QString& drive, const std::vector<std::string>& devices, std::string* line);

}  // namespace cli
