#include "core/safe_file.h"
#include "core/settings.h"
#include "core/texts.h"
#include "reports/catalogue.h"
#include "ui/main_window.h"
#include "ui/report_form.h"
#include "reports/report_grid_model.h"
#include "ui/upload_report_dialog.h"
#include "tests/support/fake_session.h"
#include "tests/support/message_boxes.h"
#include "tests/support/recording_progress.h"
#include "tests/support/test_home.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QScrollBar>
#include <QKeyEvent>
#include <QSignalSpy>
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
#include <algorithm>
#include <gtest/gtest.h>

namespace {
struct FormRig {
    FakeSession session;
    RecordingProgress progress;
    TCatalogue catalogue;
    TUploadReportDlg dialog;
    Tfmfrm form{*session.bus, progress, catalogue};
    FormRig() { form.setRangeDialog(&dialog); }
};

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
    MessageBoxAnswerer boxes({QMessageBox::Cancel});
    r.form.DeleteBtnClick();
    EXPECT_EQ(boxes.texts, QStringList{"Delete Record?"});
    EXPECT_EQ(r.catalogue.Count(), 3);
    boxes.answers = {QMessageBox::Ok};
    r.form.DeleteBtnClick();
    EXPECT_EQ(boxes.texts.size(), 2);
    ASSERT_EQ(r.catalogue.Count(), 2);
    EXPECT_EQ(r.catalogue.Entry(0).Caption, "a.txt");
    EXPECT_EQ(r.catalogue.Entry(1).Caption, "c.txt");
    // The Delete key in the catalogue asks the same question.
    r.form.dbgrd1->setCurrentIndex(r.catalogue.index(1, 0));
    boxes.answers = {QMessageBox::Ok};
    QTest::keyClick(r.form.dbgrd1, Qt::Key_Delete);
    EXPECT_EQ(boxes.texts.size(), 3);
    ASSERT_EQ(r.catalogue.Count(), 1);
    EXPECT_EQ(r.catalogue.Entry(0).Caption, "a.txt");
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

    // A cancelled run changes no result field, though the edits were changed.
    QTimer::singleShot(30, &dialog, [&] {
        dialog.ZCountFromEdit->setText("77");
        dialog.RangeTypeButtons->button(1)->click();
        dialog.BitBtn2->click();
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.Result.ZCountFrom, 123);
    EXPECT_EQ(dialog.Result.RangeType, 0);
    EXPECT_EQ(dialog.edt1->text(), "  rep ");
    EXPECT_EQ(dialog.ZCountFromEdit->text(), "77");  // the edits keep what was typed
}

// Under X11 the Delete key carries the text U+007F; it must delete, not be filtered out.
// Pasted text keeps its digits only, up to the edit's length.
TEST(RangeDialog, DeleteKeyAndPasteInTheRangeEdits)
{
    TestHome home;
    TUploadReportDlg dialog;
    dialog.show();
    for (QLineEdit* edit : {dialog.ZCountFromEdit, dialog.ZCountToEdit, dialog.DateFromEdit, dialog.DateToEdit}) {
        edit->setFocus();
        edit->setText("12");
        edit->setCursorPosition(0);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)));
        QApplication::sendEvent(edit, &press);
        EXPECT_EQ(edit->text(), "2") << edit->objectName().toStdString();
    }

    dialog.ZCountFromEdit->clear();
    QApplication::clipboard()->setText(" 1a2/-3 b45");
    dialog.ZCountFromEdit->paste();
    EXPECT_EQ(dialog.ZCountFromEdit->text(), "1234");  // four digits at most
    dialog.DateToEdit->setText("3195");
    dialog.DateToEdit->setCursorPosition(2);
    QApplication::clipboard()->setText("1.2");
    dialog.DateToEdit->paste();
    EXPECT_EQ(dialog.DateToEdit->text(), "311295");
    QTest::keyClicks(dialog.DateToEdit, "7");  // a seventh digit is refused
    EXPECT_EQ(dialog.DateToEdit->text(), "311295");
    dialog.ZCountToEdit->setText("x9y");  // text set by other means obeys the same rule
    EXPECT_EQ(dialog.ZCountToEdit->text(), "9");
}

// dbgrd1 is bound to fmRpt: a click makes the clicked entry current, a new entry made
// current by a download becomes the highlighted row, and Delete removes exactly that row.
TEST(ReportWindow, CatalogueViewAndCurrentEntryFollowEachOther)
{
    TestHome home;
    texts::ResetToDefaults();
    FormRig r;
    r.form.resize(700, 400);
    r.form.show();
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        r.catalogue.Append({QDateTime::currentDateTime(), name, name, "Detail"});
    auto clickRow = [&](int row, Qt::KeyboardModifiers modifiers = {}) {
        const QRect cell = r.form.dbgrd1->visualRect(r.catalogue.index(row, 1));
        QTest::mouseClick(r.form.dbgrd1->viewport(), Qt::LeftButton, modifiers, cell.center());
    };
    auto selectedRows = [&] {
        QList<int> rows;
        for (const QModelIndex& i : r.form.dbgrd1->selectionModel()->selectedRows())
            rows << i.row();
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    EXPECT_EQ(r.form.dbgrd1->currentIndex().row(), 2);  // the last appended entry
    EXPECT_EQ(selectedRows(), QList<int>{2});

    QSignalSpy markers(&r.catalogue, &QAbstractItemModel::headerDataChanged);
    clickRow(0);
    EXPECT_EQ(r.catalogue.Current(), 0);
    // The old marker row and the new one are repainted, so only one row shows the marker.
    QList<int> repainted;
    for (const QList<QVariant>& args : markers)
        if (args[0].value<Qt::Orientation>() == Qt::Vertical)
            repainted << args[1].toInt();
    EXPECT_TRUE(repainted.contains(2));
    EXPECT_TRUE(repainted.contains(0));

    r.catalogue.AddReport(home.path("new.txt"), "Detail", QDateTime::currentDateTime());
    ASSERT_EQ(r.catalogue.Current(), 3);
    EXPECT_EQ(r.form.dbgrd1->currentIndex().row(), 3);
    EXPECT_EQ(selectedRows(), QList<int>{3});
    MessageBoxAnswerer okBox({QMessageBox::Ok});
    r.form.DeleteBtnClick();
    ASSERT_EQ(r.catalogue.Count(), 3);
    EXPECT_EQ(r.catalogue.Entry(0).Caption, "a.txt");
    EXPECT_EQ(r.catalogue.Entry(2).Caption, "c.txt");
    EXPECT_EQ(r.form.dbgrd1->currentIndex().row(), r.catalogue.Current());
    EXPECT_EQ(selectedRows(), QList<int>{r.catalogue.Current()});

    // Ctrl+click adds a row and moves the current entry; Delete removes only that one.
    clickRow(0);
    clickRow(1, Qt::ControlModifier);
    EXPECT_EQ(selectedRows(), (QList<int>{0, 1}));
    EXPECT_EQ(r.catalogue.Current(), 1);
    MessageBoxAnswerer okAgain({QMessageBox::Ok});
    r.form.DeleteBtnClick();
    ASSERT_EQ(r.catalogue.Count(), 2);
    EXPECT_EQ(r.catalogue.Entry(0).Caption, "a.txt");
    EXPECT_EQ(r.catalogue.Entry(1).Caption, "c.txt");
    EXPECT_EQ(r.form.dbgrd1->currentIndex().row(), r.catalogue.Current());
}

// A report opened after scrolling another one starts at its top; the grid's current row
// moves the view but is never painted as a selected bar.
TEST(ReportWindow, OpenedReportStartsAtTheTopWithoutAHighlightedRow)
{
    TestHome home;
    FormRig r;
    r.form.resize(700, 400);
    r.form.show();
    std::vector<QByteArray> rows(300, "LINE");
    r.form.Grid().SetAllRows(rows);
    r.form.Grid().SetCurrentRow(299);
    QApplication::processEvents();
    ASSERT_GT(r.form.ReportGrid->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(r.form.ReportGrid->selectionModel()->selectedIndexes().isEmpty());

    const QString path = home.path("other.txt");
    ASSERT_TRUE(writeTestFile(path, QByteArray("X\r\n").repeated(200)));
    r.form.ChooseOpenFile = [&] { return path; };
    r.form.OpenBtnClick();
    QApplication::processEvents();
    EXPECT_EQ(r.form.ReportGrid->verticalScrollBar()->value(), 0);
    EXPECT_EQ(r.form.ReportGrid->currentIndex().row(), 0);
    EXPECT_TRUE(r.form.ReportGrid->selectionModel()->selectedIndexes().isEmpty());
}

// The "ReadOnly Mode" box of the main window reaches the wire: the report requests of both
// buttons carry 49 and 50 while it is checked, 32 and 48 once it is cleared.
TEST(ReportWindow, ReadOnlyModeSendsItsCodesOnTheWire)
{
    TestHome home;
    texts::ResetToDefaults();
    auto fake = std::make_unique<FakeRegisterPort>();
    FakeRegisterPort* port = fake.get();
    std::vector<int> codes;
    port->responder = [&codes](const ibus::Payload& rq, ibus::Payload& rp) {
        if (rq[0] == 0)
            rp[3 + 15] = 1;  // fiscal memory closed: read-only downloads may run
        if (rq[0] == 14 && rq[1] != 16) {
            if ((rq[3] | (rq[4] << 8)) == 0)
                codes.push_back(rq[1] | (rq[2] << 8));
            else
                rp[3 + 254] = rp[3 + 255] = 0xA5;  // the first page is the last
        }
        return true;
    };
    TMainForm main(std::move(fake));
    RecordingProgress progress;
    TCatalogue catalogue;
    TUploadReportDlg dialog;
    Tfmfrm form(main.Bus(), progress, catalogue, main.pnl1);
    form.setRangeDialog(&dialog);
    main.setReportWindow(&form);
    main.show();
    auto download = [&](QPushButton* button, const char* name) {
        QTimer::singleShot(30, &dialog, [&dialog, name] {
            dialog.edt1->setText(name);
            dialog.BitBtn1->click();
        });
        button->click();
    };
    main.CheckBox1->click();
    download(form.btn1, "d1");
    download(form.Button1, "s1");
    main.CheckBox1->click();
    download(form.btn1, "d2");
    download(form.Button1, "s2");
    EXPECT_EQ(codes, (std::vector<int>{49, 50, 32, 48}));
    main.close();
}
