// The burn command end to end: the program against a virtual recorder in its home.

#include "burn/emulated/emulated_drive.h"
#include "burn/write/session_verify.h"
#include "tests/support/burner_rig.h"
#include "tests/support/program_run.h"
#include "tests/support/spawned_process.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

struct CliHome {
    TestHome home;
    QString dir = Settings().ProgramDir;
    explicit CliHome(const QString& extra = QString())
    {
        writeTestFile(Settings().SettingsFile, "[Burn]\r\nVirtualDrive=disc.img\r\n" + extra.toLocal8Bit());
    }
    QString file(const QString& name, const QByteArray& content)
    {
        writeTestFile(home.path(name), content);
        return home.path(name);
    }
    ProgramRun run(QStringList args)
    {
        args.prepend(dir);
        args.prepend("--home");
        return runProgram(args);
    }
};

QByteArray pattern(int size, int seed)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = static_cast<char>((i * 31 + seed) & 0xFF);
    return b;
}

}  // namespace

TEST(CliBurn, TwoBurnsWithVerifyMakeTwoSessionsThatKeepEveryFile)
{
    CliHome h;
    const QString a = h.file("a.txt", pattern(5000, 1)), b = h.file("b.txt", pattern(200000, 2));
    const QString c = h.file("c.txt", pattern(7, 3));
    ProgramRun r = h.run({"burn", "--verify", a, b});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "verified 2 files, 205000 bytes\n");
    EXPECT_TRUE(r.err.contains("Burning done - No error")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("burning: 100%")) << r.err.toStdString();  // plain lines: stderr is no terminal
    r = h.run({"burn", "--verify", c});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "verified 1 files, 7 bytes\n");
    r = h.run({"discinfo"});
    EXPECT_TRUE(r.out.contains("last session: 2\n")) << r.out.toStdString();

    if (!haveOracles())
        GTEST_SKIP() << "xorriso and isoinfo are needed";
    const QString image = h.home.path("disc.img");
    const QString second = QString::number(300 + 6750 + 4500 + 150);
    const OracleRun list = runOracle("xorriso", {"-load", "sbsector", second, "-indev", image, "-find", "/"});
    for (const char* name : {"'/a.txt'", "'/b.txt'", "'/c.txt'"})
        EXPECT_TRUE(list.out.contains(name)) << list.out.toStdString();
    const QString out = h.home.path("out");
    ASSERT_EQ(runOracle("xorriso", {"-osirrox", "on", "-load", "sbsector", second, "-indev", image, "-extract", "/",
                                    out})
                  .status,
              0);
    EXPECT_EQ(readTestFile(out + "/a.txt"), pattern(5000, 1));
    EXPECT_EQ(readTestFile(out + "/b.txt"), pattern(200000, 2));
    EXPECT_EQ(readTestFile(out + "/c.txt"), pattern(7, 3));
}

TEST(CliBurn, DirectoriesExitStatusesAndTestWrite)
{
    CliHome h;
    QDir().mkpath(h.home.path("tree/sub"));
    writeTestFile(h.home.path("tree/sub/deep.txt"), "deep");
    writeTestFile(h.home.path("tree/top.txt"), "top");
    ProgramRun r = h.run({"burn", "--test-write", "--verify", h.home.path("tree")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "nothing to verify after a test write\n");
    EXPECT_TRUE(r.err.contains(">>> TEST/DUMMY WRITE"));
    EXPECT_TRUE(h.run({"discinfo"}).out.contains("last session: 0\n"));

    r = h.run({"burn", "--verify", h.home.path("tree")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "verified 2 files, 7 bytes\n");  // tree/top.txt and tree/sub/deep.txt

    EXPECT_EQ(h.run({"burn"}).status, 2);
    EXPECT_EQ(h.run({"burn", "--bogus", "x"}).status, 2);
    EXPECT_EQ(h.run({"burn", "--drive", "7", h.home.path("tree")}).status, 2);
    r = h.run({"burn", h.home.path("missing.txt")});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("missing.txt")) << r.err.toStdString();
}

TEST(CliBurn, FilesThatDoNotFitExitWithTheSpaceMessage)
{
    CliHome h;
    {
        std::string error;
        auto drive = TEmulatedDrive::Open(h.home.path("disc.img").toStdString(), &error);
        ASSERT_TRUE(drive);
        drive->SetCapacity(299);
    }
    const ProgramRun r = h.run({"burn", h.file("a.txt", "x")});
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(r.err.contains("INSUFFICIENT DISC SPACE. REQUIRED 600 KB,AVAILABLE 598 KB")) << r.err.toStdString();
}

TEST(CliBurn, AnUnimportableLastSessionAndAClosedDiscHaveExitStatusesOfTheirOwn)
{
    CliHome h;
    ASSERT_EQ(h.run({"burn", h.file("a.txt", "first")}).status, 0);
    // The session's volume descriptors are destroyed: its files cannot be carried over.
    {
        QFile image(h.home.path("disc.img"));
        ASSERT_TRUE(image.open(QIODevice::ReadWrite));
        ASSERT_TRUE(image.seek(16 * 2048));
        ASSERT_EQ(image.write(QByteArray(2 * 2048, 'x')), 2 * 2048);
    }
    ProgramRun r = h.run({"burn", h.file("b.txt", "second")});
    EXPECT_EQ(r.status, 6) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("THE LAST SESSION OF THE DISC CANNOT BE IMPORTED")) << r.err.toStdString();
    EXPECT_TRUE(h.run({"discinfo"}).out.contains("last session: 1\n"));
    // The session is burnt; only the archive record cannot name a disc whose first session is gone.
    r = h.run({"burn", "--without-last-session", "--finalize", h.file("b.txt", "second")});
    EXPECT_EQ(r.status, 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Burning done - No error")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("The archive record was not written: the disc's first session cannot be read"))
        << r.err.toStdString();
    r = h.run({"burn", h.file("c.txt", "third")});
    EXPECT_EQ(r.status, 5) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("IS CLOSED: NO FURTHER SESSION CAN BE ADDED")) << r.err.toStdString();
}

TEST(CliBurn, WithoutARecorderTheExitStatusIsFiveAndTheMessageSaysWhatToSetUp)
{
    if (QFileInfo::exists("/dev/sr0"))
        GTEST_SKIP() << "this machine has a CD drive";
    CliHome h;
    writeTestFile(Settings().SettingsFile, "");
    const ProgramRun r = h.run({"burn", h.file("a.txt", "x")});
    EXPECT_EQ(r.status, 5) << r.err.toStdString();
    for (const char* what : {"/dev/sr*", "cdrom", "[Burn] VirtualDrive"})
        EXPECT_TRUE(r.err.contains(what)) << what << r.err.toStdString();
}

TEST(CliBurn, InterruptAbortsTheBurnCleanly)
{
    CliHome h("VirtualDriveSpeed=8\r\n");  // 1.2 MB/s: the 8 MB file takes seconds
    const QString big = h.file("big.bin", pattern(8000000, 4));
    SpawnedProcess p(QStringLiteral(VOBRELFM_PATH), {"--home", h.dir, "burn", big}, 2);
    ASSERT_TRUE(p.started());
    ASSERT_EQ(p.waitForMatches(QRegularExpression("(STARTING WRITE PROCESS)"), 1).size(), 1) << p.text().toStdString();
    p.signal(SIGINT);
    EXPECT_EQ(p.waitForMatches(QRegularExpression("(OPERATION ABORTED BY USER)"), 1).size(), 1)
        << p.text().toStdString();
    EXPECT_EQ(p.waitForExit(), 1);
    EXPECT_TRUE(p.text().contains("Burning done - With error")) << p.text().toStdString() << "END";
    EXPECT_TRUE(h.run({"discinfo"}).out.contains("last session: 0\n"));
}

TEST(SessionVerify, FindsTheFirstDifference)
{
    BurnerRig r;
    ASSERT_TRUE(r.start());
    const std::string a = r.makeFile("a.txt", 10000), b = r.makeFile("b.txt", 3000);
    r.burner.SetSessionToImport(-1);
    r.burner.InsertFile("\\", a, false);
    r.burner.InsertFile("\\", b, false);
    r.burner.PrepareImage(false);
    ASSERT_TRUE(r.burner.StartWrite());
    r.burner.WaitForWriteDone();
    ASSERT_EQ(r.lastDone(), "");
    TVerifyResult v = VerifySession(r.burner.Commands(), r.burner.Tables());
    EXPECT_TRUE(v.ok) << v.problem;
    EXPECT_EQ(v.files, 2);
    EXPECT_EQ(v.bytes, 13000);
    QByteArray changed = readTestFile(QString::fromStdString(b));
    changed[2500] = static_cast<char>(changed[2500] ^ 1);
    writeTestFile(QString::fromStdString(b), changed);
    v = VerifySession(r.burner.Commands(), r.burner.Tables());
    EXPECT_FALSE(v.ok);
    EXPECT_EQ(v.problem, b + ": differs from the disc at byte 2500");
}

TEST(CliBurn, AnArgumentTheSystemsEncodingCannotCarryIsRefusedBeforeAnythingIsMade)
{
    CliHome h;
    // The shell puts the byte B3h (no UTF-8) into the argument; the file and folder exist.
    ASSERT_TRUE(QDir().mkpath(h.home.path("src")));
    ASSERT_EQ(runCommand("/bin/sh", {"-c", "printf x > \"$0/src/f$(printf '\\263').txt\"", h.home.path("")}).status, 0);
    struct Case {
        const char* arguments;  // after the program, $0 the test's folder
        int position;           // of the argument refused
    };
    const Case cases[] = {
        {"--home \"$0/home\" burn \"$0/src/f$(printf '\\263').txt\"", 4},
        {"--home \"$0/h$(printf '\\263')me\" devices", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ProgramRun r = runCommand(
            "/bin/sh", {"-c", QStringLiteral("exec \"$1\" ") + c.arguments, h.home.path(""), VOBRELFM_PATH});
        EXPECT_EQ(r.status, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("argument %1 (").arg(c.position))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("is not valid in the system's character encoding")) << r.err.toStdString();
        // No program folder was made, neither the one named nor one in its place.
        EXPECT_EQ(QDir(h.home.path("")).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList {"src"});
    }
}
