// The command line's files under hostile conditions, against the register simulator: a
// full disk, an unwritable catalogue or trace, two instances on one folder, special files
// in place of the settings and the catalogue, names the code page cannot hold.

#include "core/settings.h"
#include "reports/catalogue.h"
#include "tests/support/program_run.h"
#include "tests/support/simulated_register.h"
#include "tests/support/test_home.h"
#include "tests/support/tmpfs_mount.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QStringList download(const QString& home, const QString& name, const QString& pty, bool yes = false)
{
    QStringList args {"--home", home, "detail", "--z", "1-5", "--name", name, "--port", pty};
    if (yes)
        args << "--yes";
    return args;
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QList<QByteArray> catalogued(const QString& home)
{
    TCatalogue c;
    c.LoadCatalogue(home + "/data/fmList.txt");
    QList<QByteArray> out;
    for (const TCatalogueEntry& e : c.Entries())
        out << e.Caption;
    return out;
}

// Writes into the file until the disk takes no more byte.
void fill(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray chunk(64 * 1024, 'f');
    while (f.write(chunk) == chunk.size()) {
    }
    while (f.write("f", 1) == 1) {
    }
}

}  // namespace

TEST(EndToEndFiles, FullDiskKeepsTheOldReportAndCatalogueAndExits3)
{
    TestHome test;
    const QString home = test.path("home");
    ASSERT_TRUE(QDir().mkpath(home));
    TmpfsMount disk(home, "size=1m");
    if (!disk.mounted())
        GTEST_SKIP() << "a 1 MiB tmpfs cannot be mounted here (needs root)";
    SimulatedRegister reg({"--generate", "40"});
    ASSERT_FALSE(reg.pty().isEmpty());
    ASSERT_EQ(runProgram(download(home, "keep", reg.pty())).status, 0);
    const QByteArray report = readTestFile(home + "/Report/keep_1_5.txt");
    const QByteArray list = readTestFile(home + "/data/fmList.txt");
    const QByteArray sums = readTestFile(home + "/data/fmList.sha256");
    ASSERT_FALSE(report.isEmpty());
    ASSERT_FALSE(sums.isEmpty());
    ASSERT_FALSE(list.isEmpty());

    fill(home + "/filler");
    ProgramRun r = runProgram(download(home, "keep", reg.pty(), true));
    EXPECT_EQ(r.status, 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Cannot create file \"" + home + "/Report/keep_1_5.txt\". No space left on device"))
        << r.err.toStdString();
    EXPECT_EQ(readTestFile(home + "/Report/keep_1_5.txt"), report);
    EXPECT_EQ(readTestFile(home + "/data/fmList.txt"), list);

    r = runProgram(download(home, "new", reg.pty()));
    EXPECT_EQ(r.status, 3) << r.err.toStdString();
    EXPECT_EQ(readTestFile(home + "/data/fmList.txt"), list);
    EXPECT_EQ(filesIn(home + "/Report"), QStringList{"keep_1_5.txt"});  // no new file, no temporary
    EXPECT_EQ(filesIn(home + "/data"), (QStringList{"fmList.lock", "fmList.sha256", "fmList.txt"}));
    EXPECT_EQ(readTestFile(home + "/data/fmList.sha256"), sums);

    // With room again the same download is stored and catalogued.
    ASSERT_TRUE(QFile::remove(home + "/filler"));
    EXPECT_EQ(runProgram(download(home, "new", reg.pty())).status, 0);
    EXPECT_EQ(catalogued(home), (QList<QByteArray>{"keep_1_5.txt", "new_1_5.txt"}));
}

TEST(EndToEndFiles, ExitStatusSaysWhatHappenedToTheReport)
{
    SimulatedRegister reg({"--generate", "12"});
    ASSERT_FALSE(reg.pty().isEmpty());
    {
        // The trace cannot be written: a warning; the report is stored and catalogued.
        TestHome test;
        const QString home = Settings().ProgramDir;
        ASSERT_TRUE(QDir().mkpath(home + "DEBUG.LOG"));
        const ProgramRun r = runProgram(download(home, "trace", reg.pty()));
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("warning: Unable to write to")) << r.err.toStdString();
        EXPECT_EQ(catalogued(home), QList<QByteArray>{"trace_1_5.txt"});
    }
    {
        // The catalogue cannot be written (its folder is read-only): stored, not catalogued.
        TestHome test;
        const QString home = Settings().ProgramDir;
        ASSERT_TRUE(QDir().mkpath(home + "data"));
        TmpfsMount readOnly(home + "data", "size=64k", MS_RDONLY);
        if (!readOnly.mounted())
            GTEST_SKIP() << "a read-only tmpfs cannot be mounted here (needs root)";
        const ProgramRun r = runProgram(download(home, "nolist", reg.pty()));
        EXPECT_EQ(r.status, 3) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("Unable to write to " + home + "data/fmList.txt")) << r.err.toStdString();
        EXPECT_TRUE(QFileInfo(home + "Report/nolist_1_5.txt").isFile());
    }
}

TEST(EndToEndFiles, TwoDownloadsAtOnceIntoOneFolderAreBothCatalogued)
{
    SimulatedRegister first({"--generate", "30"}), second({"--generate", "30"});
    ASSERT_FALSE(first.pty().isEmpty());
    ASSERT_FALSE(second.pty().isEmpty());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        TestHome test;  // a fresh folder: both also race to create data/ and Report/
        const QString home = Settings().ProgramDir;
        QProcess a, b;
        a.start(VOBRELFM_PATH, download(home, "a", first.pty()));
        b.start(VOBRELFM_PATH, download(home, "b", second.pty()));
        ASSERT_TRUE(a.waitForFinished(60000));
        ASSERT_TRUE(b.waitForFinished(60000));
        EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
        EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
        QList<QByteArray> names = catalogued(home);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (QList<QByteArray>{"a_1_5.txt", "b_1_5.txt"}));
    }
}

TEST(EndToEndFiles, TheWindowClosingAfterACommandLineDownloadKeepsItsEntry)
{
    SimulatedRegister reg({"--generate", "12"});
    ASSERT_FALSE(reg.pty().isEmpty());
    TestHome test;
    const QString home = Settings().ProgramDir;
    {
        Tdm window([](const QString& e) { ADD_FAILURE() << e.toStdString(); });  // the window's data module
        window.fmRpt.AddReport(Settings().ReportDir + "window_1_2.txt", "Detail", QDateTime::currentDateTime());
        ASSERT_EQ(runProgram(download(home, "cli", reg.pty())).status, 0);
    }  // the window closes and writes its catalogue
    QList<QByteArray> names = catalogued(home);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (QList<QByteArray>{"cli_1_5.txt", "window_1_2.txt"}));
}

TEST(EndToEndFiles, SpecialFilesAtStartUpAreUnreadableAndNeverBlock)
{
    TestHome test;
    const QString home = Settings().ProgramDir;
    const QByteArray cfg = QFile::encodeName(Settings().SettingsFile);
    ASSERT_EQ(::mkfifo(cfg.constData(), 0644), 0);
    ProgramRun r = runProgram({"--home", home, "catalogue"}, QString(), 20000);
    EXPECT_FALSE(r.timedOut) << "start-up blocked on a FIFO as SYSTEM.CFG";
    EXPECT_EQ(r.status, 0);

    ASSERT_TRUE(QDir().mkpath(home + "data"));
    const QString list = home + "data/fmList.txt";
    ASSERT_EQ(::mkfifo(QFile::encodeName(list).constData(), 0644), 0);
    r = runProgram({"--home", home, "catalogue"}, QString(), 20000);
    EXPECT_FALSE(r.timedOut) << "start-up blocked on a FIFO as fmList.txt";
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("Cannot open file \"" + list + "\".")) << r.err.toStdString();

    // Linked to an endless device: unreadable, without reading it.
    ASSERT_TRUE(QFile::remove(Settings().SettingsFile) && QFile::remove(list));
    ASSERT_TRUE(QFile::link("/dev/zero", Settings().SettingsFile));
    ASSERT_TRUE(QFile::link("/dev/zero", list));
    r = runProgram({"--home", home, "catalogue"}, QString(), 20000);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("Cannot open file \"" + list + "\".")) << r.err.toStdString();
}

TEST(EndToEndFiles, ListingNeverWritesTheCatalogue)
{
    TestHome test;
    const QString home = Settings().ProgramDir;
    EXPECT_EQ(runProgram({"--home", home, "catalogue"}).status, 0);
    EXPECT_FALSE(QFileInfo::exists(home + "data"));
    ASSERT_TRUE(QDir().mkpath(home + "data"));
    const QByteArray content = "Caption\tsType\nx.txt\tDetail\n";  // LF line ends, no dates
    ASSERT_TRUE(writeTestFile(home + "data/fmList.txt", content));
    const ProgramRun r = runProgram({"--home", home, "catalogue"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Detail\tx.txt\t\t\n");
    EXPECT_EQ(readTestFile(home + "data/fmList.txt"), content);
}

TEST(EndToEndFiles, CataloguedNamesAreCodePageTextAndOthersAreRefused)
{
    SimulatedRegister reg({"--generate", "12"});
    ASSERT_FALSE(reg.pty().isEmpty());
    TestHome test;
    const QString home = Settings().ProgramDir;
    const QString utf8 = QStringLiteral("C.UTF-8");
    EXPECT_EQ(runProgram(download(home, QString::fromUtf8("ząb"), reg.pty()), utf8).status, 0);
    EXPECT_EQ(runProgram(download(home, QString::fromUtf8("ZĄB"), reg.pty()), utf8).status, 0);
    EXPECT_EQ(catalogued(home), QList<QByteArray>{"Z\xA5" "B_1_5.txt"});  // one entry, Windows-1250
    EXPECT_TRUE(QFileInfo(home + QString::fromUtf8("Report/ząb_1_5.txt")).isFile());  // the locale's names
    const ProgramRun listed = runProgram({"--home", home, "catalogue"}, utf8);
    EXPECT_TRUE(listed.out.startsWith(QString::fromUtf8("Detail\tZĄB_1_5.txt\t"))) << listed.out.toStdString();

    // Refused before any port is opened (this one does not exist).
    const ProgramRun refused = runProgram(download(home, QString::fromUtf8("жук"), "/dev/no-such-port"), utf8);
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains(QString::fromUtf8("\"ж\""))) << refused.err.toStdString();
}
