// The mkiso command: where the image may go, and that every requested file is either
// stored under a name of its own or named on stderr with a failing exit status.

#include "tests/support/iso_oracle.h"
#include "tests/support/program_run.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

ProgramRun mkiso(const QStringList& args)
{
    return runProgram(QStringList{"mkiso"} + args);
}

QString makeFile(const TestHome& home, const QString& name, const QByteArray& content)
{
    const QString path = home.path(name);
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_TRUE(writeTestFile(path, content));
    return path;
}

mode_t kindOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

}  // namespace

TEST(MkIso, TheImageReplacesOnlyARegularFileOrANewName)
{
    TestHome home;
    const QString src = makeFile(home, "src/one.txt", "one");
    const QString fifo = home.path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(fifo, home.path("to-pipe")));
    QDir().mkpath(home.path("folder"));
    for (const char* target : {"pipe", "to-pipe", "folder"}) {
        const ProgramRun r = mkiso({"--output", home.path(target), src});
        EXPECT_EQ(r.status, 3) << target;
        EXPECT_TRUE(r.err.contains("not a regular file")) << r.err.toStdString();
    }
    EXPECT_EQ(kindOf(fifo), static_cast<mode_t>(S_IFIFO));
    EXPECT_EQ(kindOf(home.path("to-pipe")), static_cast<mode_t>(S_IFLNK));
    EXPECT_EQ(kindOf(home.path("folder")), static_cast<mode_t>(S_IFDIR));
    // A device node (made here, so that a wrong rename could only replace this copy).
    const QString device = home.path("null");
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
        EXPECT_EQ(mkiso({"--output", device, src}).status, 3);
        EXPECT_EQ(kindOf(device), static_cast<mode_t>(S_IFCHR));
    }
    // A regular file is replaced; a link to one writes through it; nothing is left over.
    ASSERT_TRUE(writeTestFile(home.path("old.iso"), "old"));
    ASSERT_TRUE(QFile::link(home.path("old.iso"), home.path("link.iso")));
    EXPECT_EQ(mkiso({"--output", home.path("link.iso"), src}).status, 0);
    EXPECT_EQ(readTestFile(home.path("old.iso")).size(), 300 * 2048);
    EXPECT_EQ(kindOf(home.path("link.iso")), static_cast<mode_t>(S_IFLNK));
    EXPECT_EQ(mkiso({"--output", home.path("new.iso"), src}).status, 0);
    EXPECT_TRUE(QDir(home.path("")).entryList({".*"}, QDir::Files | QDir::Hidden).isEmpty());
}

TEST(MkIso, NamesThatDifferOnlyByCaseStayDistinct)
{
    if (!haveOracles())
        GTEST_SKIP() << "xorriso and isoinfo are needed (apt-get install xorriso genisoimage)";
    TestHome home;
    makeFile(home, "src/Report.txt", "mixed");
    makeFile(home, "src/REPORT.TXT", "upper");
    makeFile(home, "src/report.txt", "lower");
    makeFile(home, "src/Dir/a.txt", "in Dir");
    makeFile(home, "src/DIR/a.txt", "in DIR");
    const QString iso = home.path("case.iso");
    const ProgramRun r = mkiso({"--output", iso, home.path("src")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    // The Joliet tree keeps every name with its own data.
    const QString out = home.path("out");
    const OracleRun x = runOracle("xorriso", {"-osirrox", "on", "-indev", iso, "-extract", "/", out});
    ASSERT_EQ(x.status, 0) << x.out.toStdString();
    EXPECT_EQ(readTestFile(out + "/Report.txt"), "mixed");
    EXPECT_EQ(readTestFile(out + "/REPORT.TXT"), "upper");
    EXPECT_EQ(readTestFile(out + "/report.txt"), "lower");
    EXPECT_EQ(readTestFile(out + "/Dir/a.txt"), "in Dir");
    EXPECT_EQ(readTestFile(out + "/DIR/a.txt"), "in DIR");
    // The ISO 9660 tree gives each its own upper-case name.
    const QString plain = runOracle("isoinfo", {"-f", "-i", iso}).out;
    for (const char* name : {"/REPORT.TXT;1", "/REPORT~1.TXT;1", "/REPORT~2.TXT;1", "/DIR/A.TXT;1", "/DIR~1/A.TXT;1"})
        EXPECT_TRUE(plain.contains(name)) << name << "\n" << plain.toStdString();
}

TEST(MkIso, FilesThatCannotBeStoredAreNamedAndFailTheCommand)
{
    TestHome home;
    makeFile(home, "src/kept.txt", "kept");
    const QString longName = "src/" + QString(130, 'n') + ".txt";
    makeFile(home, longName, "long");
    ASSERT_EQ(::mkfifo(QFile::encodeName(home.path("src/pipe")).constData(), 0600), 0);
    const QString iso = home.path("some.iso");
    ProgramRun r = mkiso({"--output", iso, home.path("src")});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains("NOT A REGULAR FILE): " + home.path("src/pipe"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("FILE NAME TOO LONG")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString(130, 'n'))) << r.err.toStdString();
    // A device named on the command line is not stored as an empty file either.
    r = mkiso({"--output", iso, home.path("src/kept.txt"), "/dev/zero"});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains("/dev/zero")) << r.err.toStdString();
    // Two files for one name: the second is named, not dropped in silence.
    makeFile(home, "other/kept.txt", "other");
    r = mkiso({"--output", iso, home.path("src/kept.txt"), home.path("other/kept.txt")});
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.err.contains("FILE EXISTS, NOT ADDED: " + home.path("other/kept.txt"))) << r.err.toStdString();
}
