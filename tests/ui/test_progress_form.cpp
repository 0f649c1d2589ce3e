#include "ui/progress_form.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {
struct Fixture {
    QWidget main;
    int aborts = 0;
    TProgressForm form{&main, [this] { ++aborts; }};
    QColor statusColour() const { return form.StatusLabel->palette().color(QPalette::Window); }
};
}  // namespace

TEST(ProgressForm, ShowDisablesMainWindowAndResetsCounters)
{
    Fixture f;
    f.main.show();
    f.form.Show();
    EXPECT_FALSE(f.main.isEnabled());
    EXPECT_EQ(f.form.ProgressState(), kProgressWorking);
    EXPECT_EQ(f.form.CurLabel->text(), "0");
    EXPECT_EQ(f.form.TotalLabel->text(), "0");
    f.form.ShowStatus(false, "Connect...");
    EXPECT_EQ(f.form.StatusLabel->text(), "Connect...");
    EXPECT_EQ(f.form.windowTitle(), "Connect...");
    EXPECT_TRUE(f.form.CancelBtn->isVisible());
    f.form.Close();
    EXPECT_TRUE(f.main.isEnabled());
    EXPECT_EQ(f.form.ProgressState(), kProgressWorking);  // closing by the caller keeps it
}

TEST(ProgressForm, ErrorTurnsIntoAcknowledgementBox)
{
    Fixture f;
    f.form.Show();
    f.form.ShowStatus(true, "Connect...Error");
    EXPECT_EQ(f.form.ProgressState(), kProgressErrorShown);
    EXPECT_EQ(f.statusColour(), QColor(Qt::red));
    EXPECT_TRUE(f.form.OKBtn->isVisible());
    EXPECT_FALSE(f.form.CancelBtn->isVisible());
    EXPECT_EQ(f.form.OKBtn->x(), f.form.CancelBtn->x());
    f.form.ShowStatus(true, "Second");
    EXPECT_EQ(f.form.StatusLabel->text(), "Second");
    EXPECT_EQ(f.form.ProgressState(), kProgressErrorShown);

    // A normal status after an error brings Cancel back; OK keeps its new place.
    f.form.ShowStatus(false, "Again...");
    EXPECT_EQ(f.form.ProgressState(), kProgressWorking);
    EXPECT_FALSE(f.form.OKBtn->isVisible());
    EXPECT_TRUE(f.form.CancelBtn->isVisible());
    EXPECT_EQ(f.form.OKBtn->x(), f.form.CancelBtn->x());
    EXPECT_NE(f.statusColour(), QColor(Qt::red));

    f.form.ShowStatus(true, "Err");
    f.form.OKBtn->click();
    EXPECT_EQ(f.form.ProgressState(), kProgressClosed);
    EXPECT_FALSE(f.form.isVisible());
    f.form.WaitForOperator();  // returns at once
    f.form.ShowStatus(false, "ignored");
    EXPECT_EQ(f.form.StatusLabel->text(), "Err");
    EXPECT_EQ(f.form.ProgressState(), kProgressClosed);
    f.form.SetTotalPackages(7);  // counters still move while hidden
    EXPECT_EQ(f.form.TotalLabel->text(), "7");
    f.form.Show();
    EXPECT_EQ(f.form.ProgressState(), kProgressWorking);
}

TEST(ProgressForm, CancelAbortsAndCloses)
{
    Fixture f;
    f.main.show();
    f.form.Show();
    f.form.ShowStatus(false, "Waiting");
    f.form.CancelBtn->click();
    EXPECT_EQ(f.aborts, 1);
    EXPECT_EQ(f.form.ProgressState(), kProgressClosed);
    EXPECT_TRUE(f.main.isEnabled());
    f.form.ShowStatus(true, "late error");
    EXPECT_EQ(f.form.ProgressState(), kProgressClosed);
}

TEST(ProgressForm, PackageCounters)
{
    Fixture f;
    f.form.Show();
    f.form.SetTotalPackages(1);
    EXPECT_EQ(f.form.TotalLabel->text(), "1");
    f.form.SetCurrentPackage(5);
    EXPECT_EQ(f.form.CurLabel->text(), "5");
    EXPECT_EQ(f.form.ProgressBar1->value(), f.form.ProgressBar1->maximum());
    f.form.SetTotalPackages(-3);
    EXPECT_EQ(f.form.TotalLabel->text(), "0");
    EXPECT_EQ(f.form.CurLabel->text(), "0");
    EXPECT_EQ(f.form.ProgressBar1->maximum(), 1);  // range left as it was
    EXPECT_EQ(f.form.ProgressBar1->value(), 0);
}

// The window manager's close button (a close that is none of the program's own) ends the
// wait: as OK when an error is shown, as Cancel while the command works.
TEST(ProgressForm, CloseFromTheTitleBarActsAsOkOrCancel)
{
    Fixture f;
    f.main.show();
    f.form.Show();
    f.form.ShowStatus(true, "Connect...Error");
    QTimer::singleShot(0, &f.form, [&] { f.form.close(); });
    f.form.WaitForOperator();  // returns only once the state is 2
    EXPECT_EQ(f.form.ProgressState(), kProgressClosed);
    EXPECT_EQ(f.aborts, 0);
    EXPECT_FALSE(f.form.isVisible());
    EXPECT_TRUE(f.main.isEnabled());

    f.form.Show();
    f.form.ShowStatus(false, "Waiting");
    f.form.close();
    EXPECT_EQ(f.aborts, 1);
    EXPECT_EQ(f.form.ProgressState(), kProgressClosed);
    EXPECT_TRUE(f.main.isEnabled());
    f.form.ShowStatus(true, "late error");
    EXPECT_EQ(f.form.ProgressState(), kProgressClosed);
}

// The show steps belong to the show event: any show disables the main window and starts
// the state afresh, not only the Show operation.
TEST(ProgressForm, AnyShowRunsTheShowSteps)
{
    Fixture f;
    f.main.show();
    f.form.Show();
    f.form.SetTotalPackages(9);
    f.form.SetCurrentPackage(4);
    f.form.ShowStatus(true, "Err");
    f.form.OKBtn->click();
    ASSERT_TRUE(f.main.isEnabled());
    f.form.show();
    EXPECT_FALSE(f.main.isEnabled());
    EXPECT_EQ(f.form.ProgressState(), kProgressWorking);
    EXPECT_EQ(f.form.CurLabel->text(), "0");
    EXPECT_EQ(f.form.TotalLabel->text(), "0");
    EXPECT_EQ(f.form.ProgressBar1->value(), 0);
}

TEST(ProgressForm, EscPressesCancelOnlyWhileItIsShown)
{
    Fixture f;
    f.form.Show();
    f.form.ShowStatus(true, "Connect...Error");
    QTest::keyClick(&f.form, Qt::Key_Escape);
    EXPECT_EQ(f.form.ProgressState(), kProgressErrorShown);  // OK must be pressed
    EXPECT_TRUE(f.form.isVisible());
    f.form.ShowStatus(false, "Waiting");
    QTest::keyClick(&f.form, Qt::Key_Escape);
    EXPECT_EQ(f.aborts, 1);
    EXPECT_EQ(f.form.ProgressState(), kProgressClosed);
    EXPECT_FALSE(f.form.isVisible());
}
