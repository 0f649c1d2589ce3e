// Every text of every window fits its control under Linux fonts: the default font, a
// larger one, and longer captions (as a translation would bring), with the designed
// sizes kept as minimums.

#include "tests/ui/text_fit.h"

#include "core/settings.h"
#include "core/texts.h"
#include "reports/catalogue.h"
#include "reports/report_grid_model.h"
#include "ui/about_box.h"
#include "ui/burn_form.h"
#include "ui/comm_dialog.h"
#include "ui/main_window.h"
#include "ui/progress_form.h"
#include "ui/report_form.h"
#include "ui/startup.h"
#include "ui/upload_report_dialog.h"
#include "tests/support/test_home.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <gtest/gtest.h>

namespace {

// The program's windows, shown with the texts that need the most room.
struct ShownWindows {
    TestHome home;
    ProgramWindows w;
    std::unique_ptr<TAboutBox> about;

    // languageFile: a lang.lng put into the program directory before the windows exist.
    explicit ShownWindows(const QString& languageFile = QString())
    {
        texts::ResetToDefaults();
        if (!languageFile.isEmpty())
            QFile::copy(languageFile, Settings().ProgramDir + "lang.lng");
        // The emulated recorder: its drive line names the image by its whole path.
        writeSystemConfig("[Burn]\r\nVirtualDrive=disc.img\r\n");
        CreateProgramWindows(w);
        w.dm->fmRpt.AddReport(Settings().ReportDir + "Rep_1234_5678.txt", "Summary",
                              QDateTime(QDate(2024, 12, 29), QTime(23, 58, 59)));
        w.fmfrm->Grid().SetAllRows({"", "FISCAL MEMORY REPORT    ", "Z 1-5", "LINE 1 WITH TWENTY-FOUR"});
        w.mainForm->show();
        w.progressForm->Show();
        w.progressForm->ShowStatus(false, texts::Message(texts::SReadOnly));
        w.progressForm->SetTotalPackages(65535);
        w.progressForm->SetCurrentPackage(65535);
        w.commDlg->UpdatePortHints();
        w.commDlg->show();
        w.uploadReportDlg->edt1->setText("Report");
        for (QLineEdit* e : {w.uploadReportDlg->ZCountFromEdit, w.uploadReportDlg->ZCountToEdit,
                             w.uploadReportDlg->DateFromEdit, w.uploadReportDlg->DateToEdit})
            e->setText("00000000");  // the widest digits, cut to each edit's length
        w.uploadReportDlg->show();
        about = std::make_unique<TAboutBox>(w.mainForm.get());
        about->show();
        for (const char* name : {"Rep_1234_5678.txt", "Summary_010124_311224.txt"})
            w.burnFrm->AddFileToBurnList(Settings().ReportDir + name);
        w.burnFrm->show();
        settle();
    }
    ~ShownWindows()
    {
        about.reset();
        w.burnFrm->hide();
        w.uploadReportDlg->hide();
        w.commDlg->hide();
        w.progressForm->Close();
        texts::ResetToDefaults();
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    QList<QWidget*> windows() const
    {
        return {w.mainForm.get(), w.progressForm.get(), w.commDlg.get(), w.uploadReportDlg.get(), w.burnFrm.get(),
                about.get()};
    }
    // Problems of all windows, with both pages of the range dialog.
    QStringList problems() const
    {
        QStringList all;
        for (int page : {0, 1}) {
            w.uploadReportDlg->RangeTypeButtons->button(page)->click();
            settle();
            for (QWidget* window : windows())
                all << CutTexts(window);
        }
        all.removeDuplicates();
        return all;
    }
};

}  // namespace

TEST(TextFit, EveryTextFitsAtTheDefaultFont)
{
    ShownWindows shown;
    const QStringList problems = shown.problems();
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
    // The designed sizes stay as minimums.
    EXPECT_GE(shown.w.mainForm->width(), 653);
    EXPECT_GE(shown.w.mainForm->height(), 553);
    EXPECT_GE(shown.w.progressForm->width(), 353);
    EXPECT_GE(shown.w.progressForm->height(), 210);
    EXPECT_GE(shown.w.uploadReportDlg->width(), 330);
    EXPECT_GE(shown.w.uploadReportDlg->height(), 204);
    EXPECT_GE(shown.w.commDlg->width(), 317);
    EXPECT_GE(shown.w.commDlg->height(), 224);
    EXPECT_GE(shown.w.burnFrm->width(), 491);
    EXPECT_GE(shown.w.burnFrm->height(), 235);
    EXPECT_GE(shown.w.fmfrm->btn1->width(), 88);
    EXPECT_GE(shown.w.fmfrm->btn1->height(), 27);
    EXPECT_GE(shown.w.uploadReportDlg->ZCountFromEdit->width(), 57);
    EXPECT_GE(shown.w.uploadReportDlg->DateFromEdit->width(), 67);
    EXPECT_GE(shown.w.mainForm->TopDock->height(), 25);
    EXPECT_EQ(shown.w.mainForm->BottomDock->height(), 0);  // no empty band
}

TEST(TextFit, ControlsGrowWithALargerFont)
{
    const QFont original = QApplication::font();
    QFont larger = original;
    larger.setPointSizeF(original.pointSizeF() * 1.6);
    QApplication::setFont(larger);
    {
        ShownWindows shown;
        const QStringList problems = shown.problems();
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
    }
    QApplication::setFont(original);
}

// Longer captions, as a language file brings them, make their controls and windows grow.
TEST(TextFit, ControlsGrowWithLongerCaptions)
{
    ShownWindows shown;
    const QString more = QStringLiteral(" (dłuższy tekst)");
    for (QWidget* window : shown.windows()) {
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
            if (!b->text().isEmpty())
                b->setText(b->text() + more);
        for (QLabel* l : window->findChildren<QLabel*>())
            if (!l->text().isEmpty() && l->pixmap().isNull())
                l->setText(l->text() + more);
        for (QGroupBox* g : window->findChildren<QGroupBox*>())
            if (!g->title().isEmpty())
                g->setTitle(g->title() + more);
    }
    shown.w.dm->fmRpt.SetColumnTitles("Rodzaj raportu", "Nazwa pliku raportu", "Data i godzina zapisu");
    ShownWindows::settle();
    const QStringList problems = shown.problems();
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
}

// The shipped Polish texts fit as well.
TEST(TextFit, EveryPolishTextFits)
{
    ShownWindows shown(QStringLiteral(VOBRELFM_SOURCE_DIR "/lang/pl/lang.lng"));
    ASSERT_NE(shown.w.fmfrm->btn1->text(), "Detail Report");  // the file was applied
    const QStringList problems = shown.problems();
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
}

// The checker itself finds a cut caption, a cut edit text and a control cut by its parent.
TEST(TextFit, TheCheckerFindsCutTexts)
{
    QWidget window;
    window.resize(300, 200);
    auto* button = new QPushButton("Summary Report", &window);
    button->setGeometry(0, 0, 40, 27);
    auto* label = new QLabel("FROM(DDMMYY):", &window);
    label->setGeometry(0, 40, 30, 20);
    auto* edit = new QLineEdit("010196010196", &window);
    edit->setGeometry(0, 70, 30, 24);
    auto* outside = new QLabel("x", &window);
    outside->setGeometry(290, 190, 30, 20);
    window.show();
    const QStringList problems = CutTexts(&window);
    ASSERT_EQ(problems.size(), 4) << problems.join('\n').toStdString();
    EXPECT_TRUE(problems[0].contains("Summary Report"));
    EXPECT_TRUE(problems[1].contains("FROM(DDMMYY):"));
    EXPECT_TRUE(problems[2].contains("010196010196"));
    EXPECT_TRUE(problems[3].contains("cut by the edge"));
    button->setGeometry(0, 0, button->sizeHint().width(), 27);
    label->adjustSize();
    edit->resize(edit->sizeHint().width() * 2, 24);
    outside->move(0, 120);
    EXPECT_TRUE(CutTexts(&window).isEmpty()) << CutTexts(&window).join('\n').toStdString();
}
