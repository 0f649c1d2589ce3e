// The shipped Polish lang.lng: Windows-1250 bytes, every message and table entry, and
// every window's texts, so the file stays complete when windows change.

#include "core/language_texts.h"
#include "core/texts.h"
#include "tests/support/test_home.h"
#include "tests/ui/language_rig.h"
#include "ui/burn_form.h"
#include "ui/language_files.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QStringDecoder>
#include <gtest/gtest.h>

namespace {

const QString kPolishFile = QStringLiteral(VOBRELFM_SOURCE_DIR "/lang/pl/lang.lng");

constexpr const char* kMessageKeys[] = {
    texts::sConnect,  texts::sDisconnect, texts::sERROR,     texts::sWait,     texts::sUpload,
    texts::sCheckEcrTips, texts::SErrorOpen, texts::Smessage, texts::SReadOnly,
};

}  // namespace

TEST(PolishLanguageFile, IsWindows1250WithCrLf)
{
    const QByteArray bytes = readTestFile(kPolishFile);
    ASSERT_FALSE(bytes.isEmpty());
    // Not UTF-8: "ą" is the single byte 0xB9, "ł" 0xB3, "ę" 0xEA.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(bytes);
    EXPECT_FALSE(decoded.isEmpty());
    EXPECT_TRUE(utf8.hasError());
    EXPECT_TRUE(bytes.contains("7=Usun\xB9\xE6 rekord?"));
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    // Bytes that Windows-1250 leaves undefined.
    for (char undefined : {'\x81', '\x83', '\x88', '\x90', '\x98'})
        EXPECT_FALSE(bytes.contains(undefined)) << int(static_cast<unsigned char>(undefined));
}

TEST(PolishLanguageFile, ReplacesEveryMessageAndTableEntry)
{
    TestHome home;
    texts::ResetToDefaults();
    QString defaults[std::size(kMessageKeys)];
    for (std::size_t i = 0; i < std::size(kMessageKeys); ++i)
        defaults[i] = texts::Message(kMessageKeys[i]);
    QString burnDefaults[texts::kBurnFrmCount];
    for (int i = 0; i < texts::kBurnFrmCount; ++i)
        burnDefaults[i] = texts::BurnFrm(i);

    ini::Profile file;
    ASSERT_TRUE(lang::LoadLanguageFile(kPolishFile, &file));
    lang::ApplyLangTextTables(file);
    for (std::size_t i = 0; i < std::size(kMessageKeys); ++i) {
        EXPECT_FALSE(texts::Message(kMessageKeys[i]).isEmpty()) << kMessageKeys[i];
        EXPECT_NE(texts::Message(kMessageKeys[i]), defaults[i]) << kMessageKeys[i];
    }
    for (int i = 0; i < texts::kBurnFrmCount; ++i)
        EXPECT_NE(texts::BurnFrm(i), burnDefaults[i]) << i;
    EXPECT_EQ(texts::BurnFrm(7), QString::fromUtf8("Usunąć rekord?"));
    EXPECT_EQ(texts::ErrorText(texts::sConnect), QString::fromUtf8("Połączenie...Błąd"));
    // Entry 1 is a format with the two sizes.
    EXPECT_EQ(texts::BurnFrm(1).count(QStringLiteral("%s")), 2);
    EXPECT_EQ(texts::BurnFrm(1).count(QLatin1Char('%')), 2);
    texts::ResetToDefaults();
}

TEST(PolishLanguageFile, NoVisibleTextBecomesEmpty)
{
    TestHome home;
    texts::ResetToDefaults();
    StartedWindows rig;
    const QList<QWidget*> windows = rig.Localised();
    // Every window the files reach is in the rig, so a new window is checked too.
    for (const lang::LocalisedWindow& entry : lang::LocalisedWindows()) {
        bool found = false;
        for (QWidget* w : windows)
            found = found || w->objectName() == QLatin1String(entry.name);
        EXPECT_TRUE(found) << entry.name << " is missing from the rig";
    }
    std::map<QString, QString> before;
    for (QWidget* w : windows)
        before.merge(visibleTexts(w, windows));

    ini::Profile file;
    ASSERT_TRUE(lang::LoadLanguageFile(kPolishFile, &file));
    lang::ApplyLangFile(windows, file);

    std::map<QString, QString> after;
    for (QWidget* w : windows)
        after.merge(visibleTexts(w, windows));
    ASSERT_EQ(after.size(), before.size());
    QStringList emptied;
    int changed = 0;
    for (const auto& [where, text] : before) {
        if (!text.isEmpty() && after[where].isEmpty())
            emptied << where + " (was \"" + text + "\")";
        changed += after[where] != text;
    }
    EXPECT_TRUE(emptied.isEmpty()) << emptied.join("\n").toStdString();
    EXPECT_GE(changed, 50) << changed;  // about every text the file names
    EXPECT_EQ(rig.fmfrm->btn1->text(), QString::fromUtf8("Raport szczegółowy"));
    EXPECT_EQ(rig.commDlg->windowTitle(), QString::fromUtf8("Ustawienia komunikacji"));
    EXPECT_EQ(rig.burnFrm->windowTitle(), QString::fromUtf8("Nagrywanie płyty"));
    EXPECT_EQ(rig.burnFrm->Label1->text(), QString::fromUtf8("Napęd:"));
    EXPECT_EQ(rig.burnFrm->BurnBtn->text(), QString::fromUtf8("Nagraj"));
    EXPECT_EQ(rig.burnFrm->FolderBtn->toolTip(), QString::fromUtf8("Otwórz folder"));
    texts::ResetToDefaults();
}
