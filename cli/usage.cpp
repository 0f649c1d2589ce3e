#include "cli/usage.h"

namespace usage {

namespace {

constexpr int kWidth = 79;
constexpr int kTextColumn = 18;  // where the description of an option or command starts

// "name arguments" at two blanks, its text beside it when it fits, else on the next line.
void appendItem(QString& out, const Item& item)
{
    const QString head = item.arguments.isEmpty() ? item.name : item.name + ' ' + item.arguments;
    const QStringList headLines = Wrap(head, kWidth - kTextColumn + 1);
    QStringList textLines = Wrap(item.text, kWidth - kTextColumn);
    for (int i = 0; i < headLines.size(); ++i) {
        const QString line = QString(i == 0 ? 2 : kTextColumn - 1, ' ') + headLines[i];
        const bool last = i + 1 == headLines.size();
        if (last && line.size() < kTextColumn - 1 && !textLines.isEmpty())
            out += line.leftJustified(kTextColumn, ' ') + textLines.takeFirst() + '\n';
        else
            out += line + '\n';
    }
    for (const QString& line : textLines)
        out += QString(kTextColumn, ' ') + line + '\n';
}

QString paragraph(const QString& text)
{
    return Wrap(text, kWidth).join('\n') + '\n';
}

}  // namespace

QString Summary()
{
    return QStringLiteral("fiscal-memory service tool for cash registers");
}

QString Description()
{
    return QStringLiteral(
        "Reads the fiscal memory of a cash register over a serial line: detail and summary reports "
        "over a range of Z numbers or dates, kept as text files in a report catalogue, printed, and "
        "archived on recordable CDs. Without a command the main window opens.");
}

const QList<Item>& GlobalOptions()
{
    static const QList<Item> items = {
        {QStringLiteral("--home"), QStringLiteral("DIR"),
         QStringLiteral("use DIR as the program folder (SYSTEM.CFG, DEBUG.LOG, data/, Report/)")},
        {QStringLiteral("--demo"), QString(),
         QStringLiteral("connect the window or the command to a simulated register on a pseudo-terminal")},
        {QStringLiteral("--help"), QString(), QStringLiteral("show this text")},
    };
    return items;
}

const QList<Item>& Commands()
{
    static const QList<Item> items = {
        {QStringLiteral("test"), QStringLiteral("[--port NAME] [--baud RATE]"),
         QStringLiteral("connect to the register and disconnect; exit status 0 when it answered")},
        {QStringLiteral("detail|summary"),
         QStringLiteral("(--z FROM-TO | --dates DDMMYY-DDMMYY) [--to-end] --name BASE [--port NAME] "
                        "[--baud RATE] [--readonly] [--yes]"),
         QStringLiteral("download a fiscal-memory report into Report/BASE_FROM_TO.txt and catalogue it; "
                        "--yes replaces an existing report file")},
        {QStringLiteral("catalogue"), QStringLiteral("[--unarchived]"),
         QStringLiteral("list the report catalogue, one entry a line; --unarchived: only the reports never "
                        "archived on a disc as they are now")},
        {QStringLiteral("check"), QString(),
         QStringLiteral("recompute the SHA-256 of every report recorded at its download (data/fmList.sha256) "
                        "and list those changed or missing since; exit status 1 when there is one")},
        {QStringLiteral("audit"), QStringLiteral("[--drive N|LINE]"),
         QStringLiteral("read every session of the disc and check each file against its session's "
                        "checksum list (SHA256SUMS) and the checksum recorded at its download: a table of "
                        "file, session, size and state (same, differs, not in the list, no download "
                        "record, missing); exit status 1 when a file differs or is missing")},
        {QStringLiteral("devices"), QString(),
         QStringLiteral("list the CD/DVD drives on stdout, one line each (with [Burn] VirtualDrive=IMAGE, the "
                        "emulated one); diagnostics go to stderr")},
        {QStringLiteral("mkiso"), QStringLiteral("--output IMG [--volume-id TEXT] [--no-joliet] [--keep-paths] PATH..."),
         QStringLiteral("write the files (a directory: its whole tree) as a first session image")},
        {QStringLiteral("discinfo"), QStringLiteral("[--drive N|LINE]"),
         QStringLiteral("disc type, free blocks, next writable address, last session, speeds")},
        {QStringLiteral("print"), QStringLiteral("REPORT [--pdf OUT.pdf | --printer NAME] [--pages N] [--font-size PT]"),
         QStringLiteral("print a report file as the report window does, into a PDF file or on a printer "
                        "(default: the system's default printer); --pages and --font-size default to "
                        "SYSTEM.CFG [Print] Pages and Fontsize")},
        {QStringLiteral("burn"), QStringLiteral("[--drive N|LINE] [--test-write] [--finalize] [--speed N] [--no-eject] "
                                                "[--verify] [--without-last-session] [--again] PATH..."),
         QStringLiteral("write the files (a directory: its tree under its own name) into the root of a new "
                        "session that keeps the disc's last session; --verify reads the session back and "
                        "compares every file with its source; --without-last-session burns even when the "
                        "disc's last session cannot be read (the new session lacks its files); each session "
                        "gets a checksum list SHA256SUMS of its files (SYSTEM.CFG [Burn] Checksums=0: none) "
                        "and data/fmArchive.txt records where each file went; files the disc holds "
                        "unchanged are burnt again only with --again")},
    };
    return items;
}

QString Values()
{
    return QStringLiteral("The NAME of a port is COM0 to COM4 (resolved through SYSTEM.CFG [Ports]) or a "
                          "device path; RATE is 9600, 19200, 38400, 57600 or 115200.");
}

QString ExitStatus()
{
    return QStringLiteral(
        "Exit status: 0 success, 1 the register or the link failed or refused (burn: the burn or the "
        "verification failed, or files already on the disc unchanged without --again; check and audit: a "
        "report or file changed or missing), 2 usage error, 3 file or printer error (a report or its catalogue entry "
        "not written, a program folder that cannot be created or written, a checksum file or the archive "
        "record that cannot be read or written; burn: a source file missing, unreadable or changed), 4 the files do not fit on the disc, 5 burn: no recorder found, a drive "
        "or disc that cannot be written, or a closed disc, 6 burn: the disc's last session cannot be "
        "imported (nothing was written), 130 (143) test, detail or summary stopped by Ctrl-C (SIGTERM): the "
        "port closed and set back as it was, nothing stored. A DEBUG.LOG that cannot be written is a warning.");
}

QString Files()
{
    return QStringLiteral(
        "The program folder holds SYSTEM.CFG, DEBUG.LOG, lang.lng, data/fmList.txt and Report/. It is "
        "the folder given with --home; else, for an installed program, $XDG_DATA_HOME/vobrelfm/ "
        "(by default ~/.local/share/vobrelfm/), created on first use; else the folder of the "
        "executable.");
}

QString TerminalText()
{
    QString out = QStringLiteral("Usage: %1 [--home DIR] [--demo] [COMMAND [OPTIONS]]\n\n").arg(kProgram);
    out += paragraph(Description()) + QStringLiteral("\nGlobal options:\n");
    for (const Item& item : GlobalOptions())
        appendItem(out, item);
    out += QStringLiteral("\nCommands:\n");
    for (const Item& item : Commands())
        appendItem(out, item);
    out += '\n' + paragraph(Values()) + paragraph(ExitStatus()) + '\n' + paragraph(Files());
    return out;
}

QStringList Wrap(const QString& text, int width)
{
    QStringList lines;
    QString line;
    for (const QString& word : text.split(' ', Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

}  // namespace usage
