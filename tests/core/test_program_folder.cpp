// The program folder: which one a run uses, creating it, and finding the simulator.

#include "core/program_folder.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

void makeExecutable(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(writeTestFile(path, "#!/bin/sh\n"));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
}

}  // namespace

TEST(ProgramFolder, PerUserFolderFollowsTheBaseDirectoryRules)
{
    ScopedEnv home("HOME", "/home/tech");
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/srv/data/");
        EXPECT_EQ(PerUserProgramDir(), "/srv/data/vobrelfm/");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", "relative/data");  // invalid: ignored
        EXPECT_EQ(PerUserProgramDir(), "/home/tech/.local/share/vobrelfm/");
    }
    ScopedEnv xdg("XDG_DATA_HOME", "");
    EXPECT_EQ(PerUserProgramDir(), "/home/tech/.local/share/vobrelfm/");
}

TEST(ProgramFolder, BuildFolderInstalledLayoutAndHomeOption)
{
    ScopedEnv xdg("XDG_DATA_HOME", "/srv/data");
    QTemporaryDir root;
    // A folder the user may write, without the installed layout: a build folder or a
    // portable copy keeps its files beside the executable.
    const QString build = root.path() + "/build";
    QDir().mkpath(build);
    makeExecutable(build + "/ecrsim");
    EXPECT_FALSE(IsInstalledProgram(build));
    EXPECT_EQ(ChooseProgramDir(QString(), build), build + '/');

    // A bin folder with the simulator in its libexec folder: an installed program, even
    // when installed under another root and writable.
    const QString bin = root.path() + "/stage/usr/bin";
    QDir().mkpath(bin);
    EXPECT_EQ(ChooseProgramDir(QString(), bin), bin + '/');
    makeExecutable(root.path() + "/stage/usr/libexec/vobrelfm/ecrsim");
    EXPECT_TRUE(IsInstalledProgram(bin));
    EXPECT_EQ(ChooseProgramDir(QString(), bin), "/srv/data/vobrelfm/");

    // The bin folder the program is configured for, whoever runs it (root may write there).
    EXPECT_TRUE(IsInstalledProgram(QStringLiteral(VOBRELFM_INSTALL_BINDIR)));

    // --home wins over both.
    EXPECT_EQ(ChooseProgramDir("/work/fm", bin), "/work/fm/");
    EXPECT_EQ(ChooseProgramDir("/work/fm/", build), "/work/fm/");
}

TEST(ProgramFolder, SimulatorBesideTheProgramComesFirst)
{
    QTemporaryDir root;
    const QString bin = root.path() + "/usr/bin";
    QDir().mkpath(bin);
    EXPECT_EQ(SimulatorPath(bin), "");
    const QString installed = root.path() + "/usr/libexec/vobrelfm/ecrsim";
    makeExecutable(installed);
    EXPECT_EQ(SimulatorPath(bin), QDir::cleanPath(installed));
    makeExecutable(bin + "/ecrsim");
    EXPECT_EQ(SimulatorPath(bin), bin + "/ecrsim");
    // A file that may not be run is no simulator.
    QFile::setPermissions(bin + "/ecrsim", QFileDevice::ReadOwner);
    QFile::setPermissions(installed, QFileDevice::ReadOwner);
    EXPECT_EQ(SimulatorPath(bin), "");
}

TEST(ProgramFolder, PrepareCreatesTheFolderAndItsParents)
{
    QTemporaryDir root;
    const QString dir = root.path() + "/home/.local/share/vobrelfm/";
    QString error;
    ASSERT_TRUE(PrepareProgramDir(dir, &error)) << error.toStdString();
    EXPECT_TRUE(QFileInfo(dir).isDir());
    EXPECT_TRUE(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty())
        << "the write test leaves nothing behind";
    EXPECT_TRUE(PrepareProgramDir(dir, &error));  // an existing folder is fine
}

TEST(ProgramFolder, FolderThatCannotBeMadeOrWrittenIsNamedWithTheReason)
{
    QTemporaryDir root;
    ASSERT_TRUE(writeTestFile(root.path() + "/share", "a file where a folder should be"));
    const QString dir = root.path() + "/share/vobrelfm/";
    QString error;
    EXPECT_FALSE(PrepareProgramDir(dir, &error));
    EXPECT_EQ(error, QStringLiteral("Cannot create the program folder %1 (%2/share: Not a directory).").arg(dir, root.path()));
    EXPECT_FALSE(QFileInfo(dir).exists());

    // sysfs takes no new files, not even from the superuser.
    EXPECT_FALSE(PrepareProgramDir("/sys/kernel/", &error));
    EXPECT_TRUE(error.startsWith("Cannot write to the program folder /sys/kernel/ (")) << error.toStdString();
}
