#include "core/code_page.h"

#include "core/ini_file.h"
#include "core/settings.h"

#include <iconv.h>
#include <mutex>
#include <vector>

namespace {

constexpr char kDefaultCodePage[] = "WINDOWS-1250";

struct Converter {
    QByteArray name = kDefaultCodePage;
    iconv_t decode = reinterpret_cast<iconv_t>(-1);
    iconv_t encode = reinterpret_cast<iconv_t>(-1);
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
    if (d == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_t e = iconv_open((name + "//TRANSLIT").constData(), "UTF-8");
    if (e == reinterpret_cast<iconv_t>(-1)) {
        iconv_close(d);
        return false;
    }
    if (c.decode != reinterpret_cast<iconv_t>(-1))
        iconv_close(c.decode);
    if (c.encode != reinterpret_cast<iconv_t>(-1))
        iconv_close(c.encode);
    c.decode = d;
    c.encode = e;
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
    return c.decode != reinterpret_cast<iconv_t>(-1) || open(c, c.name);
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
