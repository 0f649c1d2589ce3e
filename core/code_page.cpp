#include "core/code_page.h"

#include "core/ini_file.h"
#include "core/settings.h"

#include <cerrno>
#include <iconv.h>
#include <mutex>
#include <vector>

namespace {

constexpr char kDefaultCodePage[] = "WINDOWS-1250";

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

struct Converter {
    QByteArray name = kDefaultCodePage;
    iconv_t decode = kNoConverter;
    iconv_t encode = kNoConverter;
    iconv_t strictEncode = kNoConverter;  // fails on a character the code page lacks
};

Converter& converter()
{
    static Converter c;
    return c;
}

std::mutex& converterLock()
{
    static std::mutex m;
    return m;
}

bool open(Converter& c, const QByteArray& name)
{
    iconv_t d = iconv_open("UTF-8", name.constData());
    iconv_t e = iconv_open((name + "//TRANSLIT").constData(), "UTF-8");
    iconv_t s = iconv_open(name.constData(), "UTF-8");
    if (d == kNoConverter || e == kNoConverter || s == kNoConverter) {
        for (iconv_t cd : {d, e, s})
            if (cd != kNoConverter)
                iconv_close(cd);
        return false;
    }
    for (iconv_t cd : {c.decode, c.encode, c.strictEncode})
        if (cd != kNoConverter)
            iconv_close(cd);
    c.decode = d;
    c.encode = e;
    c.strictEncode = s;
    c.name = name;
    return true;
}

// Converts with iconv; bytes it cannot convert become '?' so that no text is lost whole.
QByteArray convert(iconv_t cd, const QByteArray& in)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> out(static_cast<std::size_t>(in.size()) * 4 + 4);
    char* src = const_cast<char*>(in.constData());
    std::size_t srcLeft = static_cast<std::size_t>(in.size());
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG || dstLeft == 0)
                break;
            ++src;
            --srcLeft;
            *dst++ = '?';
            --dstLeft;
        }
    }
    return QByteArray(out.data(), static_cast<qsizetype>(dst - out.data()));
}

bool ensureOpen()
{
    Converter& c = converter();
    return c.decode != kNoConverter || open(c, c.name);
}

}  // namespace

bool SetDisplayCodePage(const QByteArray& name)
{
    std::lock_guard<std::mutex> lock(converterLock());
    return open(converter(), name.toUpper());
}

void ReadDisplayCodePage()
{
    const QByteArray name = ini::readString(Settings().SettingsFile, cfg::kDisplaySection,
                                            cfg::kCodePageKey, QByteArray());
    if (name.isEmpty() || !SetDisplayCodePage(name))
        SetDisplayCodePage(kDefaultCodePage);
}

QString DecodeText(const QByteArray& bytes)
{
    bool ascii = true;
    for (char ch : bytes)
        ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
    if (ascii)
        return QString::fromLatin1(bytes);
    std::lock_guard<std::mutex> lock(converterLock());
    if (!ensureOpen())
        return QString::fromLatin1(bytes);
    return QString::fromUtf8(convert(converter().decode, bytes));
}

QByteArray EncodeText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    bool ascii = true;
    for (char ch : utf8)
        ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
    if (ascii)
        return utf8;
    std::lock_guard<std::mutex> lock(converterLock());
    if (!ensureOpen())
        return text.toLatin1();
    return convert(converter().encode, utf8);
}

QString UnrepresentableCharacter(const QString& text)
{
    std::lock_guard<std::mutex> lock(converterLock());
    if (!ensureOpen())
        return {};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, length);
        const QByteArray utf8 = one.toUtf8();
        char out[16];
        char* src = const_cast<char*>(utf8.constData());
        std::size_t srcLeft = static_cast<std::size_t>(utf8.size());
        char* dst = out;
        std::size_t dstLeft = sizeof out;
        iconv_t cd = converter().strictEncode;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1))
            return one;
        i += length - 1;
    }
    return {};
}

QString CodePageProblem(const QString& text)
{
    const QString bad = UnrepresentableCharacter(text);
    if (bad.isEmpty())
        return {};
    QByteArray name;
    {
        std::lock_guard<std::mutex> lock(converterLock());
        name = converter().name;
    }
    return QStringLiteral("The name contains \"%1\" (U+%2), which the code page %3 cannot represent.")
        .arg(bad)
        .arg(bad.toUcs4().value(0), 4, 16, QLatin1Char('0'))
        .arg(QString::fromLatin1(name));
}

QByteArray CutEncodedText(const QByteArray& bytes, int width)
{
    if (bytes.size() <= width)
        return bytes;
    QByteArray cut = bytes.left(width);
    std::lock_guard<std::mutex> lock(converterLock());
    if (!ensureOpen())
        return cut;
    // iconv says EINVAL for a character that is incomplete at the end of its input.
    std::vector<char> out(static_cast<std::size_t>(width) * 4 + 4);
    for (int dropped = 0; dropped < 8 && !cut.isEmpty(); ++dropped) {
        iconv_t cd = converter().decode;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* src = cut.data();
        std::size_t srcLeft = static_cast<std::size_t>(cut.size());
        char* dst = out.data();
        std::size_t dstLeft = out.size();
        bool incomplete = false;
        while (srcLeft > 0) {
            if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1))
                continue;
            if (errno == EINVAL) {
                incomplete = true;
                break;
            }
            if (errno != EILSEQ)
                break;
            ++src;  // a byte that is no character at all: not this cut's concern
            --srcLeft;
        }
        if (!incomplete)
            break;
        cut.chop(1);
    }
    return cut;
}

QByteArray CutLocalText(const QByteArray& bytes, int width)
{
    if (bytes.size() <= width)
        return bytes;
    // Back off over UTF-8 continuation bytes to the start of the character cut in half.
    qsizetype end = width;
    while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80)
        --end;
    return bytes.left(end);
}
