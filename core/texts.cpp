#include "core/texts.h"

#include "core/base/extra_texts.h"

#include <array>
#include <cstring>

namespace texts {
namespace {

struct MessageEntry {
    const char* key;
    const char* defaultText;
    QString text;
};

std::array<MessageEntry, 9>& messageTable()
{
    static std::array<MessageEntry, 9> table = {{
        {sConnect, "Connect", {}},
        {sDisconnect, "Disconnect", {}},
        {sERROR, "Error", {}},
        {sWait, "Waiting", {}},
        {sUpload, "Upload:", {}},
        {sCheckEcrTips, "Check ecr status", {}},
        {SErrorOpen, "Error opening", {}},
        {Smessage, "please select other ports.", {}},
        {SReadOnly, "PAMI?? FISKALNA NIE ZAMKNI?TA.", {}},
    }};
    static bool initialised = false;
    if (!initialised) {
        initialised = true;
        for (MessageEntry& e : table)
            e.text = QString::fromLatin1(e.defaultText);
    }
    return table;
}

constexpr std::array<const char*, kBurnFrmCount> kBurnFrmDefaults = {
    "FileName",
    "INSUFFICIENT DISC SPACE. REQUIRED %s KB,AVAILABLE %s KB",
    "Burning CD - Please wait",
    "FINALIZING TRACK - PLEASE WAIT",
    "Burning done - No error",
    "Burning done - With error",
    "Error initializing ASPI Layer",
    "Delete Record?",
    "Information",
    "File exists, replace it or not?",
    "empty",
    "Type",
    "Name",
    "DateTime",
};

std::array<QString, kBurnFrmCount>& burnFrmTable()
{
    static std::array<QString, kBurnFrmCount> table = [] {
        std::array<QString, kBurnFrmCount> t;
        for (std::size_t i = 0; i < t.size(); ++i)
            t[i] = QString::fromLatin1(kBurnFrmDefaults[i]);
        return t;
    }();
    return table;
}

}  // namespace

QString Message(const char* key)
{
    for (const MessageEntry& e : messageTable())
        if (std::strcmp(e.key, key) == 0)
            return e.text;
    return {};
}

bool SetMessage(const QString& key, const QString& text)
{
    for (MessageEntry& e : messageTable()) {
        if (key == QLatin1String(e.key)) {
            e.text = text;
            return true;
        }
    }
    return false;
}

QString BurnFrm(int index)
{
    if (index < 0 || index >= kBurnFrmCount)
        return {};
    return burnFrmTable()[static_cast<std::size_t>(index)];
}

bool SetBurnFrm(int index, const QString& text)
{
    if (index < 0 || index >= kBurnFrmCount)
        return false;
    burnFrmTable()[static_cast<std::size_t>(index)] = text;
    return true;
}

QString FormatBurnFrm(int index, const QStringList& values)
{
    const QString entry = BurnFrm(index);
    QString out;
    qsizetype used = 0, from = 0;
    for (qsizetype at = entry.indexOf(QLatin1String("%s")); at >= 0 && used < values.size();
         at = entry.indexOf(QLatin1String("%s"), from)) {
        out += QStringView(entry).mid(from, at - from);
        out += values[used++];
        from = at + 2;
    }
    out += QStringView(entry).mid(from);
    return out;
}

void ResetToDefaults()
{
    for (MessageEntry& e : messageTable())
        e.text = QString::fromLatin1(e.defaultText);
    std::array<QString, kBurnFrmCount>& table = burnFrmTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = QString::fromLatin1(kBurnFrmDefaults[i]);
    extra::ResetToDefaults();
}

QString StatusText(const char* stepKey)
{
    return Message(stepKey) + QStringLiteral("...");
}

QString ErrorText(const char* stepKey)
{
    return StatusText(stepKey) + Message(sERROR);
}

}  // namespace texts

namespace texts {

QString Extra(const char* key)
{
    return QString::fromStdString(extra::Text(key));
}

QString Reworded(const QString& line)
{
    return QString::fromStdString(extra::Reword(line.toStdString()));
}

QString ExtraFormat(const char* key, const QStringList& values)
{
    std::vector<std::string> args;
    for (const QString& v : values)
        args.push_back(v.toStdString());
    return QString::fromStdString(extra::Format(key, args));
}

}  // namespace texts
