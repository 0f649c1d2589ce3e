// Report downloads end to end against the register simulator on a pty: through the
// command line and through the report window offscreen.

#include "ui/main_window.h"
#include "ui/progress_form.h"
#include "core/safe_file.h"
#include "core/settings.h"
#include "core/texts.h"
#include "link/ibus_session.h"
#include "link/ibus_trace.h"
#include "reports/catalogue.h"
#include "ui/report_form.h"
#include "reports/report_grid_model.h"
#include "ui/upload_report_dialog.h"
#include "tests/support/message_boxes.h"
#include "tests/support/program_run.h"
#include "tests/e2e/progress_answers.h"
#include "tests/support/simulated_register.h"
#include "tests/support/test_home.h"
#include "tests/support/wait_util.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QButtonGroup>
#include <QMap>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString writeLines(const TestHome& home, int count, const char* prefix = "LINE ")
{
    QByteArray content;
    for (int i = 0; i < count; ++i)
        content += prefix + QByteArray::number(i) + "\r\n";
    const QString path = home.path("lines.txt");
    writeTestFile(path, content);
    return path;
}

QByteArray detailFile(int count, const char* prefix = "LINE ")
{
    auto line = [prefix](int i) { return prefix + QByteArray::number(i) + "\r\n"; };
    if (count == 0)
        return "\r\n";
    QByteArray out = "\r\n";
    if (count == 1)
        return out + "\r\n" + line(0);
    out += line(count - 2) + line(count - 1);
    for (int i = 0; i < count - 2; ++i)
        out += line(i);
    return out;
}

QByteArray summaryFile(int count, const QByteArray& range)
{
    QByteArray out = "SUMMARY REPORT\r\n" + range + "\r\n";
    for (int i = 0; i < count; ++i)
        out += "LINE " + QByteArray::number(i) + "\r\n";
    return out + "\r\n\r\n\r\n";
}

}  // namespace

TEST(EndToEndReports, CommandLineDetailAndSummary)
{
    TestHome home;
    SimulatedRegister reg({"--lines", writeLines(home, 12)});
    ASSERT_FALSE(reg.pty().isEmpty());
    const QString dir = Settings().ProgramDir;
    ProgramRun r = runProgram({"--home", dir, "detail", "--z", "1-5", "--name", "abc", "--port", reg.pty()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(readTestFile(dir + "Report/abc_1_5.txt"), detailFile(12));
    r = runProgram({"--home", dir, "summary", "--dates", "010196-311295", "--name", "s", "--port", reg.pty()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(readTestFile(dir + "Report/s_010196_311295.txt"), summaryFile(12, "DATE 10196-311295"));

    r = runProgram({"--home", dir, "catalogue"});
    EXPECT_EQ(r.status, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Detail\tabc_1_5.txt\t"));
    EXPECT_TRUE(lines[1].startsWith("Summary\ts_010196_311295.txt\t"));
    EXPECT_TRUE(readTestFile(dir + "data/fmList.txt").startsWith("cDateTime\tCaption\tFileName\tsType\r\n"));

    // An existing report is replaced only with --yes; the catalogue keeps one entry for it.
    r = runProgram({"--home", dir, "detail", "--z", "1-5", "--name", "abc", "--port", reg.pty()});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("--yes"));
    r = runProgram({"--home", dir, "detail", "--z", "1-5", "--name", "ABC", "--port", reg.pty(), "--yes"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    r = runProgram({"--home", dir, "catalogue"});
    EXPECT_EQ(r.out.split('\n', Qt::SkipEmptyParts).size(), 2);
}

TEST(EndToEndReports, CommandLineReadOnlyRefusalAndFailures)
{
    TestHome home;
    const QString dir = Settings().ProgramDir;
    {
        SimulatedRegister reg({"--closed", "0"});
        ProgramRun r = runProgram({"--home", dir, "detail", "--z", "1-2", "--name", "ro", "--readonly", "--port", reg.pty()});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains("PAMI?? FISKALNA NIE ZAMKNI?TA."));
        r = runProgram({"--home", dir, "summary", "--z", "1-2", "--name", "ro", "--port", reg.pty()});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
    }
    {
        SimulatedRegister reg({"--closed", "1"});
        ProgramRun r = runProgram({"--home", dir, "summary", "--z", "1-2", "--name", "ro2", "--readonly", "--port", reg.pty()});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
    }
    {
        SimulatedRegister reg({"--refuse"});
        ProgramRun r = runProgram({"--home", dir, "detail", "--z", "1-2", "--name", "x", "--port", reg.pty()});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains("error: FM Report\n"));
    }
    {
        SimulatedRegister reg({"--generate", "40", "--nak", "page2"});
        ProgramRun r = runProgram({"--home", dir, "detail", "--z", "1-2", "--name", "y", "--port", reg.pty()});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains("FM Report...Error"));
        EXPECT_FALSE(QFile::exists(dir + "Report/y_1_2.txt"));
    }
    ProgramRun r = runProgram({"--home", dir, "detail", "--z", "1-2", "--name", "../out"});
    EXPECT_EQ(r.status, 2);
    // A name that makes too long a file name is refused before anything is downloaded.
    r = runProgram({"--home", dir, "detail", "--z", "1-2", "--name", QString(250, 'n'), "--port", "/nonexistent/tty"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains("too long")) << r.err.toStdString();
    r = runProgram({"--home", dir, "detail", "--z", "12345-2", "--name", "n"});
    EXPECT_EQ(r.status, 2);
    r = runProgram({"--home", dir, "detail", "--name", "n"});
    EXPECT_EQ(r.status, 2);
    r = runProgram({"--home", dir, "catalogue"});
    EXPECT_EQ(r.out.split('\n', Qt::SkipEmptyParts).size(), 2);
}

// Range texts are digits only: anything else is a usage error before the port opens.
TEST(EndToEndReports, CommandLineRefusesRangesThatAreNotDigits)
{
    TestHome home;
    SimulatedRegister reg({});
    ASSERT_FALSE(reg.pty().isEmpty());
    const QString dir = Settings().ProgramDir;
    const QStringList bad[] = {{"--z", "1/-2"}, {"--z", "-2"}, {"--z", "1-"}, {"--z", " 1-2"},
                               {"--z", "+1-2"}, {"--dates", "0101a6-311295"}, {"--dates", "010196-3112.5"}};
    for (const QStringList& range : bad) {
        const ProgramRun r = runProgram(QStringList{"--home", dir, "detail"} + range +
                                        QStringList{"--name", "r", "--port", reg.pty()});
        EXPECT_EQ(r.status, 2) << range.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(range[0])) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir + "DEBUG.LOG"));  // the port was never opened
    EXPECT_FALSE(QFile::exists(dir + "Report"));
    EXPECT_EQ(runProgram({"--home", dir, "detail", "--z", "0001-9", "--name", "r", "--port", reg.pty()}).status, 0);
    EXPECT_TRUE(QFile::exists(dir + "Report/r_0001_9.txt"));
}

TEST(EndToEndReports, CorruptedRepliesStillStoreTheSameReport)
{
    TestHome home;
    const QString dir = Settings().ProgramDir;
    const QString lines = writeLines(home, 300);
    SimulatedRegister clean({"--lines", lines});
    SimulatedRegister noisy({"--lines", lines, "--corrupt", "0.05", "--seed", "5"});
    ASSERT_EQ(runProgram({"--home", dir, "detail", "--z", "1-9", "--name", "clean", "--port", clean.pty()}).status, 0);
    ASSERT_EQ(runProgram({"--home", dir, "detail", "--z", "1-9", "--name", "noisy", "--port", noisy.pty()}).status, 0);
    EXPECT_EQ(readTestFile(dir + "Report/clean_1_9.txt"), readTestFile(dir + "Report/noisy_1_9.txt"));
    EXPECT_EQ(readTestFile(dir + "Report/clean_1_9.txt"), detailFile(300));
    ASSERT_EQ(runProgram({"--home", dir, "summary", "--z", "1-9", "--name", "sclean", "--port", clean.pty()}).status, 0);
    ASSERT_EQ(runProgram({"--home", dir, "summary", "--z", "1-9", "--name", "snoisy", "--port", noisy.pty()}).status, 0);
    EXPECT_EQ(readTestFile(dir + "Report/sclean_1_9.txt"), readTestFile(dir + "Report/snoisy_1_9.txt"));
    EXPECT_EQ(readTestFile(dir + "Report/snoisy_1_9.txt"), summaryFile(300, "Z 1-9"));
    EXPECT_GT(readTestFile(dir + "DEBUG.LOG").count("Retry:"), 0);
}

namespace {

// The program's windows over a real serial port, with the range dialog answered by timers.
struct ReportShell {
    Tdm dm{[](const QString&) {}};
    TMainForm main;
    TProgressForm progress{&main, [this] { main.Bus().AbortExchange(); }};
    TUploadReportDlg dialog{&main};
    Tfmfrm* form;
    QStringList seen;
    MessageBoxAnswerer boxes{{QMessageBox::Ok, QMessageBox::Cancel}};
    bool stayedOpen = false;  // the dialog was still open after the accept button

    explicit ReportShell(const QString& pty)
    {
        writeSystemConfigForDevice(pty, 1);
        ReadSystemConfig();
        main.setProgressForm(&progress);
        form = new Tfmfrm(main.Bus(), progress, dm.fmRpt, main.pnl1);
        form->setRangeDialog(&dialog);
        main.setReportWindow(form);
        main.show();
        QObject::connect(&progress, &QWidget::windowTitleChanged, [this](const QString& t) { seen << t; });
    }
    // Fills the range dialog when it shows and presses the accept button (once or twice).
    void answerDialog(const QString& name, bool dates, const QString& from, const QString& to,
                      bool cancelAfter = false)
    {
        QTimer::singleShot(50, &dialog, [=, this] {
            dialog.edt1->setText(name);
            dialog.RangeTypeButtons->button(dates ? 1 : 0)->click();
            (dates ? dialog.DateFromEdit : dialog.ZCountFromEdit)->setText(from);
            (dates ? dialog.DateToEdit : dialog.ZCountToEdit)->setText(to);
            dialog.BitBtn1->click();
            stayedOpen = dialog.isVisible();
            if (cancelAfter && stayedOpen)
                QTimer::singleShot(100, &dialog, [this] { dialog.BitBtn2->click(); });
        });
    }
};

}  // namespace

TEST(EndToEndReports, WindowDetailAndSummary)
{
    TestHome home;
    texts::ResetToDefaults();
    SimulatedRegister reg({"--baud", "9600,19200", "--lines", writeLines(home, 12)});
    ReportShell shell(reg.pty());
    shell.answerDialog("abc", false, "1", "5");
    shell.form->btn1->click();
    EXPECT_EQ(readTestFile(Settings().ReportDir + "abc_1_5.txt"), detailFile(12));
    EXPECT_EQ(shell.form->Grid().RowCount(), 13);
    EXPECT_EQ(shell.form->Grid().Row(1), "LINE 10");
    ASSERT_EQ(shell.dm.fmRpt.Count(), 1);
    EXPECT_FALSE(shell.progress.isVisible());
    EXPECT_TRUE(shell.main.isEnabled());
    EXPECT_EQ(shell.main.Bus().RetryInterval, 2500);
    EXPECT_TRUE(shell.seen.contains("FM Report..."));

    shell.answerDialog("abc", true, "010196", "311295");
    shell.form->Button1->click();
    EXPECT_EQ(readTestFile(Settings().ReportDir + "abc_010196_311295.txt"), summaryFile(12, "DATE 10196-311295"));
    EXPECT_EQ(shell.dm.fmRpt.Count(), 2);
    EXPECT_EQ(shell.main.Bus().RetryInterval, 50000);
    EXPECT_EQ(shell.form->Grid().CurrentRow(), shell.form->Grid().RowCount() - 1);

    // The same name again: the overwrite question; Cancel keeps the dialog open, and no
    // download runs once the dialog is then cancelled.
    shell.boxes.answers = {QMessageBox::Cancel};
    const qsizetype statuses = shell.seen.size();
    const QDateTime stored = shell.dm.fmRpt.Entry(0).cDateTime;
    shell.answerDialog("abc", false, "1", "5", true);
    shell.form->btn1->click();
    EXPECT_TRUE(shell.boxes.texts.contains("File exists, replace it or not?"));
    EXPECT_TRUE(shell.stayedOpen);
    EXPECT_EQ(shell.seen.size(), statuses);
    ASSERT_EQ(shell.dm.fmRpt.Count(), 2);
    EXPECT_EQ(shell.dm.fmRpt.Entry(0).cDateTime, stored);
    // ... and OK replaces the file and its catalogue entry.
    shell.boxes.answers = {QMessageBox::Ok, QMessageBox::Cancel};
    shell.answerDialog("ABC", false, "1", "5");
    shell.form->btn1->click();
    ASSERT_EQ(shell.dm.fmRpt.Count(), 2);
    EXPECT_EQ(shell.dm.fmRpt.Entry(1).Caption, "ABC_1_5.txt");
}

TEST(EndToEndReports, WindowRefusesBadNamesAndCancelDuringPaging)
{
    TestHome home;
    texts::ResetToDefaults();
    SimulatedRegister reg({"--generate", "3000", "--delay", "30"});
    ReportShell shell(reg.pty());
    shell.answerDialog("  ", false, "1", "5", true);
    shell.form->btn1->click();
    EXPECT_TRUE(shell.boxes.texts.contains("File Name empty"));
    shell.answerDialog("a/b", false, "1", "5", true);
    shell.form->btn1->click();
    ASSERT_FALSE(shell.boxes.texts.isEmpty());
    EXPECT_TRUE(shell.boxes.texts.last().contains("\"/\""));
    shell.answerDialog(QString(250, 'n'), false, "1", "5", true);
    shell.form->btn1->click();
    EXPECT_TRUE(shell.boxes.texts.last().contains("too long")) << shell.boxes.texts.last().toStdString();

    shell.answerDialog("big", false, "1", "5");
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (shell.progress.isVisible() && shell.progress.CurLabel->text().toInt() >= 3)
            shell.progress.CancelBtn->click();
    });
    cancel.start(20);
    shell.form->btn1->click();
    EXPECT_EQ(shell.progress.ProgressState(), kProgressClosed);
    EXPECT_FALSE(shell.main.Bus().isActive());
    EXPECT_FALSE(QFile::exists(Settings().ReportDir + "big_1_5.txt"));
    EXPECT_EQ(shell.form->Grid().RowCount(), 5);
    EXPECT_TRUE(shell.dm.fmRpt.IsEmpty());
}

TEST(EndToEndReports, CatalogueDatesFollowTheRegionalFormatsAndReadBack)
{
    // Today's date in each locale's short format, then its long time without the zone.
    const QMap<QString, QString> regionalDateTime = {
        {"en_US.UTF-8", "^{M}/{d}/{yy} ([1-9]|1[0-2]):[0-5][0-9]:[0-5][0-9][ \\x{202F}]?(AM|PM)$"},
        {"de_DE.UTF-8", "^{dd}\\.{MM}\\.{yy} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]$"},
        {"pl_PL.UTF-8", "^{d}\\.{MM}\\.{yyyy} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]$"},
    };
    for (const char* locale : {"en_US.UTF-8", "de_DE.UTF-8", "pl_PL.UTF-8"}) {
        TestHome home;
        SimulatedRegister reg({"--lines", writeLines(home, 3)});
        ASSERT_FALSE(reg.pty().isEmpty());
        const QString dir = Settings().ProgramDir;
        ASSERT_EQ(runProgram({"--home", dir, "detail", "--z", "1-2", "--name", "a", "--port", reg.pty()}, locale).status, 0);
        ASSERT_EQ(runProgram({"--home", dir, "detail", "--z", "1-2", "--name", "b", "--port", reg.pty()}, locale).status, 0);
        const QDate today = QDate::currentDate();
        const QByteArray list = readTestFile(dir + "data/fmList.txt");
        const QList<QByteArray> lines = list.split('\n');
        ASSERT_GE(lines.size(), 3) << locale;
        // The written text is the locale's own short date and long time.
        auto twoDigits = [](int n) { return QStringLiteral("%1").arg(n % 100, 2, 10, QLatin1Char('0')); };
        QString pattern = regionalDateTime.value(locale);
        pattern.replace("{yyyy}", QString::number(today.year())).replace("{yy}", twoDigits(today.year()));
        pattern.replace("{MM}", twoDigits(today.month())).replace("{M}", QString::number(today.month()));
        pattern.replace("{dd}", twoDigits(today.day())).replace("{d}", QString::number(today.day()));
        const QRegularExpression expected(pattern);
        const QString written = QString::fromLocal8Bit(lines[1].split('\t')[0]);
        if (today == QDate::currentDate()) {  // the day did not turn during the run
            EXPECT_TRUE(expected.match(written).hasMatch()) << locale << ": " << written.toStdString();
        }
        // Written in the locale's short date and long time, and read back by the next run.
        const ProgramRun shown = runProgram({"--home", dir, "catalogue"}, locale);
        EXPECT_EQ(shown.status, 0) << locale << ": " << shown.err.toStdString();
        EXPECT_EQ(shown.out.split('\n', Qt::SkipEmptyParts).size(), 2) << locale;
        EXPECT_EQ(readTestFile(dir + "data/fmList.txt"), list) << locale;
        EXPECT_FALSE(QFile::exists(dir + "data/fmList.txt.bak")) << locale;
    }
}

TEST(EndToEndReports, PagesAnsweredAfterTheWaitStillGiveTheRegistersReport)
{
    // Every page reply lands 100 ms after the 2.5 s wait: each one must be taken for its
    // own page, never a late one for the next.
    TestHome home;
    SimulatedRegister reg({"--lines", writeLines(home, 14), "--late", "2600"});
    ASSERT_FALSE(reg.pty().isEmpty());
    const QString dir = Settings().ProgramDir;
    const ProgramRun r = runProgram({"--home", dir, "detail", "--z", "1-5", "--name", "late", "--port", reg.pty()});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(readTestFile(dir + "Report/late_1_5.txt"), detailFile(14));
    EXPECT_GT(readTestFile(dir + "DEBUG.LOG").count("Retry:1"), 0);
}

TEST(EndToEndReports, PortVanishingDuringADownloadEndsItAsAFailure)
{
    TestHome home;
    const QString dir = Settings().ProgramDir;
    {
        SimulatedRegister reg({"--generate", "40", "--vanish-at", "page2"});
        const ProgramRun r = runProgram({"--home", dir, "detail", "--z", "1-5", "--name", "gone", "--port", reg.pty()});
        EXPECT_EQ(r.status, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("FM Report...Error")) << r.err.toStdString();
        const QByteArray log = readTestFile(dir + "DEBUG.LOG");
        EXPECT_EQ(log.count("Retry:"), 0);  // no retries on a port that is gone
        EXPECT_EQ(log.count(ibus::kTraceReceive), 5);  // connect, info, status, request, page 1
        EXPECT_FALSE(QFile::exists(dir + "Report/gone_1_5.txt"));
    }
    // The same through the report window: the error is shown, the port closed, nothing stored.
    texts::ResetToDefaults();
    SimulatedRegister reg({"--generate", "40", "--vanish-at", "page1"});
    ReportShell shell(reg.pty());
    ProgressAnswers answers(shell.progress, shell.main.Bus());
    shell.answerDialog("gone", false, "1", "5");
    shell.form->btn1->click();
    EXPECT_FALSE(answers.stuck);
    EXPECT_EQ(shell.seen.filter("...Error").size(), 1);
    EXPECT_EQ(shell.progress.ProgressState(), kProgressClosed);
    EXPECT_FALSE(shell.main.Bus().isActive());
    EXPECT_FALSE(QFile::exists(Settings().ReportDir + "gone_1_5.txt"));
    EXPECT_TRUE(shell.dm.fmRpt.IsEmpty());
    EXPECT_EQ(readTestFile(dir + "DEBUG.LOG").count(ibus::kTraceReceive), 4);
}
