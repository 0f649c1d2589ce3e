// The shipped Polish lang.lng: Windows-1250 bytes, every message and table entry, and
// every window's texts, so the file stays complete when windows change.

#include "core/language_texts.h"
#include "core/texts.h"
#include "tests/support/test_home.h"
#include "tests/ui/language_rig.h"
#include "burn/write/disc_audit.h"
#include "burn/burn_procedure.h"
#include "ui/burn_form.h"
#include "ui/burn_log.h"
#include "ui/disc_audit_window.h"
#include "ui/file_dialog_sidebar.h"
#include "ui/language_files.h"
#include "ui/qt_catalogue.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QPushButton>
#include <QToolButton>
#include <QStringDecoder>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
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
    EXPECT_TRUE(bytes.contains("7=Usun\xB9\xE6 wpis?"));
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
    EXPECT_EQ(texts::BurnFrm(7), QString::fromUtf8("Usunąć wpis?"));
    EXPECT_EQ(texts::ErrorText(texts::sConnect), QString::fromUtf8("Łączenie...Błąd"));
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
    EXPECT_EQ(rig.fmfrm->btn1->text(), QString::fromUtf8("Raport &szczegółowy"));
    EXPECT_EQ(rig.commDlg->windowTitle(), QString::fromUtf8("Ustawienia komunikacji"));
    EXPECT_EQ(rig.burnFrm->windowTitle(), QString::fromUtf8("Nagrywanie płyty"));
    EXPECT_EQ(rig.burnFrm->Label1->text(), QString::fromUtf8("Na&pęd:"));
    EXPECT_EQ(rig.burnFrm->BurnBtn->text(), QString::fromUtf8("&Nagraj"));
    EXPECT_EQ(rig.burnFrm->FolderBtn->toolTip(), QString::fromUtf8("Otwórz folder"));
    texts::ResetToDefaults();
}

namespace {

// What the burn window and the disc check's window show: captions, hints, labels, the
// lists' column titles, the drive lines, the log and the audit's states and summary.
std::map<QString, QString> shownTexts(QWidget* window, const QList<QWidget*>& windows)
{
    std::map<QString, QString> out = visibleTexts(window, windows);
    for (QTableWidget* table : window->findChildren<QTableWidget*>()) {
        for (int c = 0; c < table->columnCount(); ++c)
            if (!table->isColumnHidden(c) && table->horizontalHeaderItem(c))
                out[table->objectName() + ".title" + QString::number(c)] = table->horizontalHeaderItem(c)->text();
        // The last column holds states; the others names and numbers that no language changes.
        for (int r = 0; r < table->rowCount(); ++r)
            if (QTableWidgetItem* item = table->item(r, table->columnCount() - 1))
                out[table->objectName() + ".state" + QString::number(r)] = item->text();
    }
    for (QComboBox* combo : window->findChildren<QComboBox*>())
        for (int i = 0; i < combo->count() && !qobject_cast<QFileDialog*>(combo->window()); ++i)
            out[combo->objectName() + ".item" + QString::number(i)] = combo->itemText(i);
    for (QPlainTextEdit* log : window->findChildren<QPlainTextEdit*>())
        out[log->objectName()] = log->toPlainText();
    return out;
}

// A disc check that shows every state, every difference, a session without a list and
// one that cannot be read, with the reasons in the burner's words.
TAuditResult everyAuditState()
{
    TAuditResult audit;
    audit.read = true;
    audit.sessions = 3;
    audit.withoutList = {1};
    audit.problem = "session 3 cannot be read";
    const std::pair<TAuditState, TAuditDifference> states[] = {
        {TAuditState::Same, TAuditDifference::None},
        {TAuditState::Differs, TAuditDifference::FromList},
        {TAuditState::Differs, TAuditDifference::FromDownload},
        {TAuditState::Differs, TAuditDifference::Unreadable},
        {TAuditState::NotInList, TAuditDifference::None},
        {TAuditState::NoDownloadRecord, TAuditDifference::None},
        {TAuditState::Missing, TAuditDifference::None},
    };
    for (const auto& [state, difference] : states) {
        TAuditRow row;
        row.name = "r" + std::to_string(audit.rows.size()) + ".txt";
        row.session = 2;
        row.size = 10;
        row.state = state;
        row.difference = difference;
        row.detail = difference == TAuditDifference::FromList ? "differs from the session's checksum list"
                     : difference == TAuditDifference::FromDownload
                         ? "differs from the checksum recorded at the download"
                     : difference == TAuditDifference::Unreadable ? "the disc cannot be read at sector 40 (MEDIUM ERROR)"
                     : state == TAuditState::Missing              ? "named in the session's checksum list"
                                                                  : "";
        audit.rows.push_back(row);
    }
    return audit;
}

// The texts of a shown burn window and of a disc check's window in the current language.
std::map<QString, QString> burnAndAuditTexts(StartedWindows& rig)
{
    rig.burnFrm->FormShow();
    std::map<QString, QString> out = shownTexts(rig.burnFrm.get(), rig.Localised());
    TDiscAuditWindow audit(everyAuditState());
    audit.setObjectName(QStringLiteral("audit"));
    for (auto& [where, text] : shownTexts(&audit, {}))
        out["audit/" + where] = text;
    out["audit.caption"] = audit.windowTitle();
    out["audit.summary"] = audit.Summary->text();
    return out;
}

// A text with a word in it (names of ports, numbers and marks are the same in any language).
bool hasWord(const QString& text)
{
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
    return word.match(text).hasMatch();
}

}  // namespace

TEST(PolishLanguageFile, BurnAndDiscCheckWindowsKeepNoEnglishText)
{
    TestHome home;
    texts::ResetToDefaults();
    StartedWindows rig;
    const std::map<QString, QString> english = burnAndAuditTexts(rig);

    ini::Profile file;
    ASSERT_TRUE(lang::LoadLanguageFile(kPolishFile, &file));
    lang::ApplyLangFile(rig.Localised(), file);
    ASSERT_TRUE(LoadQtCatalogue(texts::Extra("Language"))) << "qt6-translations-l10n is missing";
    QCoreApplication::processEvents();  // the windows take Qt's texts on the posted language change
    const std::map<QString, QString> polish = burnAndAuditTexts(rig);

    ASSERT_EQ(polish.size(), english.size());
    QStringList left;
    for (const auto& [where, text] : english)
        if (hasWord(text) && polish.at(where) == text)
            left << where + " \"" + text + "\"";
    EXPECT_TRUE(left.isEmpty()) << left.join("\n").toStdString();
    // Nor any of the burner's reasons within a text.
    for (const char* reason : {"named in the session's checksum list", "the disc cannot be read at sector",
                               "session 3 cannot be read"})
        for (const auto& [where, text] : polish)
            EXPECT_FALSE(text.contains(QLatin1String(reason))) << where.toStdString() << ": " << text.toStdString();
    EXPECT_TRUE(polish.at("audit.summary").contains(QString::fromUtf8("nie można odczytać sesji 3")))
        << polish.at("audit.summary").toStdString();
    // The burner's own lines in the burn window's log.
    EXPECT_EQ(BurnerText(kNoRecorder), QString::fromUtf8("NIE ZNALEZIONO NAGRYWARKI"));
    EXPECT_EQ(BurnerText("NO DISC IN DRIVE 1:0:0 CD-RW"), QString::fromUtf8("BRAK PŁYTY W NAPĘDZIE 1:0:0 CD-RW"));
    EXPECT_EQ(rig.burnFrm->CheckBtn->toolTip(), QString::fromUtf8("Sprawdź płytę"));
    EXPECT_EQ(polish.at("audit.caption"), QString::fromUtf8("Sprawdzanie płyty"));
    EXPECT_EQ(rig.burnFrm->dlgOpen1->nameFilters(), QStringList{QStringLiteral("Plik (*)")});
    // The file dialogs' place that Qt's catalogue leaves English, and only while Polish is on.
    EXPECT_EQ(QFileSystemModel().myComputer().toString(), QStringLiteral("Komputer"));
    // A file dialog made before the language changed names its places anew when shown.
    QFileDialog* open = rig.burnFrm->dlgOpen1;
    open->setOption(QFileDialog::DontUseNativeDialog);
    FitFileDialogSidebar(open);
    auto* places = open->findChild<QListView*>(QStringLiteral("sidebar"));
    ASSERT_NE(places, nullptr);
    EXPECT_EQ(places->model()->index(0, 0).data().toString(), QStringLiteral("Komputer"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Open"), QStringLiteral("&Otwórz"));
    LoadQtCatalogue(QStringLiteral("en"));
    texts::ResetToDefaults();
    EXPECT_EQ(QFileSystemModel().myComputer().toString(), QStringLiteral("Computer"));
}
