// The archive from the download to the disc, with the command line against the register
// simulator and the emulated recorder: checksums recorded at each download, `check` finding
// reports changed since, burns that add a checksum list to their session and record where
// each report went, and the audit of a disc finding exactly the file that changed.

#include "core/settings.h"
#include "tests/support/program_run.h"
#include "tests/support/simulated_register.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct ArchiveHome {
    TestHome test;
    QString home = Settings().ProgramDir;
    SimulatedRegister reg {QStringList {}};  // its fiscal memory: each range its own report

    explicit ArchiveHome(const QByteArray& burnSettings = QByteArray())
    {
        writeTestFile(Settings().SettingsFile, "[Burn]\r\nVirtualDrive=disc.img\r\n" + burnSettings);
    }
    ProgramRun run(QStringList args)
    {
        args.prepend(home);
        args.prepend("--home");
        return runProgram(args);
    }
    ProgramRun download(const QString& name, const QString& range)
    {
        return run({"detail", "--z", range, "--name", name, "--port", reg.pty()});
    }
    QString report(const QString& name) const { return Settings().ReportDir + name; }
};

// sha256sum's lines for the files, run in their folder.
QByteArray sha256sumOf(const QString& dir, const QStringList& names)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start("sha256sum", names);
    p.waitForFinished(30000);
    return p.readAllStandardOutput();
}

// The audit's table rows as "name session" -> state.
QMap<QString, QString> auditRows(const QString& out)
{
    QMap<QString, QString> rows;
    for (const QString& line : out.split('\n')) {
        const QRegularExpressionMatch m =
            QRegularExpression(R"(^(\S+)\s+(\d+)\s+(-|\d+)\s+(same|differs|not in the list|no download record|missing)\b)")
                .match(line);
        if (m.hasMatch())
            rows.insert(m.captured(1) + ' ' + m.captured(2), m.captured(4));
    }
    return rows;
}

}  // namespace

TEST(EndToEndArchive, DownloadsRecordTheirChecksumsAndCheckFindsChangedAndMissingReports)
{
    ArchiveHome h;
    ASSERT_FALSE(h.reg.pty().isEmpty());
    ASSERT_EQ(h.download("a", "1-5").status, 0);
    ASSERT_EQ(h.download("b", "6-9").status, 0);
    EXPECT_EQ(readTestFile(h.home + "data/fmList.sha256"),
              "# vobrelfm report checksums, version 1\n" + sha256sumOf(Settings().ReportDir, {"a_1_5.txt", "b_6_9.txt"}));
    ProgramRun r = h.run({"check"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "2 reports checked: 2 unchanged, 0 changed, 0 missing\n");

    // An edit of one byte after the download, and a report deleted.
    QByteArray b = readTestFile(h.report("b_6_9.txt"));
    b[5] = b[5] == 'x' ? 'y' : 'x';
    ASSERT_TRUE(writeTestFile(h.report("b_6_9.txt"), b));
    ASSERT_TRUE(QFile::remove(h.report("a_1_5.txt")));
    r = h.run({"check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.contains("changed\tb_6_9.txt\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression("missing\ta_1_5.txt\t.*No such file")));
    EXPECT_TRUE(r.out.endsWith("2 reports checked: 0 unchanged, 1 changed, 1 missing\n")) << r.out.toStdString();

    // A new download of the name takes the report as it is now.
    ASSERT_EQ(h.run({"detail", "--z", "6-9", "--name", "b", "--port", h.reg.pty(), "--yes"}).status, 0);
    r = h.run({"check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.out.contains("b_6_9.txt")) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("2 reports checked: 1 unchanged, 0 changed, 1 missing\n")) << r.out.toStdString();
}

TEST(EndToEndArchive, BadChecksumFilesNeverCostAReportOrTheCatalogue)
{
    struct Case {
        const char* what;
        int download;  // exit status of the download
        int check;     // of check afterwards
    };
    const Case cases[] = {
        {"damaged", 0, 0},
        {"newer", 3, 3},
        {"fifo", 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ArchiveHome h;
        ASSERT_FALSE(h.reg.pty().isEmpty());
        ASSERT_TRUE(QDir().mkpath(h.home + "data"));
        const QString sums = h.home + "data/fmList.sha256";
        QByteArray before;
        if (!qstrcmp(c.what, "fifo")) {
            ASSERT_EQ(::mkfifo(QFile::encodeName(sums).constData(), 0600), 0);
        } else {
            before = !qstrcmp(c.what, "newer") ? "# vobrelfm report checksums, version 9\nwhatever comes\n"
                                               : "# vobrelfm report checksums, version 1\nnot a line\n";
            ASSERT_TRUE(writeTestFile(sums, before));
        }
        const ProgramRun r = h.download("a", "1-5");
        EXPECT_EQ(r.status, c.download) << r.err.toStdString();
        EXPECT_TRUE(QFileInfo(h.report("a_1_5.txt")).isFile());
        const ProgramRun listing = h.run({"catalogue"});
        EXPECT_EQ(listing.status, 0);
        EXPECT_TRUE(listing.out.contains("a_1_5.txt")) << listing.out.toStdString();
        if (!qstrcmp(c.what, "damaged")) {
            EXPECT_TRUE(r.err.contains("line 2 is no checksum line")) << r.err.toStdString();
            EXPECT_EQ(readTestFile(sums + ".bak"), before);
        } else if (!qstrcmp(c.what, "newer")) {
            EXPECT_TRUE(r.err.contains("newer version")) << r.err.toStdString();
            EXPECT_EQ(readTestFile(sums), before);
        } else {
            EXPECT_TRUE(r.err.contains("not a regular file")) << r.err.toStdString();
        }
        EXPECT_EQ(h.run({"check"}).status, c.check);
    }
}

TEST(EndToEndArchive, AnAuditFindsExactlyTheFileChangedOnTheDisc)
{
    ArchiveHome h;
    ASSERT_FALSE(h.reg.pty().isEmpty());
    for (const auto& [name, range] : {std::pair {"a", "1-5"}, {"b", "6-9"}, {"c", "10-12"}})
        ASSERT_EQ(h.download(name, range).status, 0);
    ProgramRun r = h.run({"burn", "--verify", h.report("a_1_5.txt")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = h.run({"burn", "--verify", h.report("b_6_9.txt"), h.report("c_10_12.txt")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();

    r = h.run({"audit"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(auditRows(r.out), (QMap<QString, QString>{{"a_1_5.txt 1", "same"}, {"b_6_9.txt 2", "same"},
                                                        {"c_10_12.txt 2", "same"}}))
        << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("reading: 100%")) << r.err.toStdString();

    // One byte of b changed inside the disc image.
    const QString image = h.home + "disc.img";
    QByteArray disc = readTestFile(image);
    const QByteArray b = readTestFile(h.report("b_6_9.txt"));
    const qsizetype at = disc.indexOf(b);
    ASSERT_GT(at, 0);
    ASSERT_EQ(disc.indexOf(b, at + 1), -1);
    disc[at + b.size() / 2] = static_cast<char>(disc[at + b.size() / 2] ^ 0x01);
    ASSERT_TRUE(writeTestFile(image, disc));
    r = h.run({"audit"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(auditRows(r.out), (QMap<QString, QString>{{"a_1_5.txt 1", "same"}, {"b_6_9.txt 2", "differs"},
                                                        {"c_10_12.txt 2", "same"}}))
        << r.out.toStdString();
}

TEST(EndToEndArchive, BurntReportsAreArchivedAndASecondBurnOfTheSameNeedsAgain)
{
    ArchiveHome h;
    ASSERT_FALSE(h.reg.pty().isEmpty());
    ASSERT_EQ(h.download("a", "1-5").status, 0);
    ASSERT_EQ(h.download("zażółć", "6-9").status, 0);
    ProgramRun r = h.run({"catalogue", "--unarchived"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.count('\n'), 2) << r.out.toStdString();

    ASSERT_EQ(h.run({"burn", h.report("zażółć_6_9.txt")}).status, 0);
    r = h.run({"catalogue", "--unarchived"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains("a_1_5.txt")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("zażółć")) << r.out.toStdString();
    const QByteArray record = readTestFile(h.home + "data/fmArchive.txt");
    EXPECT_TRUE(record.startsWith("# vobrelfm archive record, version 1\n")) << record.toStdString();
    EXPECT_TRUE(record.contains("\t1\t" + sha256sumOf(Settings().ReportDir, {"zażółć_6_9.txt"}).left(64) +
                                "\tzażółć_6_9.txt\n"))
        << record.toStdString();

    // The disc holds it unchanged: a second burn is refused unless asked for again.
    const QByteArray image = readTestFile(h.home + "disc.img");
    r = h.run({"burn", h.report("zażółć_6_9.txt"), h.report("a_1_5.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Already on the disc unchanged: zażółć_6_9.txt; give --again")) << r.err.toStdString();
    EXPECT_EQ(readTestFile(h.home + "disc.img"), image);
    r = h.run({"burn", "--again", h.report("zażółć_6_9.txt"), h.report("a_1_5.txt")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    r = h.run({"catalogue", "--unarchived"});
    EXPECT_EQ(r.out, "") << r.out.toStdString();
}

TEST(EndToEndArchive, WithChecksumsOffTheSessionIsAsBeforeAndTheAuditStillComparesDownloads)
{
    ArchiveHome h("Checksums=0\r\n");
    ASSERT_FALSE(h.reg.pty().isEmpty());
    ASSERT_EQ(h.download("a", "1-5").status, 0);
    ASSERT_EQ(h.download("b", "6-9").status, 0);
    ProgramRun r = h.run({"burn", "--verify", h.report("a_1_5.txt"), h.report("b_6_9.txt")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QString("verified 2 files, %1 bytes\n")
                         .arg(QFileInfo(h.report("a_1_5.txt")).size() + QFileInfo(h.report("b_6_9.txt")).size()));
    const QByteArray image = readTestFile(h.home + "disc.img");
    EXPECT_EQ(image.indexOf("SHA256SUMS"), -1);
    EXPECT_EQ(image.indexOf(QByteArray("S\0H\0A\0002\0005\0006", 12)), -1);
    // The volume dates stay the blank ones of the burn window.
    EXPECT_EQ(image.mid(16 * 2048 + 813, 16), "1899123000000000");

    // Report b edited after the download, then burnt again: the disc's copy differs from
    // the download, which the audit finds without any checksum list on the disc.
    QByteArray b = readTestFile(h.report("b_6_9.txt"));
    b[3] = b[3] == 'x' ? 'y' : 'x';
    ASSERT_TRUE(writeTestFile(h.report("b_6_9.txt"), b));
    ASSERT_EQ(h.run({"burn", h.report("b_6_9.txt")}).status, 0);
    r = h.run({"audit"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(auditRows(r.out), (QMap<QString, QString>{{"a_1_5.txt 1", "not in the list"},
                                                        {"b_6_9.txt 1", "not in the list"},
                                                        {"b_6_9.txt 2", "differs"}}))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("session 1 has no checksum list")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("session 2 has no checksum list")) << r.out.toStdString();
}

TEST(EndToEndArchive, TwoDownloadsAtOnceBothRecordTheirChecksums)
{
    ArchiveHome h;
    SimulatedRegister second {QStringList {}};
    ASSERT_FALSE(h.reg.pty().isEmpty());
    ASSERT_FALSE(second.pty().isEmpty());
    QProcess a, b;
    a.start(VOBRELFM_PATH, {"--home", h.home, "detail", "--z", "1-5", "--name", "a", "--port", h.reg.pty()});
    b.start(VOBRELFM_PATH, {"--home", h.home, "detail", "--z", "6-9", "--name", "b", "--port", second.pty()});
    ASSERT_TRUE(a.waitForFinished(60000));
    ASSERT_TRUE(b.waitForFinished(60000));
    ASSERT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
    ASSERT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
    const QByteArray sums = readTestFile(h.home + "data/fmList.sha256");
    EXPECT_TRUE(sums.startsWith("# vobrelfm report checksums, version 1\n")) << sums.toStdString();
    EXPECT_EQ(sums.count('\n'), 3) << sums.toStdString();
    for (const QByteArray& line : sha256sumOf(Settings().ReportDir, {"a_1_5.txt", "b_6_9.txt"}).split('\n'))
        EXPECT_TRUE(sums.contains(line)) << line.toStdString();
}

TEST(EndToEndArchive, AUserFileNamedLikeTheChecksumListIsNeverDroppedNorTakenForTheList)
{
    ArchiveHome h;
    ASSERT_FALSE(h.reg.pty().isEmpty());
    ASSERT_EQ(h.download("a", "1-5").status, 0);
    ASSERT_EQ(h.download("b", "6-9").status, 0);
    ASSERT_EQ(h.run({"burn", h.report("a_1_5.txt")}).status, 0);
    const QString own = h.home + "own/";
    ASSERT_TRUE(QDir().mkpath(own));
    ASSERT_TRUE(writeTestFile(own + "SHA256SUMS", "the user's own notes\n"));
    const QString image = h.home + "disc.img";
    const QByteArray before = readTestFile(image);

    // Into the root beside the session's list: refused before anything is written.
    ProgramRun r = h.run({"burn", own + "SHA256SUMS", h.report("b_6_9.txt")});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("A FILE NAMED SHA256SUMS CANNOT GO INTO THE ROOT OF A SESSION WITH A CHECKSUM LIST OF "
                               "THAT NAME: " + own + "SHA256SUMS"))
        << r.err.toStdString();
    EXPECT_EQ(readTestFile(image), before);

    // In a folder of its own it is a file like any other, listed and verified.
    r = h.run({"burn", "--verify", own});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "verified 1 files, 21 bytes\n");
    r = h.run({"audit"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(auditRows(r.out), (QMap<QString, QString>{{"a_1_5.txt 1", "same"},
                                                        {"own/SHA256SUMS. 2", "no download record"}}))
        << r.out.toStdString();

    // Without the lists it goes into the root; the audit checks it as a file and takes
    // no list from it, and the sessions stay without one.
    ASSERT_TRUE(writeTestFile(Settings().SettingsFile, "[Burn]\r\nVirtualDrive=disc.img\r\nChecksums=0\r\n"));
    ASSERT_TRUE(writeTestFile(own + "SHA256SUMS",
                              "0000000000000000000000000000000000000000000000000000000000000000  a_1_5.txt\n"));
    r = h.run({"burn", "--verify", own + "SHA256SUMS"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "verified 1 files, 76 bytes\n");
    r = h.run({"audit"});
    EXPECT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(auditRows(r.out), (QMap<QString, QString>{{"a_1_5.txt 1", "same"},
                                                        {"own/SHA256SUMS. 2", "no download record"},
                                                        {"SHA256SUMS. 3", "not in the list"}}))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("session 3 has no checksum list")) << r.out.toStdString();

    // With the lists on again, a new session would hide that file behind its list:
    // refused, nothing written; the file stays in the disc's newest tree.
    ASSERT_TRUE(writeTestFile(Settings().SettingsFile, "[Burn]\r\nVirtualDrive=disc.img\r\n"));
    const QByteArray third = readTestFile(image);
    r = h.run({"burn", h.report("b_6_9.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("THE DISC'S LAST SESSION HOLDS A FILE SHA256SUMS IN ITS ROOT THAT IS NO CHECKSUM LIST"))
        << r.err.toStdString();
    EXPECT_EQ(readTestFile(image), third);
}
