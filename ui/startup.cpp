#include "ui/startup.h"

#include "ui/application.h"
#include "cli/cli.h"
#include "ui/main_window.h"
#include "ui/progress_form.h"
#include "core/settings.h"
#include "core/program_folder.h"
#include "ui/comm_dialog.h"
#include "link/ibus_session.h"
#include "link/port_names.h"
#include "core/code_page.h"
#include "reports/catalogue.h"
#include "ui/report_form.h"
#include "ui/upload_report_dialog.h"
#include "ui/language_files.h"
#include "core/language_texts.h"
#include "ui/burn_form.h"
#include "ui/file_dialog_sidebar.h"
#include "ui/window_layout.h"
#include "ui/app_icon.h"

#include <QFrame>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <cstdio>
#include <exception>
#include <memory>

namespace {

constexpr char kFixedTitle[] = "VOBREL FM";

QString executableDir()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

// The simulated register of --demo on a pseudo-terminal, which every port name then
// leads to; it ends with the program.
class DemoRegister {
public:
    ~DemoRegister()
    {
        if (simulator_.state() != QProcess::NotRunning) {
            simulator_.terminate();
            simulator_.waitForFinished(2000);
        }
    }

    // Starts the simulator found from the executable's folder; false with a message on stderr.
    bool Start(const QString& exeDir)
    {
        const QString program = SimulatorPath(exeDir);
        if (program.isEmpty()) {
            std::fprintf(stderr, "the demo register (ecrsim) was not found beside %s or in its libexec folder\n",
                         exeDir.toLocal8Bit().constData());
            return false;
        }
        simulator_.setProgram(program);
        simulator_.setArguments({QStringLiteral("--baud"), QStringLiteral("9600,19200,38400,57600,115200"),
                                 QStringLiteral("--stop-with-stdin")});
        simulator_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        simulator_.start();
        if (simulator_.waitForStarted(5000)) {
            while (!simulator_.canReadLine() && simulator_.waitForReadyRead(5000)) {
            }
        }
        const QString pty = QString::fromLocal8Bit(simulator_.readLine()).trimmed();
        if (pty.isEmpty()) {
            std::fprintf(stderr, "the demo register (%s) could not be started\n", program.toLocal8Bit().constData());
            return false;
        }
        SetPortOverride(pty);
        std::fprintf(stderr, "demo register on %s\n", pty.toLocal8Bit().constData());
        return true;
    }

private:
    QProcess simulator_;
};

}  // namespace

ProgramWindows::ProgramWindows() = default;

ProgramWindows::~ProgramWindows()
{
    burnFrm.reset();  // waits for a burn that is still running
    uploadReportDlg.reset();
    progressForm.reset();
    commDlg.reset();
    mainForm.reset();  // deletes the docked report window with it
    dm.reset();
}

QList<QWidget*> ProgramWindows::Localised() const
{
    return {mainForm.get(), commDlg.get(), progressForm.get(), fmfrm, uploadReportDlg.get(), burnFrm.get()};
}

void CreateProgramWindows(ProgramWindows& w)
{
    w.dm = std::make_unique<Tdm>([](const QString& message) { TApplication::ShowErrorBox(message); });
    w.mainForm = std::make_unique<TMainForm>();
    w.commDlg = std::make_unique<TCommDlg>(w.mainForm.get());
    TVeskIBusComm* bus = &w.mainForm->Bus();
    w.progressForm = std::make_unique<TProgressForm>(w.mainForm.get(), [bus] { bus->AbortExchange(); });
    w.mainForm->setProgressForm(w.progressForm.get());
    TCommDlg* dialog = w.commDlg.get();
    w.mainForm->OnEditCommSettings = [dialog] { EditCommSettings(*dialog); };
    w.fmfrm = new Tfmfrm(*bus, *w.progressForm, w.dm->fmRpt, w.mainForm->pnl1);
    w.mainForm->setReportWindow(w.fmfrm);
    TMainForm* main = w.mainForm.get();
    w.fmfrm->OnStatus = [main](const QString& text) { main->ShowStatusMessage(text); };
    w.fmfrm->OnReportShown = [main](const QString& name) { main->ShowReportName(name); };
    w.uploadReportDlg = std::make_unique<TUploadReportDlg>(w.mainForm.get());
    w.fmfrm->setRangeDialog(w.uploadReportDlg.get());
    // Last: the burn window loads the drive transport and lists the drives.
    w.burnFrm = std::make_unique<TBurnFrm>(w.mainForm.get());
    TBurnFrm* burn = w.burnFrm.get();
    w.fmfrm->OnBurnFiles = [burn](const QStringList& files) { burn->ExecuteWithFiles(files); };
    Tfmfrm* reports = w.fmfrm;
    burn->UnarchivedReports = [reports] {
        reports->RefreshArchived();
        return reports->UnarchivedReportFiles();
    };
    burn->OnArchiveChanged = [reports] { reports->RefreshArchived(); };
    reports->RefreshArchived();
    w.mainForm->OnCloseQuery = [burn] { return burn->CanCloseProgram(); };
    // The language files reach every window created here, at the main window's first show.
    w.mainForm->OnLocalise = [windows = w.Localised()] { lang::ApplyLanguageFiles(windows); };
}

int RunProgram(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
        // Bytes that the system's encoding cannot carry would come back as replacement
        // characters and name another file or folder (a --home folder made elsewhere):
        // such an argument is refused.
        if (i > 0 && arguments.back().toLocal8Bit() != QByteArray(argv[i])) {
            std::fprintf(stderr,
                         "argument %d (%s) is not valid in the system's character encoding: rename the file or "
                         "folder it names, or give the folder that holds it\n",
                         i, arguments.back().toLocal8Bit().constData());
            return kExitUsage;
        }
    }
    const QString home = TakeHomeOption(arguments);
    const bool demo = arguments.removeAll(QStringLiteral("--demo")) > 0;
    const QString exeDir = executableDir();
    InitProgramPaths(ChooseProgramDir(home.isEmpty() ? QString() : QDir(home).absolutePath(), exeDir));
    arguments.removeFirst();
    ReadDisplayCodePage();
    // The folder is made (or checked) before anything is written there; no fall-back to
    // another folder, so that reports never land where the user does not look.
    QString folderError;
    const bool newFolder = home.isEmpty() && IsInstalledProgram(exeDir) && !QFileInfo::exists(Settings().ProgramDir);
    const bool folderReady = IsHelp(arguments) || PrepareProgramDir(Settings().ProgramDir, &folderError);
    // A new user's folder gets the shipped translation of the desktop's language.
    QString seedError;
    if (folderReady && newFolder &&
        !SeedLanguageFile(Settings().ProgramDir, ShippedLanguageFile(exeDir, DesktopLanguage()), &seedError))
        std::fprintf(stderr, "%s\n", seedError.toLocal8Bit().constData());

    if (IsCommand(arguments)) {
        // Printing measures text with fonts: a graphical application object, on the
        // offscreen platform so that the command needs no display.
        std::unique_ptr<QCoreApplication> app;
        if (CommandPaints(arguments)) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            app = std::make_unique<QGuiApplication>(argc, argv);
        } else {
            app = std::make_unique<QCoreApplication>(argc, argv);
        }
        QCoreApplication::setApplicationName(QString::fromLatin1(kFixedTitle));
        if (!folderReady) {
            std::fprintf(stderr, "%s\n", folderError.toLocal8Bit().constData());
            return kExitFileError;
        }
        DemoRegister demoRegister;
        if (demo && !demoRegister.Start(exeDir))
            return kExitFailed;
        // A file error that no command handles (DEBUG.LOG or a catalogue that cannot be
        // written) ends the command with its message instead of aborting the program.
        try {
            lang::ApplyLanguageTextTables();  // progress lines and errors in the files' language
            return RunCommand(arguments);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return kExitFileError;
        }
    }

    TApplication app(argc, argv);
    TApplication::SetTitle(QString::fromLatin1(kFixedTitle));
    KeepWindowsOnScreen();
    FitFileDialogSidebars();
    QApplication::setWindowIcon(ApplicationIcon());
    if (!folderReady) {
        std::fprintf(stderr, "%s\n", folderError.toLocal8Bit().constData());
        TApplication::ShowErrorBox(folderError);
        return kExitFileError;
    }
    DemoRegister demoRegister;
    if (demo && !demoRegister.Start(exeDir))
        return kExitFailed;
    ProgramWindows windows;
    CreateProgramWindows(windows);
    windows.mainForm->setDemoMode(demo);
    windows.mainForm->RestoreWindowState();
    windows.mainForm->show();
    return app.exec();
}
