#include "cli/usage.h"
#include "tools/docgen/docgen.h"

#include <QRegularExpression>
#include <QStringList>

namespace docgen {

namespace {

// Text safe for roff: backslashes doubled, a line never starts with a control character.
QString escaped(QString text)
{
    text.replace('\\', QStringLiteral("\\e"));
    text.replace(QRegularExpression(QStringLiteral("(^|\\s)--([a-z])")), QStringLiteral("\\1\\-\\-\\2"));
    if (text.startsWith('.') || text.startsWith('\''))
        text.prepend(QStringLiteral("\\&"));
    return text;
}

// One word of a synopsis: options in bold, values (words in capitals) in italics,
// brackets, bars and "..." as they are.
QString markedWord(const QString& word)
{
    static const QRegularExpression parts(QStringLiteral("^([\\[(|]*)(.*?)((?:\\.\\.\\.)?[\\])|]*)$"));
    const QRegularExpressionMatch m = parts.match(word);
    QString core = m.captured(2);
    if (core.isEmpty())
        return word;
    if (core.startsWith(QLatin1String("--")))
        core = QStringLiteral("\\fB") + core.replace('-', QStringLiteral("\\-")) + QStringLiteral("\\fR");
    else if (core.front().isUpper())
        core = QStringLiteral("\\fI") + core.replace('-', QStringLiteral("\\-")) + QStringLiteral("\\fR");
    else
        core = QStringLiteral("\\fB") + core + QStringLiteral("\\fR");
    return m.captured(1) + core + m.captured(3);
}

QString synopsis(const QString& name, const QString& arguments)
{
    QStringList words;
    for (const QString& word : (name + ' ' + arguments).split(' ', Qt::SkipEmptyParts))
        words << markedWord(word);
    return words.join(' ');
}

QString items(const QList<usage::Item>& list)
{
    QString out;
    for (const usage::Item& item : list)
        out += QStringLiteral(".TP\n") + synopsis(item.name, item.arguments) + '\n' + escaped(item.text) + '\n';
    return out;
}

}  // namespace

QString ManPage(const QString& version)
{
    const QString program = QString::fromLatin1(usage::kProgram);
    QString out;
    out += QStringLiteral(".TH %1 1 \"\" \"%2 %3\" \"User Commands\"\n")
               .arg(program.toUpper(), program, escaped(version));
    out += QStringLiteral(".nh\n.ad l\n");  // paths and options are neither hyphenated nor stretched
    out += QStringLiteral(".SH NAME\n%1 \\- %2\n").arg(program, escaped(usage::Summary()));
    out += QStringLiteral(".SH SYNOPSIS\n") + synopsis(program, QStringLiteral("[--home DIR] [--demo]")) +
           QStringLiteral(" [\\fICOMMAND\\fR [\\fIOPTIONS\\fR]]\n");
    out += QStringLiteral(".SH DESCRIPTION\n") + escaped(usage::Description()) + '\n';
    out += QStringLiteral(".SH OPTIONS\n") + items(usage::GlobalOptions());
    out += QStringLiteral(".SH COMMANDS\n") + items(usage::Commands());
    out += QStringLiteral(".PP\n") + escaped(usage::Values()) + '\n';
    out += QStringLiteral(".SH EXIT STATUS\n") + escaped(usage::ExitStatus()) + '\n';
    out += QStringLiteral(".SH FILES\n") + escaped(usage::Files()) + '\n';
    return out;
}

}  // namespace docgen
