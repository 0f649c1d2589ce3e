// The installed program: `cmake --install` into a temporary root (DESTDIR), the installed
// program run with a temporary HOME, the installed desktop files checked by the
// desktop's own validators, the manual page and the completion read back by groff and
// bash, and the Debian package's file list and dependencies.

#include "tests/support/program_run.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The build tree installed under a temporary root with the package's prefix, /usr.
class Installed : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root_.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), root_.path());
        const ProgramRun r = runCommand(QStringLiteral(CMAKE_COMMAND), {"--install", BUILD_DIR, "--prefix", "/usr"}, env);
        ASSERT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
        ASSERT_TRUE(home_.isValid());
    }

    QString usr(const QString& path) const { return root_.path() + QStringLiteral("/usr/") + path; }
    QString program() const { return usr("bin/vobrelfm"); }

    // The environment of a user whose home is the temporary one.
    QProcessEnvironment userEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home_.path());
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }
    QString userFolder() const { return home_.path() + QStringLiteral("/.local/share/vobrelfm/"); }

    QTemporaryDir root_;
    QTemporaryDir home_;
};

}  // namespace

TEST_F(Installed, FilesLandInTheirFolders)
{
    for (const char* path : {"bin/vobrelfm", "libexec/vobrelfm/ecrsim", "share/applications/vobrelfm.desktop",
                             "share/icons/hicolor/scalable/apps/vobrelfm.svg",
                             "share/metainfo/org.vobrelfm.vobrelfm.metainfo.xml", "share/man/man1/vobrelfm.1.gz",
                             "share/bash-completion/completions/vobrelfm"})
        EXPECT_TRUE(QFileInfo::exists(usr(path))) << path;
    EXPECT_EQ(QFileInfo::exists(usr("share/vobrelfm/lang/pl/lang.lng")),
              QFileInfo::exists(QStringLiteral(SOURCE_DIR "/lang/pl/lang.lng")));
    EXPECT_EQ(QDir(usr("bin")).entryList(QDir::Files), QStringList{"vobrelfm"}) << "no tests or tools in bin";
}

TEST_F(Installed, DesktopEntryAndMetainfoPassTheValidators)
{
    const ProgramRun desktop = runCommand("desktop-file-validate", {usr("share/applications/vobrelfm.desktop")});
    EXPECT_EQ(desktop.status, 0) << desktop.out.toStdString() << desktop.err.toStdString();
    EXPECT_EQ(desktop.out + desktop.err, "") << "not even a hint";
    const ProgramRun appstream = runCommand("appstreamcli", {"validate", "--no-net", usr("share/metainfo/org.vobrelfm.vobrelfm.metainfo.xml")});
    EXPECT_EQ(appstream.status, 0) << appstream.out.toStdString() << appstream.err.toStdString();
    // The icon the entry names is the one installed, and it is an SVG drawing.
    const QByteArray icon = readTestFile(usr("share/icons/hicolor/scalable/apps/vobrelfm.svg"));
    EXPECT_TRUE(icon.contains("<svg")) << "an SVG drawing";
    EXPECT_TRUE(readTestFile(usr("share/applications/vobrelfm.desktop")).contains("\nIcon=vobrelfm\n"));
}

TEST_F(Installed, ProgramKeepsItsFilesInTheUsersDataFolder)
{
    // The folder is made at the first start, even by a command that writes nothing.
    const ProgramRun listing = runCommand(program(), {"catalogue"}, userEnvironment());
    EXPECT_EQ(listing.status, 0) << listing.err.toStdString();
    EXPECT_TRUE(QFileInfo(userFolder()).isDir());
    const QStringList download{"--demo", "detail", "--z", "1-2", "--name", "a"};
    const ProgramRun r = runCommand(program(), download, userEnvironment());
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo(userFolder() + "data/fmList.txt").isFile());
    EXPECT_TRUE(QFileInfo(userFolder() + "Report/a_1_2.txt").isFile());
    EXPECT_EQ(QDir(usr("bin")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"vobrelfm"})
        << "nothing written beside the installed program";

    const ProgramRun help = runCommand(program(), {"--help"}, userEnvironment());
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("Program folder in use: " + userFolder())) << help.out.toStdString();

    // XDG_DATA_HOME moves the folder; --home wins over it.
    QProcessEnvironment env = userEnvironment();
    env.insert("XDG_DATA_HOME", home_.path() + "/xdg");
    EXPECT_EQ(runCommand(program(), download, env).status, 0);
    EXPECT_TRUE(QFileInfo(home_.path() + "/xdg/vobrelfm/data/fmList.txt").isFile());
    EXPECT_EQ(runCommand(program(), QStringList{"--home", home_.path() + "/elsewhere"} + download, env).status, 0);
    EXPECT_TRUE(QFileInfo(home_.path() + "/elsewhere/data/fmList.txt").isFile());
}

TEST_F(Installed, UnusableProgramFolderEndsWithAFileError)
{
    ASSERT_TRUE(writeTestFile(home_.path() + "/.local", "a file where a folder should be"));
    const ProgramRun r = runCommand(program(), {"catalogue"}, userEnvironment());
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("Cannot create the program folder " + userFolder())) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Not a directory")) << r.err.toStdString();
    // The window says the same in the standard error box and ends the same way; the help
    // needs no folder.
    EXPECT_EQ(runCommand(program(), {"--help"}, userEnvironment()).status, 0);
}

TEST_F(Installed, DemoFindsTheInstalledSimulator)
{
    const ProgramRun r = runCommand(program(), {"--demo", "test"}, userEnvironment());
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QRegularExpression("demo register on /dev/pts/\\d+"))) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo(userFolder() + "DEBUG.LOG").isFile()) << "the trace goes to the user's folder";
    // A download from the demo register lands in the user's Report folder.
    const ProgramRun detail = runCommand(program(), {"--demo", "detail", "--z", "1-3", "--name", "demo"}, userEnvironment());
    EXPECT_EQ(detail.status, 0) << detail.err.toStdString();
    EXPECT_TRUE(QFileInfo(userFolder() + "Report/demo_1_3.txt").isFile());
}

TEST_F(Installed, LanguageFilesComeFromTheUsersFolder)
{
    // No .LNG file can be put beside an installed program: the user's folder holds it, and
    // lang.lng as always; lang.lng wins where both name a text.
    ASSERT_TRUE(QDir().mkpath(userFolder()));
    ASSERT_TRUE(writeTestFile(userFolder() + "vobrelfm.LNG", "[String]\r\nConnect=Polaczenie\r\nsDisconnect=Koniec\r\n"));
    ASSERT_TRUE(writeTestFile(userFolder() + "lang.lng", "[String]\r\nsDisconnect=Rozlaczenie\r\n"));
    const ProgramRun r = runCommand(program(), {"--demo", "test"}, userEnvironment());
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Polaczenie...")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Rozlaczenie...")) << r.err.toStdString();
}

TEST_F(Installed, ManualPageRendersCleanlyAndListsEveryOption)
{
    const QString page = usr("share/man/man1/vobrelfm.1.gz");
    const ProgramRun check = runCommand("sh", {"-c", "gzip -dc \"$0\" | groff -man -ww -z", page});
    ASSERT_EQ(check.status, 0);
    EXPECT_EQ(check.err, "") << "groff warns";
    const ProgramRun text = runCommand("sh", {"-c", "gzip -dc \"$0\" | groff -man -Tascii -P-cbou", page});
    ASSERT_EQ(text.status, 0);
    const ProgramRun help = runCommand(program(), {"--help"}, userEnvironment());
    QRegularExpressionMatchIterator it = QRegularExpression("(--[a-z-]+)").globalMatch(help.out);
    int options = 0;
    for (; it.hasNext(); ++options) {
        const QString option = it.next().captured(1);
        EXPECT_TRUE(text.out.contains(option)) << option.toStdString();
    }
    EXPECT_GT(options, 15);
    for (const char* command : {"test", "detail|summary", "catalogue", "devices", "mkiso", "discinfo", "print", "burn"})
        EXPECT_TRUE(text.out.contains(QString("\n       ") + command)) << command;
}

TEST_F(Installed, BashCompletionOffersCommandsOptionsAndValues)
{
    auto complete = [this](const QString& line) {
        const QString script = QStringLiteral(
            "source \"$0\"; read -ra COMP_WORDS <<< \"$1\"; [[ $1 == *' ' ]] && COMP_WORDS+=('');"
            "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _vobrelfm; echo \"${COMPREPLY[*]}\"");
        return runCommand("bash", {"-c", script, usr("share/bash-completion/completions/vobrelfm"), line}).out.trimmed();
    };
    EXPECT_EQ(complete("vobrelfm de"), "detail devices");
    EXPECT_EQ(complete("vobrelfm --home /srv/fm cat"), "catalogue");
    EXPECT_EQ(complete("vobrelfm mkiso --"), "--output --volume-id --no-joliet --keep-paths");
    EXPECT_EQ(complete("vobrelfm summary --to-end --r"), "--readonly");
    EXPECT_EQ(complete("vobrelfm test --baud 1"), "19200 115200");
    EXPECT_EQ(complete("vobrelfm test --port COM"), "COM0 COM1 COM2 COM3 COM4");
    EXPECT_EQ(complete("vobrelfm detail --name "), "") << "a report name is the user's own";
    EXPECT_EQ(complete("vobrelfm print --printer "), "") << "no port names for a printer";
    EXPECT_EQ(complete("vobrelfm burn --v"), "--verify");
}

TEST(DebianPackage, HoldsTheProgramAndNamesItsDependencies)
{
    QTemporaryDir out;
    const ProgramRun pack = runCommand(QStringLiteral(CPACK_COMMAND), {"--config", BUILD_DIR "/CPackConfig.cmake", "-B", out.path()});
    ASSERT_EQ(pack.status, 0) << pack.out.toStdString() << pack.err.toStdString();
    const QStringList debs = QDir(out.path()).entryList({"vobrelfm_*.deb"}, QDir::Files);
    ASSERT_EQ(debs.size(), 1);
    const QString deb = out.path() + '/' + debs.first();

    const ProgramRun contents = runCommand("dpkg-deb", {"--contents", deb});
    ASSERT_EQ(contents.status, 0) << contents.err.toStdString();
    QStringList files;
    for (const QString& line : contents.out.split('\n', Qt::SkipEmptyParts))
        if (!line.endsWith('/'))
            files << line.section(' ', -1);
    files.sort();
    EXPECT_EQ(files, (QStringList{"./usr/bin/vobrelfm", "./usr/libexec/vobrelfm/ecrsim",
                                  "./usr/share/applications/vobrelfm.desktop",
                                  "./usr/share/bash-completion/completions/vobrelfm",
                                  "./usr/share/icons/hicolor/scalable/apps/vobrelfm.svg",
                                  "./usr/share/man/man1/vobrelfm.1.gz",
                                  "./usr/share/metainfo/org.vobrelfm.vobrelfm.metainfo.xml"}
                      + (QFileInfo::exists(SOURCE_DIR "/lang/pl/lang.lng")
                             ? QStringList{"./usr/share/vobrelfm/lang/pl/lang.lng"} : QStringList{})));
    EXPECT_TRUE(contents.out.contains(QRegularExpression("-rwxr-xr-x root/root .* ./usr/bin/vobrelfm\n")))
        << contents.out.toStdString();

    const ProgramRun depends = runCommand("dpkg-deb", {"--field", deb, "Depends"});
    for (const char* package : {"libqt6widgets6", "libqt6printsupport6", "libsgutils2", "libstdc++6", "qt6-qpa-plugins",
                                "fonts-liberation"})
        EXPECT_TRUE(depends.out.contains(package)) << package << " missing from: " << depends.out.toStdString();
}
