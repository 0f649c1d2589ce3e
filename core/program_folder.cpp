#include "core/program_folder.h"

#include "core/base/posix_io.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>  // mkostemp
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// VOBRELFM_INSTALL_BINDIR (the configured bin folder) and VOBRELFM_BIN_TO_LIBEXEC (the
// program's libexec folder relative to it) come from CMake.

namespace {

QString withSlash(const QString& dir)
{
    return dir.endsWith('/') ? dir : dir + '/';
}

QString homeFolder()
{
    const QString home = qEnvironmentVariable("HOME");
    if (home.startsWith('/'))
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return QFile::decodeName(pw->pw_dir);
    return home;
}

QString installedSimulator(const QString& exeDir)
{
    return QDir::cleanPath(exeDir + QStringLiteral("/" VOBRELFM_BIN_TO_LIBEXEC "/ecrsim"));
}

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QString reason(int error)
{
    return QString::fromStdString(posix::errnoMessage(error));
}

}  // namespace

QString PerUserProgramDir()
{
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    const QString base = xdg.startsWith('/') ? xdg : homeFolder() + QStringLiteral("/.local/share");
    return withSlash(QDir::cleanPath(base)) + QStringLiteral("vobrelfm/");
}

bool IsInstalledProgram(const QString& exeDir)
{
    const QString dir = QDir::cleanPath(exeDir);
    if (dir == QDir::cleanPath(QStringLiteral(VOBRELFM_INSTALL_BINDIR)))
        return true;
    if (isExecutableFile(installedSimulator(dir)))
        return true;
    return ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) != 0;
}

QString ChooseProgramDir(const QString& home, const QString& exeDir)
{
    if (!home.isEmpty())
        return withSlash(home);
    return IsInstalledProgram(exeDir) ? PerUserProgramDir() : withSlash(exeDir);
}

bool PrepareProgramDir(const QString& dir, QString* error)
{
    const QByteArray path = QFile::encodeName(QDir::cleanPath(dir));
    // Each missing component is made by itself, so that a failure names the one that failed.
    for (qsizetype end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/')
            continue;
        const QByteArray part = path.left(end);
        struct stat st {};
        int failure = 0;
        if (::stat(part.constData(), &st) == 0)
            failure = S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
        else if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            failure = errno;
        if (failure != 0) {
            *error = QStringLiteral("Cannot create the program folder %1 (%2: %3).")
                         .arg(dir, QFile::decodeName(part), reason(failure));
            return false;
        }
    }
    QByteArray probe = path + "/.write-test-XXXXXX";
    const posix::UniqueFd fd(::mkostemp(probe.data(), O_CLOEXEC));
    if (!fd) {
        *error = QStringLiteral("Cannot write to the program folder %1 (%2).").arg(dir, reason(errno));
        return false;
    }
    ::unlink(probe.constData());
    return true;
}

QString SimulatorPath(const QString& exeDir)
{
    const QString beside = exeDir + QStringLiteral("/ecrsim");
    if (isExecutableFile(beside))
        return beside;
    const QString installed = installedSimulator(exeDir);
    return isExecutableFile(installed) ? installed : QString();
}
