// kill -9 at random moments of a download and of a catalogue save: every file the program
// writes is afterwards either the old one or the new one, whole.

#include "core/settings.h"
#include "reports/catalogue.h"
#include "tests/support/program_run.h"
#include "tests/support/simulated_register.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <random>

namespace {

constexpr int kBaseEntries = 20000;  // a large catalogue makes its save a wide target

// A catalogue of kBaseEntries entries without dates (they read back under any locale).
QByteArray baseCatalogue()
{
    QByteArray out = "cDateTime\tCaption\tFileName\tsType\r\n";
    for (int i = 0; i < kBaseEntries; ++i) {
        const QByteArray name = "base_" + QByteArray::number(i) + ".txt";
        out += '\t' + name + "\t/r/" + name + "\tDetail\r\n";
    }
    return out;
}

// The catalogue must load whole and hold every base entry (and at most `extra` more).
void expectWholeCatalogue(const QString& path, int extra)
{
    const QByteArray content = readTestFile(path);
    ASSERT_TRUE(content.endsWith("\r\n")) << "cut catalogue, " << content.size() << " bytes";
    TCatalogue c;
    ASSERT_NO_THROW(c.LoadCatalogueContent(content, path));
    ASSERT_GE(c.Count(), kBaseEntries);
    ASSERT_LE(c.Count(), kBaseEntries + extra);
    EXPECT_EQ(c.Entry(0).Caption, "base_0.txt");
}

// A program folder whose catalogue holds the base entries.
QString homeWithBaseCatalogue()
{
    const QString home = Settings().ProgramDir;
    EXPECT_TRUE(QDir().mkpath(home + "data"));
    EXPECT_TRUE(writeTestFile(home + "data/fmList.txt", baseCatalogue()));
    return home;
}

// Runs the program and kills it after `delayMs` unless it ended; true when it was killed.
bool runAndKill(const QString& program, const QStringList& args, int delayMs)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return false;
    if (p.waitForFinished(delayMs))
        return false;
    p.kill();  // SIGKILL
    p.waitForFinished(10000);
    return true;
}

}  // namespace

TEST(KillNine, DownloadsKilledAtRandomMomentsLeaveWholeFiles)
{
    TestHome test;
    const QString home = homeWithBaseCatalogue();
    std::mt19937 random(12345);

    // One run to its end gives the report's bytes and the length of a run.
    QByteArray report;
    int runMs = 0;
    {
        SimulatedRegister reg({"--generate", "40"});
        ASSERT_FALSE(reg.pty().isEmpty());
        QElapsedTimer timer;
        timer.start();
        const ProgramRun r = runProgram({"--home", home, "detail", "--z", "1-2", "--name", "keep", "--port", reg.pty()});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        runMs = static_cast<int>(timer.elapsed());
        report = readTestFile(home + "Report/keep_1_2.txt");
        ASSERT_FALSE(report.isEmpty());
    }
    // Until 50 runs were killed (a run may end before its moment comes).
    int killed = 0, runs = 0;
    for (int i = 0; killed < 50 && i < 150; ++i, ++runs) {
        SimulatedRegister reg({"--generate", "40"});
        ASSERT_FALSE(reg.pty().isEmpty());
        const int delay = std::uniform_int_distribution<int>(0, runMs)(random);
        killed += runAndKill(VOBRELFM_PATH, {"--home", home, "detail", "--z", "1-2", "--name", "keep",
                                             "--yes", "--port", reg.pty()}, delay);
        SCOPED_TRACE(i);
        EXPECT_EQ(readTestFile(home + "Report/keep_1_2.txt"), report);
        expectWholeCatalogue(home + "data/fmList.txt", 1);
        const QByteArray log = readTestFile(home + "DEBUG.LOG");
        EXPECT_TRUE(log.isEmpty() || log.endsWith("\r\n")) << "cut trace";
    }
    std::printf("download runs of %d ms, %d of %d killed\n", runMs, killed, runs);
    EXPECT_EQ(killed, 50);
}

TEST(KillNine, CatalogueSavesKilledAtRandomMomentsLeaveAWholeCatalogue)
{
    TestHome test;
    const QString home = homeWithBaseCatalogue();
    std::mt19937 random(54321);
    int killed = 0, runs = 0;
    for (int i = 0; killed < 50 && i < 150; ++i, ++runs) {
        const int delay = std::uniform_int_distribution<int>(10, 250)(random);
        killed += runAndKill(CATALOGUE_SAVER_PATH, {home, "1000000"}, delay);
        SCOPED_TRACE(i);
        expectWholeCatalogue(home + "data/fmList.txt", 7);
    }
    std::printf("%d of %d saver runs killed\n", killed, runs);
    EXPECT_EQ(killed, 50);
}
