// Ctrl-C and SIGTERM in the middle of a download from the command line, against the
// register simulator on a pseudo-terminal: the exchange ends as Cancel would end it, the
// line is set back as it was found, nothing is half-written (an existing report stays as
// it was), the exit status names the signal, and the next download on the line works.

#include "core/settings.h"
#include "tests/support/program_run.h"
#include "tests/support/simulated_register.h"
#include "tests/support/spawned_process.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>

namespace {

// The line's settings that a program leaving it must put back.
struct LineState {
    tcflag_t iflag, oflag, cflag, lflag;
    speed_t speed;
    bool operator==(const LineState&) const = default;
};

LineState lineState(int fd)
{
    termios tio {};
    EXPECT_EQ(::tcgetattr(fd, &tio), 0);
    return {tio.c_iflag, tio.c_oflag, tio.c_cflag, tio.c_lflag, ::cfgetospeed(&tio)};
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

}  // namespace

TEST(EndToEndInterrupt, ASignalMidDownloadEndsTheExchangeCleanlyAndKeepsTheOldReport)
{
    struct Case {
        int signal;
        bool existing;  // a report of the name is there already (--yes)
        int status;
        const char* said;
    };
    const Case cases[] = {
        {SIGINT, true, 130, "The download was stopped by Ctrl-C (SIGINT): the port is closed and set back as it was"},
        {SIGTERM, false, 143, "The download was stopped by SIGTERM: the port is closed and set back as it was"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.signal);
        TestHome test;
        const QString home = Settings().ProgramDir;
        // Forty pages, each answered after a while: time enough for the signal mid-way.
        const QString transcript = home + "register.trace";
        SimulatedRegister reg({"--generate", "400", "--delay", "100", "--transcript", transcript});
        ASSERT_FALSE(reg.pty().isEmpty());
        const QString report = Settings().ReportDir + "r_1_5.txt";
        const QByteArray old = "the report downloaded before\r\n";
        if (c.existing) {
            ASSERT_TRUE(QDir().mkpath(Settings().ReportDir));
            ASSERT_TRUE(writeTestFile(report, old));
        }

        // The line as another program left it: cooked, at 4800 bit/s.
        posix::UniqueFd line(::open(QFile::encodeName(reg.pty()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK));
        ASSERT_TRUE(line);
        termios tio {};
        ASSERT_EQ(::tcgetattr(line.get(), &tio), 0);
        tio.c_lflag |= ICANON | ISIG | IEXTEN;
        tio.c_oflag |= OPOST | ONLCR;
        ::cfsetspeed(&tio, B4800);
        ASSERT_EQ(::tcsetattr(line.get(), TCSANOW, &tio), 0);
        const LineState before = lineState(line.get());

        QStringList args {"--home", home, "detail", "--z", "1-5", "--name", "r", "--port", reg.pty()};
        if (c.existing)
            args << "--yes";
        SpawnedProcess download(QStringLiteral(VOBRELFM_PATH), args, 2);
        ASSERT_TRUE(download.started());
        // The second page is being fetched: the download is under way.
        ASSERT_EQ(download.waitForMatches(QRegularExpression("^(Upload:)$", QRegularExpression::MultilineOption), 1)
                      .size(),
                  1)
            << download.text().toStdString();
        download.signal(c.signal);
        download.waitForMatches(QRegularExpression("(Nothing was stored.*)\\n"), 1);
        EXPECT_EQ(download.waitForExit(), c.status);
        EXPECT_TRUE(download.text().contains(c.said)) << download.text().toStdString();
        // The register heard the disconnect request (command 14, parameter 2) before the port closed.
        EXPECT_TRUE(readTestFile(transcript).contains(">>>>>>Receive data<<<<<<<<\r\n03 8E 82 "))
            << readTestFile(transcript).right(400).toStdString();

        EXPECT_EQ(lineState(line.get()), before);
        if (c.existing) {
            EXPECT_EQ(readTestFile(report), old);
            EXPECT_TRUE(download.text().contains("Nothing was stored: " + report + " is as it was"))
                << download.text().toStdString();
        }
        EXPECT_EQ(filesIn(Settings().ReportDir), c.existing ? QStringList {"r_1_5.txt"} : QStringList {});
        EXPECT_FALSE(QFile::exists(home + "data/fmList.sha256"));

        // The line is free again and the register answers the next download.
        args << "--yes";
        const ProgramRun again = runProgram(args);
        EXPECT_EQ(again.status, 0) << again.err.toStdString();
        EXPECT_NE(readTestFile(report), old);
    }
}
