// The one whole-file writer and reader: failures at every step keep the old file whole
// and leave no temporary behind; reading takes regular files only, never blocking.

#include "core/base/file_lock.h"
#include "core/ini_file.h"
#include "core/safe_file.h"
#include "core/base/whole_file.h"
#include "tests/support/fifo_unblocker.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace {

std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QStringList dirEntries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Failing steps: a disk that fills after 10 bytes, an I/O error at fsync, at close, at rename.
int bytesLeft = 0;
ssize_t fillingWrite(int fd, const void* data, std::size_t size)
{
    if (bytesLeft <= 0) {
        errno = ENOSPC;
        return -1;
    }
    const std::size_t n = std::min<std::size_t>(size, static_cast<std::size_t>(bytesLeft));
    const ssize_t written = ::write(fd, data, n);
    bytesLeft -= static_cast<int>(written);
    return written;
}
int failingFsync(int) { errno = EIO; return -1; }
int failingClose(int fd) { ::close(fd); errno = EIO; return -1; }
int failingRename(const char*, const char*) { errno = EXDEV; return -1; }

}  // namespace

TEST(WholeFile, EveryFailingStepKeepsTheOldFileAndLeavesNoTemporary)
{
    TestHome home;
    const QString target = home.path("keep_1_5.txt");
    const QByteArray old = "old report\r\nline 2\r\n";
    const QByteArray replacement = QByteArray(4096, 'n');
    const wholefile::Steps real = wholefile::CurrentSteps();
    struct Case {
        const char* name;
        wholefile::Steps steps;
        const char* reason;
    } cases[] = {
        {"full disk", {fillingWrite, real.fsync, real.close, real.rename}, "No space left on device"},
        {"fsync", {real.write, failingFsync, real.close, real.rename}, "Input/output error"},
        {"close", {real.write, real.fsync, failingClose, real.rename}, "Input/output error"},
        {"rename", {real.write, real.fsync, real.close, failingRename}, "Invalid cross-device link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeTestFile(target, old));
        bytesLeft = 10;
        wholefile::ScopedSteps faults(c.steps);
        std::string reason;
        EXPECT_FALSE(wholefile::Write(native(target), replacement.toStdString(), &reason));
        EXPECT_EQ(reason, c.reason);
        EXPECT_EQ(readTestFile(target), old);
        EXPECT_EQ(dirEntries(home.path("")), QStringList{"keep_1_5.txt"});
        // The program's texts on top of it.
        EXPECT_THROW(writeFileAtomically(target, replacement), FileError);
        QString why;
        EXPECT_FALSE(writeWholeFile(home.path("new.txt"), replacement, &why));
        EXPECT_EQ(why, QString::fromLatin1(c.reason));
        EXPECT_FALSE(QFileInfo::exists(home.path("new.txt")));
        EXPECT_EQ(readTestFile(target), old);
    }
    // Without faults the same write replaces the file whole.
    ASSERT_TRUE(wholefile::Write(native(target), replacement.toStdString(), nullptr));
    EXPECT_EQ(readTestFile(target), replacement);
    EXPECT_EQ(dirEntries(home.path("")), QStringList{"keep_1_5.txt"});
}

TEST(WholeFile, ReplacingKeepsTheModeAndTheLinkAndRefusesSpecialFiles)
{
    TestHome home;
    const QString target = home.path("SYSTEM.CFG");
    ASSERT_TRUE(writeTestFile(target, "[Comm]\r\n"));
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    writeFileAtomically(target, "[Comm]\r\nPort=1\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A link stays a link; the file it names gets the content.
    const QString link = home.path("link.cfg");
    ASSERT_TRUE(QFile::link(target, link));
    writeFileAtomically(link, "through the link");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readTestFile(target), "through the link");

    const QString fifo = home.path("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    QString reason;
    EXPECT_FALSE(writeWholeFile(fifo, "x", &reason));
    EXPECT_TRUE(reason.endsWith("is a FIFO, not a regular file: it is not replaced")) << reason.toStdString();
    EXPECT_FALSE(writeWholeFile(home.path(""), "x", &reason));  // a directory
    EXPECT_EQ(QFileInfo(fifo).isFile(), false);
    EXPECT_TRUE(QFileInfo(home.path("")).isDir());
}

TEST(WholeFile, ReadsRegularFilesOnlyWithALimitAndNeverBlocks)
{
    TestHome home;
    QByteArray content;
    QString reason;

    const QString fifo = home.path("fmList.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    {
        FifoUnblocker guard(QFile::encodeName(fifo));
        EXPECT_FALSE(readWholeFile(fifo, &content, &reason));
    }
    EXPECT_EQ(reason, "not a regular file");
    EXPECT_FALSE(readWholeFile("/dev/zero", &content, &reason));
    EXPECT_EQ(reason, "not a regular file");
    EXPECT_FALSE(readWholeFile(home.path(""), &content, &reason));
    EXPECT_FALSE(readWholeFile(home.path("missing"), &content, &reason));
    EXPECT_EQ(reason, "No such file or directory");

    // Larger than 64 MiB: refused from its size, without reading it.
    const QString big = home.path("big");
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(f.resize(qint64(wholefile::kReadLimit) + 1));
    f.close();
    EXPECT_FALSE(readWholeFile(big, &content, &reason));
    EXPECT_EQ(reason, "larger than 64 MiB");

    // The limit itself is still read.
    ASSERT_TRUE(writeTestFile(home.path("small"), QByteArray(100, 's')));
    std::string bytes, why;
    EXPECT_TRUE(wholefile::Read(native(home.path("small")), &bytes, &why, 100));
    EXPECT_EQ(bytes, std::string(100, 's'));
    EXPECT_FALSE(wholefile::Read(native(home.path("small")), &bytes, &why, 99));
    EXPECT_EQ(why, "larger than 99 bytes");
}

TEST(IniProfile, SpecialFilesReadAsMissing)
{
    TestHome home;
    const QString cfg = home.path("SYSTEM.CFG");
    ASSERT_EQ(::mkfifo(QFile::encodeName(cfg).constData(), 0644), 0);
    {
        FifoUnblocker guard(QFile::encodeName(cfg));
        EXPECT_EQ(ini::readInteger(cfg, "Comm", "Port", 7), 7);
        EXPECT_TRUE(ini::Profile::load(cfg).keys("Comm").isEmpty());
    }
    ASSERT_TRUE(QFile::remove(cfg));
    ASSERT_TRUE(QFile::link("/dev/zero", cfg));
    EXPECT_EQ(ini::readString(cfg, "Comm", "Port", "dflt"), "dflt");
}

TEST(FileLock, HeldUntilItsHolderGoes)
{
    TestHome home;
    const std::string path = native(home.path("fmList.lock"));
    const int other = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(other, 0);
    {
        TFileLock lock(path);
        ASSERT_TRUE(lock.Locked());
        EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);  // another holder must wait
        EXPECT_EQ(errno, EWOULDBLOCK);
    }
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
    TFileLock inADirectory(native(home.path("no/such/dir/fmList.lock")));
    EXPECT_FALSE(inADirectory.Locked());
    EXPECT_EQ(inADirectory.Reason(), "No such file or directory");
}
