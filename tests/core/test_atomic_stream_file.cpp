#include "core/base/atomic_stream_file.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The names in the test folder, hidden ones included (a temporary file left behind shows here).
QStringList entries(const TestHome& home)
{
    return QDir(home.path("")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

bool writeWhole(const std::string& path, const std::string& content, std::string* error)
{
    TAtomicStreamFile out;
    return out.Open(path, error) && out.Write(content.data(), content.size()) && out.Commit(error);
}

}  // namespace

TEST(AtomicStreamFile, ReplacesARegularFileOrMakesANewOneKeepingTheMode)
{
    TestHome home;
    const std::string path = home.path("image.iso").toStdString();
    std::string error;
    ASSERT_TRUE(writeWhole(path, "first", &error)) << error;
    EXPECT_EQ(readTestFile(home.path("image.iso")), "first");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    {
        TAtomicStreamFile out;
        ASSERT_TRUE(out.Open(path, &error));
        for (int i = 0; i < 1000; ++i)
            ASSERT_TRUE(out.Write("0123456789", 10));
        // Until the commit the old file is what a reader sees.
        EXPECT_EQ(readTestFile(home.path("image.iso")), "first");
        ASSERT_TRUE(out.Commit(&error)) << error;
    }
    EXPECT_EQ(readTestFile(home.path("image.iso")).size(), 10000);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(entries(home), QStringList{"image.iso"});
}

TEST(AtomicStreamFile, AWriterThatIsNotCommittedLeavesTheOldFile)
{
    TestHome home;
    const std::string path = home.path("keep.iso").toStdString();
    ASSERT_TRUE(writeTestFile(home.path("keep.iso"), "old"));
    {
        TAtomicStreamFile out;
        std::string error;
        ASSERT_TRUE(out.Open(path, &error));
        ASSERT_TRUE(out.Write("new", 3));
    }
    EXPECT_EQ(readTestFile(home.path("keep.iso")), "old");
    EXPECT_EQ(entries(home), QStringList{"keep.iso"});
}

TEST(AtomicStreamFile, AFullDiskFailsTheCommitAndKeepsTheOldFile)
{
    // /dev/full refuses every write with ENOSPC; a temporary file cannot be made there,
    // so the failing writes are checked through a file system that is full instead.
    TestHome home;
    const QString mount = home.path("small");
    QDir().mkpath(mount);
    if (::geteuid() != 0 || QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mount}) != 0)
        GTEST_SKIP() << "needs root to mount a small tmpfs";
    struct Unmount {
        QString at;
        ~Unmount() { QProcess::execute("umount", {at}); }
    } unmount{mount};
    const std::string path = (mount + "/report.iso").toStdString();
    std::string error;
    ASSERT_TRUE(writeWhole(path, "old image", &error)) << error;
    TAtomicStreamFile out;
    ASSERT_TRUE(out.Open(path, &error)) << error;
    const std::string block(4096, 'x');
    bool wrote = true;
    for (int i = 0; i < 64 && wrote; ++i)
        wrote = out.Write(block.data(), block.size());
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(out.Commit(&error));
    EXPECT_NE(error.find("No space left"), std::string::npos) << error;
    EXPECT_EQ(readTestFile(mount + "/report.iso"), "old image");
    EXPECT_EQ(QDir(mount).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"report.iso"});
}

TEST(AtomicStreamFile, DevicesFifosDirectoriesAndLinksToThemAreRefused)
{
    TestHome home;
    const std::string fifo = home.path("pipe").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(fifo.c_str(), home.path("to-pipe").toStdString().c_str()), 0);
    ASSERT_EQ(::symlink(home.path("nowhere/x").toStdString().c_str(), home.path("dangling").toStdString().c_str()), 0);
    QDir().mkpath(home.path("folder"));
    std::string error;
    for (const char* name : {"pipe", "to-pipe", "folder", "dangling"}) {
        TAtomicStreamFile out;
        EXPECT_FALSE(out.Open(home.path(name).toStdString(), &error)) << name;
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
    EXPECT_NE(ReplaceableFileProblem("/dev/null").find("a device"), std::string::npos);
    EXPECT_NE(ReplaceableFileProblem(fifo).find("a FIFO"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // A link to a regular file is followed: the file is replaced, the link stays.
    ASSERT_TRUE(writeTestFile(home.path("real.iso"), "old"));
    ASSERT_EQ(::symlink("real.iso", home.path("link.iso").toStdString().c_str()), 0);
    ASSERT_TRUE(writeWhole(home.path("link.iso").toStdString(), "new", &error)) << error;
    EXPECT_EQ(readTestFile(home.path("real.iso")), "new");
    ASSERT_EQ(::lstat(home.path("link.iso").toStdString().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}
