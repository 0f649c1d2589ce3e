#include "core/safe_file.h"
#include "core/settings.h"
#include "core/texts.h"
#include "reports/catalogue.h"
#include "ui/report_form.h"
#include "reports/report_grid_model.h"
#include "ui/upload_report_dialog.h"
#include "tests/fake_session.h"
#include "tests/recording_progress.h"
#include "tests/test_home.h"

#include <QApplication>
#include <QButtonGroup>
#include <QStackedWidget>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
struct FormRig {
    FakeSession session;
    RecordingProgress progress;
    TCatalogue catalogue;
    TUploadReportDlg dialog;
    Tfmfrm form{*session.bus, progress, catalogue, dialog};
};

void answerNextBox(QMessageBox::StandardButton button, QString* text = nullptr)
{
    QTimer::singleShot(30, [button, text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (text)
                *text = box->text();
            box->button(button)->click();
        }
    });
}
}  // namespace

TEST(ReportWindow, ShowTakesColumnTitlesAndFontSize)
{
    TestHome home;
    texts::ResetToDefaults();
    texts::SetBurnFrm(12, "Nazwa");
    Settings().PrintFontSize = 13;
    FormRig r;
    r.form.show();
    EXPECT_EQ(r.catalogue.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Nazwa");
    EXPECT_EQ(r.form.ReportGrid->font().pointSize(), 13);
    EXPECT_EQ(r.form.RurnBtn->text(), "Burn");
    EXPECT_EQ(r.form.windowTitle(), "FM Report");
    texts::ResetToDefaults();
}

TEST(ReportWindow, OpenSaveAndDoubleClick)
{
    TestHome home;
    FormRig r;
    const QString path = home.path("rep.txt");
    ASSERT_TRUE(writeTestFile(path, "a\r\nb\r\n"));
    r.form.ChooseOpenFile = [&] { return path; };
    r.form.OpenBtnClick();
    EXPECT_EQ(r.form.Grid().Rows(), (std::vector<QByteArray>{"a", "b"}));
    EXPECT_TRUE(r.catalogue.IsEmpty());

    r.form.ChooseSaveFile = [&] { return home.path("copy"); };
    r.form.Button2Click();
    QByteArray copy;
    ASSERT_TRUE(readWholeFile(home.path("copy.txt"), &copy));
    EXPECT_EQ(copy, "a\r\nb\r\n");

    r.form.Grid().SetAllRows({"other"});
    r.catalogue.Append({QDateTime::currentDateTime(), "rep.txt", QFile::encodeName(path), "Detail"});
    r.catalogue.Append({QDateTime::currentDateTime(), "gone.txt", "/nowhere/gone.txt", "Detail"});
    r.form.dbgrd1DblClick();  // current entry's file is missing: nothing happens
    EXPECT_EQ(r.form.Grid().Row(0), "other");
    r.catalogue.SetCurrent(0);
    r.form.dbgrd1DblClick();
    EXPECT_EQ(r.form.Grid().Row(0), "a");
}

TEST(ReportWindow, DeleteAsksAndRemovesOnlyTheCurrentEntry)
{
    TestHome home;
    texts::ResetToDefaults();
    FormRig r;
    r.form.show();
    r.form.DeleteBtnClick();  // empty: no question
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        r.catalogue.Append({QDateTime::currentDateTime(), name, name, "Detail"});
    r.form.dbgrd1->selectionModel()->select(r.catalogue.index(0, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    r.form.dbgrd1->setCurrentIndex(r.catalogue.index(1, 0));
    r.form.dbgrd1->selectionModel()->select(r.catalogue.index(1, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(r.catalogue.Current(), 1);
    QString question;
    answerNextBox(QMessageBox::Cancel, &question);
    r.form.DeleteBtnClick();
    EXPECT_EQ(question, "Delete Record?");
    EXPECT_EQ(r.catalogue.Count(), 3);
    answerNextBox(QMessageBox::Ok);
    r.form.DeleteBtnClick();
    ASSERT_EQ(r.catalogue.Count(), 2);
    EXPECT_EQ(r.catalogue.Entry(0).Caption, "a.txt");
    EXPECT_EQ(r.catalogue.Entry(1).Caption, "c.txt");
}

TEST(ReportWindow, SelectedReportFilesSkipsMissingOnes)
{
    TestHome home;
    FormRig r;
    QFile(home.path("x.txt")).open(QIODevice::WriteOnly);
    r.catalogue.Append({QDateTime::currentDateTime(), "x.txt", QFile::encodeName(home.path("x.txt")), "Detail"});
    r.catalogue.Append({QDateTime::currentDateTime(), "y.txt", "/nowhere/y.txt", "Detail"});
    EXPECT_TRUE(r.form.SelectedReportFiles().isEmpty());
    r.form.dbgrd1->selectAll();
    EXPECT_EQ(r.form.SelectedReportFiles(), QStringList{home.path("x.txt")});
}

TEST(RangeDialog, KeyFilterAndKeptValues)
{
    TestHome home;
    TUploadReportDlg dialog;
    dialog.show();
    dialog.ZCountFromEdit->clear();
    QTest::keyClicks(dialog.ZCountFromEdit, "1a2 b.3456");
    EXPECT_EQ(dialog.ZCountFromEdit->text(), "1234");  // letters refused, 4 characters at most
    QTest::keyClick(dialog.ZCountFromEdit, Qt::Key_Backspace);
    EXPECT_EQ(dialog.ZCountFromEdit->text(), "123");
    dialog.DateFromEdit->clear();
    QTest::keyClicks(dialog.DateFromEdit, "0101960");
    EXPECT_EQ(dialog.DateFromEdit->text(), "010196");
    dialog.RangeTypeButtons->button(1)->click();
    EXPECT_EQ(dialog.Notebook1->currentIndex(), 1);
    dialog.RangeTypeButtons->button(0)->click();
    EXPECT_EQ(dialog.ZCountFromEdit->text(), "123");

    QTimer::singleShot(30, &dialog, [&] {
        dialog.edt1->setText("  rep ");
        dialog.ZCountToEdit->setText("");
        dialog.BitBtn1->click();
    });
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.Result.ReportFileName, "rep_123_.txt");
    EXPECT_EQ(dialog.Result.ZCountFrom, 123);
    EXPECT_EQ(dialog.Result.ZCountTo, 0);
    EXPECT_EQ(dialog.Result.DateFrom, 10196);

    QTimer::singleShot(30, &dialog, [&] { dialog.BitBtn2->click(); });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.Result.ZCountFrom, 123);  // kept
    EXPECT_EQ(dialog.edt1->text(), "  rep ");
}
