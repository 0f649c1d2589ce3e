// Text in the code page: which characters it can keep, and cutting without splitting one.

#include "core/code_page.h"

#include <gtest/gtest.h>

namespace {

// Sets a code page for one test and puts the default back.
struct CodePage {
    explicit CodePage(const char* name) { EXPECT_TRUE(SetDisplayCodePage(name)); }
    ~CodePage() { SetDisplayCodePage("WINDOWS-1250"); }
};

}  // namespace

TEST(CodePage, NamesTheFirstCharacterItCannotKeep)
{
    CodePage page("WINDOWS-1250");
    EXPECT_EQ(UnrepresentableCharacter(QString::fromUtf8("ząb ŻÓŁĆ €")), QString());
    EXPECT_EQ(UnrepresentableCharacter(QString::fromUtf8("raport_жук")), QString::fromUtf8("ж"));
    EXPECT_EQ(UnrepresentableCharacter(QString::fromUtf8("a😀b")), QString::fromUtf8("😀"));
    EXPECT_EQ(CodePageProblem(QString::fromUtf8("ząb")), QString());
    EXPECT_EQ(CodePageProblem(QString::fromUtf8("aжb")),
              QString::fromUtf8("The name contains \"ж\" (U+0436), which the code page WINDOWS-1250 cannot represent."));
    EXPECT_EQ(EncodeText(QString::fromUtf8("ząb ZĄB")), QByteArray("z\xB9" "b Z\xA5" "B"));
}

TEST(CodePage, CutsNeverSplitACharacter)
{
    const QByteArray a49(49, 'a');
    const QByteArray ogonek = QString::fromUtf8("ą").toUtf8();  // two bytes in UTF-8
    {
        CodePage page("UTF-8");
        EXPECT_EQ(CutEncodedText(a49 + ogonek, 50), a49);
        EXPECT_EQ(CutEncodedText(a49 + "b" + ogonek, 50), a49 + "b");
        EXPECT_EQ(CutEncodedText(a49, 50), a49);
    }
    {
        CodePage page("WINDOWS-1250");
        EXPECT_EQ(CutEncodedText(a49 + "\xB9\xB9", 50), a49 + "\xB9");  // one byte a character
    }
    EXPECT_EQ(CutLocalText(a49 + ogonek, 50), a49);
    EXPECT_EQ(CutLocalText(a49 + ogonek, 51), a49 + ogonek);
    const QByteArray euro = QString::fromUtf8("€").toUtf8();  // three bytes
    EXPECT_EQ(CutLocalText("ab" + euro, 4), QByteArray("ab"));
}
