#include "cli/usage.h"
#include "link/ibus_session.h"
#include "tools/docgen/docgen.h"

#include <QMap>
#include <QStringList>

namespace docgen {

namespace {

// What an item's arguments offer: its options, the value each option takes (a word in
// capitals), and whether it takes paths of its own.
struct Arguments {
    QStringList options;
    QMap<QString, QString> valueOf;  // option -> its value's word
    bool takesPaths = false;
};

bool isValueWord(const QString& word)
{
    return !word.isEmpty() && word.front().isUpper();
}

Arguments parse(const QString& text)
{
    // The words without brackets; a word that closed a bracket ends a group, so the word
    // after it is no value of it ("[--keep-paths] PATH...").
    struct Word { QString text; bool endsGroup; };
    QList<Word> words;
    for (QString word : text.split(' ', Qt::SkipEmptyParts)) {
        while (!word.isEmpty() && (word.front() == '[' || word.front() == '('))
            word.remove(0, 1);
        bool endsGroup = false;
        while (!word.isEmpty() && (word.back() == ']' || word.back() == ')' || word.back() == '.')) {
            endsGroup = endsGroup || word.back() != '.';
            word.chop(1);
        }
        if (!word.isEmpty() && word != QLatin1String("|"))
            words.append({word, endsGroup});
    }
    Arguments a;
    for (int i = 0; i < words.size(); ++i) {
        const Word& w = words[i];
        if (w.text.startsWith(QLatin1String("--"))) {
            a.options << w.text;
            if (!w.endsGroup && i + 1 < words.size() && isValueWord(words[i + 1].text)) {
                a.valueOf.insert(w.text, words[i + 1].text);
                ++i;
            }
        } else if (isValueWord(w.text)) {
            a.takesPaths = true;
        }
    }
    return a;
}

// The completion of an option's value, by the option and the word that names the value;
// "COMPREPLY=()" offers nothing (a report name, a printer, a range).
QString valueCompletion(const QString& option, const QString& word)
{
    if (word == QLatin1String("DIR"))
        return QStringLiteral("COMPREPLY=($(compgen -d -- \"$cur\"))");
    if (word == QLatin1String("RATE")) {
        QStringList rates;
        for (const uint32_t baud : BaudTable)
            rates << QString::number(baud);
        return QStringLiteral("COMPREPLY=($(compgen -W \"%1\" -- \"$cur\"))").arg(rates.join(' '));
    }
    if (option == QLatin1String("--port"))
        return QStringLiteral("COMPREPLY=($(compgen -W \"COM0 COM1 COM2 COM3 COM4\" -- \"$cur\"))\n"
                              "        [[ $cur == /* ]] && COMPREPLY+=($(compgen -f -- \"$cur\"))");
    if (word == QLatin1String("IMG") || word.contains('.'))  // an image or a named file type
        return QStringLiteral("COMPREPLY=($(compgen -f -- \"$cur\"))");
    return QStringLiteral("COMPREPLY=()");
}

}  // namespace

QString BashCompletion()
{
    const QString program = QString::fromLatin1(usage::kProgram);
    QStringList globalWords;
    QStringList globalWithValue;
    QMap<QString, QString> valueOf;
    for (const usage::Item& item : usage::GlobalOptions()) {
        globalWords << item.name;
        if (isValueWord(item.arguments)) {
            globalWithValue << item.name;
            valueOf.insert(item.name, item.arguments);
        }
    }
    QString commandCases;
    for (const usage::Item& item : usage::Commands()) {
        const Arguments a = parse(item.arguments);
        globalWords << item.name.split('|');
        for (auto it = a.valueOf.begin(); it != a.valueOf.end(); ++it)
            valueOf.insert(it.key(), it.value());
        commandCases += QStringLiteral("    %1)\n        words=\"%2\"\n").arg(item.name, a.options.join(' '));
        if (a.takesPaths)
            commandCases += QStringLiteral("        [[ $cur != -* ]] && COMPREPLY=($(compgen -f -- \"$cur\"))\n");
        commandCases += QStringLiteral("        ;;\n");
    }
    QString valueCases;
    for (auto it = valueOf.begin(); it != valueOf.end(); ++it)
        valueCases += QStringLiteral("    %1)\n        %2\n        return ;;\n").arg(it.key(), valueCompletion(it.key(), it.value()));

    QString out = QStringLiteral("# bash completion for %1, made from the table of its --help text\n").arg(program);
    out += QStringLiteral("_%1()\n{\n").arg(program);
    out += QStringLiteral(
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    local command=\"\" words=\"\" i\n"
        "    COMPREPLY=()\n"
        "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        "        case ${COMP_WORDS[i]} in\n");
    if (!globalWithValue.isEmpty())
        out += QStringLiteral("        %1) ((i++)) ;;\n").arg(globalWithValue.join('|'));
    out += QStringLiteral(
        "        -*) ;;\n"
        "        *) command=${COMP_WORDS[i]}; break ;;\n"
        "        esac\n"
        "    done\n"
        "    case $prev in\n");
    out += valueCases;
    out += QStringLiteral("    esac\n    case $command in\n    \"\")\n        words=\"%1\"\n        ;;\n")
               .arg(globalWords.join(' '));
    out += commandCases;
    out += QStringLiteral(
        "    esac\n"
        "    COMPREPLY+=($(compgen -W \"$words\" -- \"$cur\"))\n"
        "}\n");
    out += QStringLiteral("complete -F _%1 %1\n").arg(program);
    return out;
}

}  // namespace docgen
