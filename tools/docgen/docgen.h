#pragma once
// The manual page and the bash completion of the command line, made from the table of
// its --help text (cli/usage.h).

#include <QString>

namespace docgen {

// A roff manual page, section 1.
QString ManPage(const QString& version);
// A bash completion script: commands, each command's options, values where they are known.
QString BashCompletion();

}  // namespace docgen
