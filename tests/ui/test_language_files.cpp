// The language files applied to the windows: the .LNG file (current texts as defaults),
// lang.lng (empty defaults), their order, and the main window's first show.

#include "core/ini_file.h"
#include "core/language_texts.h"
#include "core/texts.h"
#include "reports/report_grid_model.h"
#include "tests/support/test_home.h"
#include "tests/ui/language_rig.h"
#include "ui/label3d.h"
#include "ui/language_files.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

ini::Profile profile(const QByteArray& content)
{
    return ini::Profile::parse(content);
}

class LanguageFiles : public ::testing::Test {
protected:
    void SetUp() override { texts::ResetToDefaults(); }
    void TearDown() override { texts::ResetToDefaults(); }
    TestHome home;
    StartedWindows rig;
};

}  // namespace

TEST_F(LanguageFiles, EveryComponentOfTheTableExists)
{
    // The files address components by name: a renamed control would silently stay untranslated.
    const QList<QWidget*> windows = rig.Localised();
    for (const lang::LocalisedWindow& entry : lang::LocalisedWindows()) {
        QWidget* window = nullptr;
        for (QWidget* w : windows)
            if (w->objectName() == QLatin1String(entry.name))
                window = w;
        ASSERT_NE(window, nullptr) << entry.name;
        for (const char* name : entry.components)
            EXPECT_NE(window->findChild<QObject*>(QLatin1String(name)), nullptr) << entry.name << "." << name;
    }
}

TEST_F(LanguageFiles, NoFilesKeepEveryDefault)
{
    std::map<QString, QString> before;
    for (QWidget* w : rig.Localised())
        before.merge(visibleTexts(w, rig.Localised()));
    lang::ApplyLanguageFiles(rig.Localised());  // neither tests_ui.LNG nor lang.lng exists
    std::map<QString, QString> after;
    for (QWidget* w : rig.Localised())
        after.merge(visibleTexts(w, rig.Localised()));
    EXPECT_EQ(after, before);
    EXPECT_EQ(texts::Message(texts::sConnect), "Connect");
    EXPECT_EQ(texts::BurnFrm(0), "FileName");
}

TEST_F(LanguageFiles, NonRegularLangFileDoesNotBlockAndChangesNothing)
{
    ASSERT_TRUE(QDir(home.path("")).mkdir("lang.lng"));
    lang::ApplyLanguageFiles(rig.Localised());
    EXPECT_EQ(rig.fmfrm->btn1->text(), "Detail Report");
    EXPECT_EQ(rig.commDlg->windowTitle(), "Communication setting");
}

TEST_F(LanguageFiles, LangFileWithOnlyStringEmptiesComponentTexts)
{
    rig.fmfrm->Grid().SetRow(0, "design row");
    ASSERT_TRUE(writeTestFile(lang::LangFilePath(), "[String]\r\nsConnect=Laczenie\r\n"));
    lang::ApplyLanguageFiles(rig.Localised());
    EXPECT_EQ(texts::Message(texts::sConnect), "Laczenie");
    EXPECT_EQ(texts::Message(texts::sDisconnect), "Disconnect");
    // Window captions but the main window's, and every component kind the file reaches.
    EXPECT_EQ(rig.mainForm->windowTitle(), "VOBREL FM");
    EXPECT_EQ(rig.commDlg->windowTitle(), "");
    EXPECT_EQ(rig.progressForm->windowTitle(), "");
    EXPECT_EQ(rig.uploadReportDlg->windowTitle(), "");
    EXPECT_EQ(rig.fmfrm->windowTitle(), "");
    EXPECT_EQ(rig.mainForm->CheckBox1->text(), "");
    EXPECT_EQ(rig.mainForm->CommBtn->toolTip(), "");
    EXPECT_EQ(rig.mainForm->ExitItem->text(), "");
    EXPECT_EQ(rig.mainForm->FileMenu->title(), "");
    EXPECT_EQ(rig.progressForm->Label3D2->text(), "");
    EXPECT_EQ(rig.progressForm->OKBtn->text(), "");
    EXPECT_EQ(rig.fmfrm->btn1->text(), "");
    EXPECT_EQ(rig.fmfrm->Grid().Row(0), "");
    EXPECT_EQ(rig.uploadReportDlg->BitBtn1->text(), "");
    EXPECT_EQ(rig.uploadReportDlg->ZCountEndCheck->text(), "");
    EXPECT_EQ(rig.commDlg->BaudRateRG->title(), "");
    for (QAbstractButton* item : rig.commDlg->BaudRateButtons->buttons())
        EXPECT_EQ(item->text(), "");
    // The separator loses its "-" and becomes an empty item.
    QAction* separator = rig.mainForm->findChild<QAction*>("N1");
    ASSERT_NE(separator, nullptr);
    EXPECT_FALSE(separator->isSeparator());
    EXPECT_EQ(separator->text(), "");
    // Edit fields and panels are not touched by this file.
    EXPECT_EQ(rig.uploadReportDlg->ZCountFromEdit->text(), "1");
}

TEST_F(LanguageFiles, LangFileReachesEveryKind)
{
    lang::ApplyLangFile(rig.Localised(),
                        profile("[MainForm]\r\nMainForm=ignored\r\nCheckBox1=Tylko odczyt\r\nTestBtn=Sprawdz\r\n"
                                "N1=-\r\nFileMenu=&Plik\r\nExitItem=&Koniec\r\n"
                                "[CommDlg]\r\nCommDlg=Port\r\nStopBitsRG=Bity\r\nStopBitsRG1=jeden\r\n"
                                "StopBitsRG3=dwa\r\nOKBtn=Dobrze\r\n"
                                "[fmfrm]\r\nReportGrid1=\xA3\xB9\x63ze\r\nReportGrid2=no column\r\nRurnBtn=Nagraj\r\n"
                                "[UploadReportDlg]\r\nRangeTypeRG2=Daty\r\nLabel3=OD (DDMMRR):\r\n"
                                "ZCountFromEdit=9\r\nedt1=name\r\n"));
    EXPECT_EQ(rig.mainForm->windowTitle(), "VOBREL FM");
    EXPECT_EQ(rig.mainForm->CheckBox1->text(), "Tylko odczyt");
    EXPECT_EQ(rig.mainForm->TestBtn->toolTip(), "Sprawdz");
    EXPECT_TRUE(rig.mainForm->findChild<QAction*>("N1")->isSeparator());
    EXPECT_EQ(rig.mainForm->FileMenu->title(), "&Plik");
    EXPECT_EQ(rig.mainForm->ExitItem->text(), "&Koniec");
    EXPECT_EQ(rig.commDlg->windowTitle(), "Port");
    const QList<QRadioButton*> stopBits = rig.commDlg->StopBitsRG->findChildren<QRadioButton*>();
    ASSERT_EQ(stopBits.size(), 3);
    EXPECT_EQ(rig.commDlg->StopBitsRG->title(), "Bity");
    EXPECT_EQ(stopBits[0]->text(), "jeden");
    EXPECT_EQ(stopBits[1]->text(), "");
    EXPECT_EQ(stopBits[2]->text(), "dwa");
    EXPECT_EQ(rig.commDlg->OKBtn->text(), "Dobrze");
    EXPECT_EQ(rig.fmfrm->Grid().Row(0), "\xA3\xB9\x63ze");  // grid rows stay bytes
    EXPECT_EQ(rig.fmfrm->Grid().RowCount(), 1);
    EXPECT_EQ(rig.fmfrm->RurnBtn->text(), "Nagraj");
    EXPECT_EQ(rig.uploadReportDlg->RangeTypeButtons->button(1)->text(), "Daty");
    EXPECT_EQ(rig.uploadReportDlg->RangeTypeButtons->button(0)->text(), "");
    EXPECT_EQ(rig.uploadReportDlg->Label3->text(), "OD (DDMMRR):");
    EXPECT_EQ(rig.uploadReportDlg->ZCountFromEdit->text(), "1");
    EXPECT_EQ(rig.uploadReportDlg->edt1->text(), "");
}

TEST_F(LanguageFiles, WindowWithBlankCaptionIsSkippedWhole)
{
    rig.commDlg->setWindowTitle("   ");
    lang::ApplyLangFile(rig.Localised(), profile("[CommDlg]\r\nCommDlg=Port\r\nOKBtn=Dobrze\r\n"));
    EXPECT_EQ(rig.commDlg->windowTitle(), "   ");
    EXPECT_EQ(rig.commDlg->OKBtn->text(), "OK");
    EXPECT_EQ(rig.commDlg->CancelBtn->text(), "Cancel");
}

TEST_F(LanguageFiles, ExeFileReplacesOnlyNonEmptyTextsFromItsKeys)
{
    lang::ApplyExeLanguageFile(
        rig.Localised(),
        profile("[MainForm]\r\nCaption=FM SERWIS\r\nCheckBox1.Caption=Tylko odczyt\r\nCommBtn.Hint=Port\r\n"
                "CommBtn.Caption=text of a picture button\r\nExitItem.Caption=&Koniec\r\nExitItem.Hint=none\r\n"
                "N1.Caption=-\r\nCheckBox1=lang.lng's key\r\n"
                "[UploadReportDlg]\r\nedt1.Caption=never\r\nZCountFromEdit.Caption=7\r\nBitBtn1.Caption=\r\n"
                "RangeTypeRG.Caption=no caption to replace\r\n"
                "[ProgressForm]\r\nOKBtn.Caption=&Dobrze\r\nOKBtn.Hint=no hint to replace\r\n"
                "[String]\r\nConnect=\xA3\xB9\x63z\r\n"));
    EXPECT_EQ(rig.mainForm->windowTitle(), "FM SERWIS");
    EXPECT_EQ(rig.mainForm->CheckBox1->text(), "Tylko odczyt");
    EXPECT_EQ(rig.mainForm->CommBtn->toolTip(), "Port");
    EXPECT_EQ(rig.mainForm->CommBtn->text(), "");
    EXPECT_EQ(rig.mainForm->ExitItem->text(), "&Koniec");
    EXPECT_EQ(rig.mainForm->ExitItem->statusTip(), "");
    EXPECT_TRUE(rig.mainForm->findChild<QAction*>("N1")->isSeparator());
    EXPECT_EQ(rig.uploadReportDlg->edt1->text(), "");  // an empty edit field is not looked up
    EXPECT_EQ(rig.uploadReportDlg->ZCountFromEdit->text(), "7");
    EXPECT_EQ(rig.uploadReportDlg->BitBtn1->text(), "");
    EXPECT_EQ(rig.uploadReportDlg->RangeTypeRG->title(), "");
    EXPECT_EQ(rig.progressForm->OKBtn->text(), "&Dobrze");
    EXPECT_EQ(rig.progressForm->OKBtn->toolTip(), "");
    // Untouched: everything the file does not name, and the other windows.
    EXPECT_EQ(rig.mainForm->TestBtn->toolTip(), "Test");
    EXPECT_EQ(rig.progressForm->CancelBtn->text(), "Cancel");
    EXPECT_EQ(rig.commDlg->windowTitle(), "Communication setting");
    EXPECT_EQ(texts::Message(texts::sConnect), QString::fromUtf8("Łącz"));
}

TEST_F(LanguageFiles, BothFilesLangLngWins)
{
    lang::ApplyExeLanguageFile(rig.Localised(),
                               profile("[MainForm]\r\nCheckBox1.Caption=from LNG\r\nExitItem.Caption=from LNG\r\n"
                                       "[String]\r\nConnect=LNG connect\r\nsDisconnect=LNG disconnect\r\n"));
    lang::ApplyLangFile(rig.Localised(), profile("[MainForm]\r\nCheckBox1=from lang.lng\r\n"
                                               "[String]\r\nsDisconnect=lang disconnect\r\n"));
    EXPECT_EQ(rig.mainForm->CheckBox1->text(), "from lang.lng");
    EXPECT_EQ(rig.mainForm->ExitItem->text(), "");  // lang.lng's empty default comes last
    EXPECT_EQ(texts::Message(texts::sConnect), "LNG connect");
    EXPECT_EQ(texts::Message(texts::sDisconnect), "lang disconnect");
}

TEST_F(LanguageFiles, ReplacedCaptionGrowsItsControl)
{
    const QString longText = QStringLiteral("Raport szczegółowy z pamięci fiskalnej");
    lang::ApplyLangFile(rig.Localised(),
                        profile("[fmfrm]\r\nbtn1=Raport szczeg\xF3\xB3owy z pami\xEA\x63i fiskalnej\r\n"
                                "[UploadReportDlg]\r\nLabel3=" + QByteArray(60, 'W') + "\r\n"));
    ASSERT_EQ(rig.fmfrm->btn1->text(), longText);
    // A button in the button bar's layout, and a label of the range dialog.
    rig.fmfrm->resize(1400, 400);
    rig.fmfrm->layout()->activate();
    rig.fmfrm->pnl1->layout()->activate();
    const int textWidth = rig.fmfrm->btn1->fontMetrics().horizontalAdvance(longText);
    EXPECT_GT(rig.fmfrm->btn1->width(), textWidth);
    // The date page shown: the label keeps its place and its edit moves right of it.
    rig.uploadReportDlg->RangeTypeButtons->button(1)->click();
    rig.uploadReportDlg->show();
    QApplication::processEvents();
    QLabel* label = rig.uploadReportDlg->Label3;
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(QString(60, 'W')));
    EXPECT_EQ(label->x(), 8);
    EXPECT_GT(rig.uploadReportDlg->DateFromEdit->x(), label->geometry().right());
    rig.uploadReportDlg->hide();
}

TEST_F(LanguageFiles, RightAlignedLabelKeepsItsFieldBesideIt)
{
    QLabel* label = rig.uploadReportDlg->FileName;
    lang::ApplyLangFile(rig.Localised(), profile("[UploadReportDlg]\r\nFileName=Nazwa pliku raportu\r\n"));
    rig.uploadReportDlg->layout()->activate();
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(QStringLiteral("Nazwa pliku raportu")));
    EXPECT_GT(rig.uploadReportDlg->edt1->x(), label->geometry().right());
    EXPECT_LE(rig.uploadReportDlg->edt1->x() - label->geometry().right(), 8);
}

TEST_F(LanguageFiles, MainWindowFirstShowAppliesTheFilesOnce)
{
    ASSERT_TRUE(writeTestFile(lang::LangFilePath(), "[MainForm]\r\nCheckBox1=Tylko odczyt\r\n"
                                                    "[BurnFrm]\r\n11=Typ\r\n13=Data\r\n"));
    rig.mainForm->show();
    EXPECT_EQ(rig.mainForm->CheckBox1->text(), "Tylko odczyt");
    EXPECT_EQ(rig.commDlg->OKBtn->text(), "");
    // The report window is shown after the files: its catalogue titles are the new ones.
    EXPECT_TRUE(rig.fmfrm->isVisible());
    EXPECT_EQ(rig.fmfrm->Catalogue().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Typ");
    EXPECT_EQ(rig.fmfrm->Catalogue().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Name");
    EXPECT_EQ(rig.fmfrm->Catalogue().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Data");
    // Once: a later show reads nothing again.
    rig.mainForm->CheckBox1->setText("changed later");
    rig.mainForm->hide();
    rig.mainForm->show();
    EXPECT_EQ(rig.mainForm->CheckBox1->text(), "changed later");
    rig.mainForm->close();
}
