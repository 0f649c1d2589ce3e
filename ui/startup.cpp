#include "ui/startup.h"

#include "ui/application.h"
#include "cli/cli.h"
#include "ui/main_window.h"
#include "ui/progress_form.h"
#include "core/settings.h"
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

// Starts the simulated register and returns the path of its pty, or an empty string.
QString startDemoRegister(QProcess& simulator)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/ecrsim");
    simulator.setProgram(program);
    simulator.setArguments({QStringLiteral("--baud"), QStringLiteral("9600,19200,38400,57600,115200"),
                            QStringLiteral("--stop-with-stdin")});
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start();
    if (!simulator.waitForStarted(5000))
        return {};
    while (!simulator.canReadLine() && simulator.waitForReadyRead(5000)) {
    }
    return QString::fromLocal8Bit(simulator.readLine()).trimmed();
}

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
    w.uploadReportDlg = std::make_unique<TUploadReportDlg>(w.mainForm.get());
    w.fmfrm->setRangeDialog(w.uploadReportDlg.get());
    // Last: the burn window loads the drive transport and lists the drives.
    w.burnFrm = std::make_unique<TBurnFrm>(w.mainForm.get());
    TBurnFrm* burn = w.burnFrm.get();
    w.fmfrm->OnBurnFiles = [burn](const QStringList& files) { burn->ExecuteWithFiles(files); };
    w.mainForm->OnCloseQuery = [burn] { return burn->CanCloseProgram(); };
    // The language files reach every window created here, at the main window's first show.
    w.mainForm->OnLocalise = [windows = w.Localised()] { lang::ApplyLanguageFiles(windows); };
}

int RunProgram(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString home = TakeHomeOption(arguments);
    const bool demo = arguments.removeAll(QStringLiteral("--demo")) > 0;
    InitProgramPaths(home.isEmpty() ? executableDir() : QDir(home).absolutePath());
    arguments.removeFirst();
    ReadDisplayCodePage();

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
    QProcess simulator;
    if (demo) {
        const QString pty = startDemoRegister(simulator);
        if (pty.isEmpty()) {
            std::fprintf(stderr, "the demo register (ecrsim) could not be started\n");
            return kExitFailed;
        }
        SetPortOverride(pty);
        std::fprintf(stderr, "demo register on %s\n", pty.toLocal8Bit().constData());
    }
    ProgramWindows windows;
    CreateProgramWindows(windows);
    windows.mainForm->show();
    const int status = app.exec();
    if (simulator.state() != QProcess::NotRunning) {
        simulator.terminate();
        simulator.waitForFinished(2000);
    }
    return status;
}
