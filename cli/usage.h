#pragma once
// The command line's documentation as one table: the terminal help (--help), the manual
// page and the bash completion are all made from it, so that they cannot drift apart.
// Arguments use one notation: options start with "--", a word in capitals is a value the
// user gives, [ ] is optional, ( | ) a choice, "..." a repetition.

#include <QList>
#include <QString>

namespace usage {

struct Item {
    QString name;       // an option ("--home"), a command ("test"), or commands ("detail|summary")
    QString arguments;  // what follows the name
    QString text;       // what it does
};

inline constexpr char kProgram[] = "vobrelfm";
// One line on what the program is.
QString Summary();
// What the program does without a command.
QString Description();
const QList<Item>& GlobalOptions();
const QList<Item>& Commands();
// The paragraph on port names and speeds.
QString Values();
// The exit statuses.
QString ExitStatus();
// The program folder: which one is used and what it holds.
QString Files();

// The --help text, wrapped for an 80-column terminal.
QString TerminalText();

// Breaks text into lines of at most `width` characters (a longer word stands alone).
QStringList Wrap(const QString& text, int width);

}  // namespace usage
