#include "core/language_texts.h"

#include "core/code_page.h"
#include "core/base/extra_texts.h"
#include "core/program_folder.h"
#include "core/safe_file.h"
#include "core/settings.h"
#include "core/texts.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace lang {
namespace {

constexpr char kStringSection[] = "String";
constexpr char kBurnFrmSection[] = "BurnFrm";
constexpr char kTextsSection[] = "Texts";

struct MessageKey {
    const char* fileKey;
    const char* textKey;
};

// The .LNG file's keys in their order; it names sConnect "Connect" and has no key for
// sERROR, sWait and sCheckEcrTips.
constexpr MessageKey kExeMessageKeys[] = {
    {"Connect", texts::sConnect},     {"sDisconnect", texts::sDisconnect},
    {"SErrorOpen", texts::SErrorOpen}, {"Smessage", texts::Smessage},
    {"SReadOnly", texts::SReadOnly},   {"sUpload", texts::sUpload},
};

// lang.lng's keys in their order: each message text under its own key.
constexpr const char* kLangMessageKeys[] = {
    texts::sConnect,  texts::sDisconnect, texts::SErrorOpen, texts::Smessage,      texts::SReadOnly,
    texts::sUpload,   texts::sWait,       texts::sERROR,     texts::sCheckEcrTips,
};

// Blanks and control characters at both ends removed.
QByteArray trimmed(const QByteArray& value)
{
    qsizetype begin = 0;
    qsizetype end = value.size();
    while (begin < end && static_cast<unsigned char>(value[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(value[end - 1]) <= ' ')
        --end;
    return value.mid(begin, end - begin);
}

}  // namespace

QString ExeLanguageFilePath(const QString& executablePath)
{
    const qsizetype slash = executablePath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = executablePath.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > slash ? executablePath.left(dot) : executablePath;
    return stem + QStringLiteral(".LNG");
}

QString ExeLanguageFilePath()
{
    // An installed program's folder is not the user's: its .LNG file may lie in the
    // program folder instead.
    const QString beside = ExeLanguageFilePath(QCoreApplication::applicationFilePath());
    if (QFileInfo::exists(beside) || !IsInstalledProgram(QCoreApplication::applicationDirPath()))
        return beside;
    return Settings().ProgramDir + QFileInfo(beside).fileName();
}

QString LangFilePath()
{
    return Settings().ProgramDir + QStringLiteral("lang.lng");
}

bool LoadLanguageFile(const QString& path, ini::Profile* out)
{
    QByteArray content;
    const bool ok = !path.isEmpty() && readRegularFile(path, kMaxFileSize, &content);
    *out = ini::Profile::parse(ok ? content : QByteArray());
    return ok;
}

void ApplyExeMessageTexts(const ini::Profile& file)
{
    for (const MessageKey& key : kExeMessageKeys)
        if (file.hasValue(kStringSection, key.fileKey))
            texts::SetMessage(QLatin1String(key.textKey), DecodeText(file.value(kStringSection, key.fileKey)));
}

void ApplyLangTextTables(const ini::Profile& file)
{
    for (int i = 0; i < texts::kBurnFrmCount; ++i) {
        const QByteArray value = trimmed(file.value(kBurnFrmSection, QByteArray::number(i)));
        if (!value.isEmpty())
            texts::SetBurnFrm(i, DecodeText(value));
    }
    for (const char* key : kLangMessageKeys)
        if (file.hasValue(kStringSection, key))
            texts::SetMessage(QLatin1String(key), DecodeText(file.value(kStringSection, key)));
    // The program's own texts: an empty or missing value keeps the built-in text.
    for (const std::string& key : extra::Keys()) {
        const QByteArray value = file.value(kTextsSection, QByteArray::fromStdString(key));
        if (!trimmed(value).isEmpty())
            extra::SetText(key, DecodeText(value).toStdString());
    }
}

void ApplyLanguageTextTables()
{
    ini::Profile file;
    LoadLanguageFile(ExeLanguageFilePath(), &file);
    ApplyExeMessageTexts(file);
    if (LoadLanguageFile(LangFilePath(), &file))
        ApplyLangTextTables(file);
}

}  // namespace lang
