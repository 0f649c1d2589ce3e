// Device access hints: the remedy for each situation, and the facts read from real
// device-like nodes by an unprivileged user (the test drops to "nobody" when run as root).

#include "core/base/device_access.h"
#include "core/base/posix_io.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <sys/xattr.h>

using devaccess::Facts;
using devaccess::Remedy;

TEST(DeviceAccess, RemedyForEachSituation)
{
    Facts f;
    f.groupMayUse = true;
    f.group = "dialout";
    EXPECT_EQ(devaccess::remedyFor(f), Remedy::JoinGroup);
    f.inGroupDatabase = true;  // joined, but the session predates it
    EXPECT_EQ(devaccess::remedyFor(f), Remedy::LogInAgain);
    f.inSessionGroups = true;  // in the group and still refused: the group cannot help
    EXPECT_EQ(devaccess::remedyFor(f), Remedy::AskAdministrator);

    Facts ownerOnly;
    ownerOnly.group = "uucp";
    EXPECT_EQ(devaccess::remedyFor(ownerOnly), Remedy::AskAdministrator);
    Facts rootGroup;
    rootGroup.groupMayUse = true;
    rootGroup.groupIsRoot = true;
    rootGroup.group = "root";
    EXPECT_EQ(devaccess::remedyFor(rootGroup), Remedy::AskAdministrator);  // never "join root"

    Facts open = f;
    open.accessible = true;
    EXPECT_EQ(devaccess::remedyFor(open), Remedy::None);
    EXPECT_EQ(devaccess::hintText(Remedy::None, "dialout"), "");
    EXPECT_EQ(devaccess::hintText(Remedy::JoinGroup, "uucp"),
              "The device belongs to the group uucp: add the user to it (sudo adduser $USER uucp) and log in again.");
    EXPECT_NE(devaccess::hintText(Remedy::LogInAgain, "cdrom").find("group cdrom"), std::string::npos);
}

namespace {

// An access control list that lets one more user read and write the file.
bool grantUser(const QString& path, uint32_t uid)
{
    struct Entry { uint16_t tag, perm; uint32_t id; };
    constexpr uint32_t kNone = 0xFFFFFFFF;
    const uint32_t version = 2;
    const Entry entries[] = {{0x01, 6, kNone}, {0x02, 6, uid}, {0x04, 6, kNone}, {0x10, 6, kNone}, {0x20, 0, kNone}};
    QByteArray value(reinterpret_cast<const char*>(&version), sizeof version);
    value.append(reinterpret_cast<const char*>(entries), sizeof entries);
    return ::setxattr(QFile::encodeName(path).constData(), "system.posix_acl_access", value.constData(),
                      static_cast<size_t>(value.size()), 0) == 0;
}

QString makeNode(const QTemporaryDir& dir, const char* name, gid_t gid, mode_t mode)
{
    const QString path = dir.path() + '/' + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.close();
    const QByteArray p = QFile::encodeName(path);
    if (::chown(p.constData(), 0, gid) != 0 || ::chmod(p.constData(), mode) != 0)
        return {};
    return path;
}

}  // namespace

TEST(DeviceAccess, HintsForAnUnprivilegedUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make nodes of other groups and to become another user";
    const group* dialout = ::getgrnam("dialout");
    if (!dialout)
        GTEST_SKIP() << "no dialout group on this system";
    const gid_t dialoutGid = dialout->gr_gid;
    constexpr uid_t kNobody = 65534;
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString serial = makeNode(dir, "ttyUSB0", dialoutGid, 0660);
    const QString ownerOnly = makeNode(dir, "ttyS0", 0, 0600);
    const QString viaAcl = makeNode(dir, "sr0", dialoutGid, 0660);
    ASSERT_FALSE(serial.isEmpty());
    ASSERT_FALSE(ownerOnly.isEmpty());
    if (!grantUser(viaAcl, kNobody))
        GTEST_SKIP() << "the file system of " << dir.path().toStdString() << " takes no access control lists";

    // The child becomes "nobody" and sends back the four hints, one a line.
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    posix::UniqueFd readEnd(pipeFds[0]);
    posix::UniqueFd writeEnd(pipeFds[1]);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(2);
        std::string out;
        for (const QString& path : {serial, ownerOnly, viaAcl, dir.path() + "/missing"})
            out += devaccess::accessHint(QFile::encodeName(path).toStdString()) + "\n";
        const bool written = posix::write(writeEnd.get(), out.data(), out.size()) == static_cast<ssize_t>(out.size());
        ::_exit(written ? 0 : 3);
    }
    writeEnd.reset();
    QByteArray out;
    char buffer[1024];
    for (ssize_t n; (n = posix::read(readEnd.get(), buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const QList<QByteArray> hints = out.split('\n');
    ASSERT_EQ(hints.size(), 5);
    EXPECT_EQ(hints[0], "The device belongs to the group dialout: add the user to it (sudo adduser $USER dialout) "
                        "and log in again.");
    EXPECT_EQ(hints[1], "Only the device's owner may use it: ask the administrator for access.");
    EXPECT_EQ(hints[2], "") << "an access control list grants access: no hint";
    EXPECT_EQ(hints[3], "") << "a missing node is reported as missing, not as a permission problem";
}
