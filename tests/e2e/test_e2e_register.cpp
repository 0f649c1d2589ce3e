// The Test command end to end against the register simulator on a pty: through the
// command line and through the real windows offscreen.

#include "ui/main_window.h"
#include "ui/progress_form.h"
#include "core/safe_file.h"
#include "core/settings.h"
#include "core/texts.h"
#include "link/ibus_session.h"
#include "link/ibus_trace.h"
#include "link/serial_port_interface.h"
#include "tests/e2e/progress_answers.h"
#include "tests/support/message_boxes.h"
#include "tests/support/program_run.h"
#include "tests/support/simulated_register.h"
#include "tests/support/test_home.h"
#include "tests/support/wait_util.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

QStringList logLines(const QString& dir)
{
    QByteArray content;
    readWholeFile(dir + "/DEBUG.LOG", &content);
    return QString::fromLatin1(content).split(QStringLiteral("\r\n"));
}

struct Shell {
    TMainForm main;
    TProgressForm progress{&main, [this] { main.Bus().AbortExchange(); }};
    QStringList seen;  // status texts as they were shown (the caption follows the status)
    Shell()
    {
        main.setProgressForm(&progress);
        QObject::connect(&progress, &QWidget::windowTitleChanged, [this](const QString& t) {
            if (progress.ProgressState() != kProgressClosed)
                seen << t;
        });
    }
};

// Runs `action` once, as soon as the port reports that the session's `frames`-th frame has
// left: the session is then waiting for the answer to that frame, and sends no other.
void whenFrameSent(TVeskIBusComm& bus, int frames, std::function<void()> action)
{
    ISerialPort& port = bus.Port();
    port.OnSendDataEmpty = [&bus, frames, action = std::move(action), sent = port.OnSendDataEmpty,
                            done = false]() mutable {
        sent();
        if (!done && bus.DebugLog.count(ibus::kTraceSend) >= frames) {
            done = true;
            action();
        }
    };
}

// The main window and its progress window, COM2 on a register that never answers.
class SilentRegisterWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        texts::ResetToDefaults();
        ASSERT_FALSE(reg.pty().isEmpty());
        ASSERT_TRUE(writeSystemConfigForDevice(reg.pty(), 2));
        shell = std::make_unique<Shell>();  // reads SYSTEM.CFG
        shell->main.show();
    }

    TestHome home;
    SimulatedRegister reg{{"--silent"}};
    std::unique_ptr<Shell> shell;
};

}  // namespace

TEST(EndToEndTest, CommandLineAgainstRegisterAt38400)
{
    TestHome home;
    SimulatedRegister reg({"--baud", "38400"});
    ASSERT_FALSE(reg.pty().isEmpty());
    const QString dir = Settings().ProgramDir;
    const ProgramRun r = runProgram({"--home", dir, "test", "--port", reg.pty(), "--baud", "57600"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Connect..."));
    EXPECT_TRUE(r.err.contains("Disconnect..."));
    const QStringList log = logLines(dir);
    // Three retries, then the positive reply, the information query and its reply,
    // then the disconnect and its reply.
    const qsizetype retry3 = log.indexOf("Retry:3");
    ASSERT_GE(retry3, 0);
    EXPECT_EQ(log.indexOf("Retry:4"), -1);
    const qsizetype firstReply = log.indexOf(ibus::kTraceReceive);
    EXPECT_GT(firstReply, retry3);
    EXPECT_EQ(log[firstReply + 1], "02 ");
    EXPECT_EQ(log[firstReply + 3], ibus::kTraceSend);
    EXPECT_TRUE(log[firstReply + 4].startsWith("03 8E 90 80 "));
    EXPECT_EQ(log.count(ibus::kTraceReceive), 3);
    EXPECT_EQ(log.count(ibus::kTraceSend), 6);
}

TEST(EndToEndTest, CommandLineAgainstSilentRegister)
{
    TestHome home;
    SimulatedRegister reg({"--silent"});
    ASSERT_FALSE(reg.pty().isEmpty());
    const QString dir = Settings().ProgramDir;
    const ProgramRun r = runProgram({"--home", dir, "test", "--port", reg.pty()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Connect...Error"));
    const QStringList log = logLines(dir);
    for (int n = 1; n <= 9; ++n)
        EXPECT_EQ(log.count(QStringLiteral("Retry:%1").arg(n)), 1) << n;
    EXPECT_EQ(log.count(ibus::kTraceSend), 10);
    EXPECT_EQ(log.count(ibus::kTraceReceive), 0);
}

TEST(EndToEndTest, CommandLineUsageErrors)
{
    TestHome home;
    const QString dir = Settings().ProgramDir;
    ProgramRun r = runProgram({"--home", dir, "test", "--baud", "1200"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains("unsupported speed"));
    EXPECT_EQ(runProgram({"--home", dir, "frobnicate"}).status, 2);
    r = runProgram({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains("test [--port NAME]"));
    r = runProgram({"--home", dir, "test", "--port", "COM0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Error openingCOM0!"));
    // A comment after a value: the value reads as its default, and the command line says so.
    ASSERT_TRUE(writeSystemConfig("[Comm]\r\nPort=0 ; none\r\n"));
    r = runProgram({"--home", dir, "test", "--port", "COM0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("warning: SYSTEM.CFG: [Comm] Port=0 ; none is not a number; the default 2 is used"))
        << r.err.toStdString();
}

TEST(EndToEndTest, WindowTestWithAnsweringRegister)
{
    TestHome home;
    texts::ResetToDefaults();
    SimulatedRegister reg({"--baud", "9600,38400"});
    ASSERT_FALSE(reg.pty().isEmpty());
    ASSERT_TRUE(writeSystemConfigForDevice(reg.pty(), 2));
    Shell shell;
    shell.main.show();
    shell.main.TestItemClick();
    EXPECT_EQ(shell.seen, (QStringList{"Connect...", "Disconnect..."}));
    EXPECT_FALSE(shell.progress.isVisible());
    EXPECT_EQ(shell.progress.ProgressState(), kProgressWorking);
    EXPECT_TRUE(shell.main.isEnabled());
    EXPECT_FALSE(shell.main.Bus().isActive());
    const QStringList log = logLines(Settings().ProgramDir);
    EXPECT_EQ(log.count(ibus::kTraceReceive), 3);
}

TEST_F(SilentRegisterWindow, WindowTestWithSilentRegisterWaitsForOk)
{
    ProgressAnswers answers(shell->progress, shell->main.Bus());
    shell->main.TestItemClick();
    EXPECT_EQ(shell->seen.last(), "Connect...Error");
    EXPECT_EQ(shell->progress.ProgressState(), kProgressClosed);
    EXPECT_FALSE(shell->main.Bus().isActive());
    EXPECT_EQ(logLines(Settings().ProgramDir).count(ibus::kTraceSend), 10);
}

// The window manager's close button on the progress window ends the command as OK does
// when the error is shown, and as Cancel does while the handshake runs: the port closes
// and DEBUG.LOG is written either way.
TEST_F(SilentRegisterWindow, WindowClosedFromTheTitleBarEndsTheCommand)
{
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (shell->progress.ProgressState() == kProgressErrorShown)
            shell->progress.close();
    });
    closer.start(50);
    shell->main.TestItemClick();
    closer.stop();
    EXPECT_EQ(shell->seen.last(), "Connect...Error");
    EXPECT_EQ(shell->progress.ProgressState(), kProgressClosed);
    EXPECT_FALSE(shell->main.Bus().isActive());
    EXPECT_TRUE(shell->main.isEnabled());
    EXPECT_EQ(logLines(Settings().ProgramDir).count(ibus::kTraceSend), 10);

    QFile::remove(Settings().ProgramDir + "DEBUG.LOG");
    whenFrameSent(shell->main.Bus(), 2, [&] { shell->progress.close(); });
    shell->main.TestItemClick();
    EXPECT_EQ(shell->progress.ProgressState(), kProgressClosed);
    EXPECT_FALSE(shell->main.Bus().isActive());
    EXPECT_TRUE(shell->main.isEnabled());
    EXPECT_EQ(logLines(Settings().ProgramDir).count(ibus::kTraceSend), 2);
}

TEST_F(SilentRegisterWindow, WindowCancelDuringHandshake)
{
    whenFrameSent(shell->main.Bus(), 2, [&] { shell->progress.CancelBtn->click(); });
    shell->main.TestItemClick();
    EXPECT_EQ(shell->progress.ProgressState(), kProgressClosed);
    EXPECT_TRUE(shell->main.isEnabled());
    EXPECT_FALSE(shell->main.Bus().isActive());
    EXPECT_EQ(logLines(Settings().ProgramDir).count(ibus::kTraceSend), 2);
}

TEST(EndToEndTest, WindowPortThatDoesNotExist)
{
    TestHome home;
    texts::ResetToDefaults();
    ASSERT_TRUE(writeSystemConfig("[Comm]\r\nPort=0\r\n"));
    Shell shell;
    shell.main.show();
    MessageBoxAnswerer boxes;
    shell.main.TestItemClick();
    ASSERT_EQ(boxes.texts.size(), 1);
    const QString& message = boxes.texts[0];
    EXPECT_TRUE(message.startsWith("Error openingCOM0!\r\nplease select other ports.")) << message.toStdString();
    // Port "None" is named as such, not as a device path.
    EXPECT_TRUE(message.contains("No port is chosen")) << message.toStdString();
    EXPECT_FALSE(message.contains("/dev/")) << message.toStdString();
    EXPECT_TRUE(shell.seen.isEmpty());
    EXPECT_FALSE(shell.progress.isVisible());
}

// The trace is no part of the user's data: the register answered, so the command succeeds
// and the unwritable trace is a warning.
TEST(EndToEndTest, CommandLineWarnsOfAnUnwritableTrace)
{
    TestHome home;
    SimulatedRegister reg({});
    ASSERT_FALSE(reg.pty().isEmpty());
    const QString dir = Settings().ProgramDir;
    QDir().mkpath(dir + "DEBUG.LOG");  // a directory where the trace file should go
    const ProgramRun r = runProgram({"--home", dir, "test", "--port", reg.pty()});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.contains("warning: Unable to write to")) << r.err.toStdString();
}

TEST(EndToEndTest, PortVanishingDuringTestEndsItAsAFailure)
{
    TestHome home;
    texts::ResetToDefaults();
    const QString dir = Settings().ProgramDir;
    {
        // The adapter is pulled while the first handshake frame waits for its answer.
        SimulatedRegister reg({"--vanish-at", "connect"});
        ASSERT_FALSE(reg.pty().isEmpty());
        const ProgramRun r = runProgram({"--home", dir, "test", "--port", reg.pty()});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.contains("Connect...Error")) << r.err.toStdString();
        const QStringList log = logLines(dir);
        EXPECT_EQ(log.count("Retry:1"), 0);  // no further attempts on a port that is gone
        EXPECT_EQ(log.count(ibus::kTraceReceive), 0);
        EXPECT_GE(log.count(ibus::kTraceSend), 1);
    }
    // Through the window: the handshake succeeds, the port goes during the information query.
    SimulatedRegister reg({"--vanish-at", "info"});
    ASSERT_FALSE(reg.pty().isEmpty());
    ASSERT_TRUE(writeSystemConfigForDevice(reg.pty(), 2));
    Shell shell;
    shell.main.show();
    ProgressAnswers answers(shell.progress, shell.main.Bus());
    shell.main.TestItemClick();
    EXPECT_FALSE(answers.stuck);
    EXPECT_EQ(shell.seen.last(), "Connect...Error");
    EXPECT_EQ(shell.progress.ProgressState(), kProgressClosed);
    EXPECT_FALSE(shell.main.Bus().isActive());
    const QStringList log = logLines(dir);
    EXPECT_EQ(log.count(ibus::kTraceReceive), 1);  // the handshake's 02
    EXPECT_EQ(log.count("Retry:1"), 0);
}
