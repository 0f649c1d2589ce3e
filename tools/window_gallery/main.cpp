// window_gallery: shows one of the program's windows in a telling state, for screenshots
// under a real X server (scripts/screenshots.sh) and for checking translated texts by eye.
// It creates the windows exactly as the program does, with --home's files (SYSTEM.CFG,
// the catalogue, language files), shows the main window first, then the chosen window,
// prints "ready" and stays until it is ended.

#include "burn/write/disc_audit.h"
#include "core/code_page.h"
#include "core/settings.h"
#include "core/texts.h"
#include "reports/catalogue.h"
#include "reports/report_grid_model.h"
#include "ui/about_box.h"
#include "ui/app_icon.h"
#include "ui/application.h"
#include "ui/burn_form.h"
#include "ui/comm_dialog.h"
#include "ui/disc_audit_window.h"
#include "ui/main_window.h"
#include "ui/progress_form.h"
#include "ui/report_form.h"
#include "ui/startup.h"
#include "ui/upload_report_dialog.h"
#include "ui/file_dialog_sidebar.h"
#include "ui/window_layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QPrintDialog>
#include <QPrinter>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

constexpr char kUsage[] =
    "usage: window_gallery [--dark] --home DIR WINDOW\n"
    "WINDOW: main, progress, progress-error, progress-readonly, range-z, range-date, comm, about, burn,\n"
    "        burn-cancel, audit, question, open-dialog, print-dialog\n";

void fillSamples(ProgramWindows& w)
{
    if (w.dm->fmRpt.IsEmpty()) {
        const QDateTime when(QDate(2024, 12, 29), QTime(23, 58, 59));
        w.dm->fmRpt.AddReport(Settings().ReportDir + "Rep_1_5.txt", "Detail", when);
        w.dm->fmRpt.AddReport(Settings().ReportDir + "Summary_010124_311224.txt", "Summary", when);
    }
    std::vector<QByteArray> lines = {"", "FISCAL MEMORY REPORT", "Z 1-5"};
    for (int i = 1; i <= 40; ++i)
        lines.push_back("Z" + QByteArray::number(i).rightJustified(4, '0') + "  29.12.24   1234.56");  // 24 characters, one record
    w.fmfrm->Grid().SetAllRows(std::move(lines));
}

// A dark desktop theme: Fusion with dark grounds and light texts, the tool-tip left pale
// as many dark themes keep it.
void useDarkTheme()
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QPalette dark;
    const QColor ground(53, 53, 53), base(35, 35, 35), text(235, 235, 235);
    dark.setColor(QPalette::Window, ground);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, ground);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, ground);
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::BrightText, Qt::red);
    dark.setColor(QPalette::Light, QColor(90, 90, 90));
    dark.setColor(QPalette::Midlight, QColor(70, 70, 70));
    dark.setColor(QPalette::Mid, QColor(40, 40, 40));
    dark.setColor(QPalette::Dark, QColor(25, 25, 25));
    dark.setColor(QPalette::Shadow, Qt::black);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    dark.setColor(QPalette::ToolTipText, Qt::black);
    dark.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(127, 127, 127));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(127, 127, 127));
    QApplication::setPalette(dark);
}

}  // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    if (args.removeAll(QStringLiteral("--dark")) > 0)
        useDarkTheme();
    KeepWindowsOnScreen();
    FitFileDialogSidebars();
    QApplication::setWindowIcon(ApplicationIcon());
    const qsizetype homeAt = args.indexOf(QStringLiteral("--home"));
    if (args.size() != 3 || homeAt < 0 || homeAt + 1 >= args.size()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString home = args.takeAt(homeAt + 1);
    args.removeAt(homeAt);
    const QString window = args.first();
    InitProgramPaths(QDir(home).absolutePath());
    ReadDisplayCodePage();
    TApplication::SetTitle(QStringLiteral("VOBREL FM"));

    ProgramWindows w;
    CreateProgramWindows(w);
    fillSamples(w);
    w.mainForm->RestoreWindowState();
    w.mainForm->show();
    w.mainForm->ShowReportName(QStringLiteral("Rep_1_5.txt"));
    w.mainForm->ShowStatusMessage(texts::ExtraFormat("StatusStored", {Settings().ReportDir + "Rep_1_5.txt"}));
    std::unique_ptr<TAboutBox> about;
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<QDialog> dialog;

    if (window == QLatin1String("progress") || window.startsWith(QLatin1String("progress-"))) {
        w.progressForm->Show();
        if (window == QLatin1String("progress-error")) {
            w.progressForm->ShowStatus(true, texts::ErrorText(texts::sConnect));
        } else if (window == QLatin1String("progress-readonly")) {
            w.progressForm->ShowStatus(true, texts::Message(texts::SReadOnly));
        } else {
            // A download under way: the total is not known yet.
            w.progressForm->ShowStatus(false, texts::Message(texts::sUpload));
            w.progressForm->SetTotalUnknown();
            w.progressForm->SetCurrentPackage(123);
        }
    } else if (window == QLatin1String("range-z") || window == QLatin1String("range-date")) {
        w.uploadReportDlg->edt1->setText(QStringLiteral("Report"));
        w.uploadReportDlg->RangeTypeButtons->button(window == QLatin1String("range-date") ? 1 : 0)->click();
        w.uploadReportDlg->ZCountFromEdit->setText(QStringLiteral("1234"));
        w.uploadReportDlg->ZCountToEdit->setText(QStringLiteral("9999"));
        CentreOnScreen(w.uploadReportDlg.get());
        w.uploadReportDlg->show();
    } else if (window == QLatin1String("comm")) {
        ReadCommSettings();
        w.commDlg->setBaudRateIndex(Settings().CommBaudRate);
        w.commDlg->PortCB->setCurrentIndex(Settings().CommPort);
        w.commDlg->UpdatePortHints();
        CentreOnScreen(w.commDlg.get());
        w.commDlg->show();
    } else if (window == QLatin1String("about")) {
        about = std::make_unique<TAboutBox>(w.mainForm.get());
        CentreOnScreen(about.get());
        about->show();
    } else if (window == QLatin1String("burn") || window == QLatin1String("burn-cancel")) {
        for (const char* name : {"Rep_1_5.txt", "Summary_010124_311224.txt"})
            w.burnFrm->AddFileToBurnList(Settings().ReportDir + name);
        CentreOnScreen(w.burnFrm.get());
        w.burnFrm->show();
        if (window == QLatin1String("burn-cancel")) {  // as during a burn
            w.burnFrm->BurnBtn->setEnabled(false);
            w.burnFrm->CancelBtn->show();
        }
    } else if (window == QLatin1String("audit")) {  // a disc check that found every state
        TAuditResult audit;
        audit.read = true;
        audit.sessions = 2;
        audit.withoutList = {1};
        audit.rows = {{"Rep_1_5.txt", 1, 1234, TAuditState::NotInList, {}, TAuditDifference::None},
                      {"Summary_010124_311224.txt", 2, 5678, TAuditState::Differs,
                       "differs from the checksum recorded at the download", TAuditDifference::FromDownload},
                      {"Rep_6_9.txt", 2, 910, TAuditState::NoDownloadRecord, {}, TAuditDifference::None},
                      {"Rep_10_12.txt", 2, -1, TAuditState::Missing, {}, TAuditDifference::None}};
        dialog = std::make_unique<TDiscAuditWindow>(audit, w.mainForm.get());
        CentreOnScreen(dialog.get());
        dialog->show();
    } else if (window == QLatin1String("question")) {
        dialog = std::make_unique<QMessageBox>(QMessageBox::Information, texts::BurnFrm(8), texts::BurnFrm(7),
                                               QMessageBox::Ok | QMessageBox::Cancel, w.mainForm.get());
        dialog->show();
    } else if (window == QLatin1String("open-dialog")) {
        w.fmfrm->dlgOpen1->setDirectory(Settings().ReportDir);
        w.fmfrm->dlgOpen1->show();
    } else if (window == QLatin1String("print-dialog")) {
        printer = std::make_unique<QPrinter>();
        dialog = std::make_unique<QPrintDialog>(printer.get(), w.mainForm.get());
        dialog->show();
    } else if (window != QLatin1String("main")) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // "ready" and the X window id of the window shown last, for the screenshot script.
    QWidget* shown = w.mainForm.get();
    if (window.startsWith(QLatin1String("progress")))
        shown = w.progressForm.get();
    else if (window.startsWith(QLatin1String("range")))
        shown = w.uploadReportDlg.get();
    else if (window == QLatin1String("comm"))
        shown = w.commDlg.get();
    else if (window.startsWith(QLatin1String("burn")))
        shown = w.burnFrm.get();
    else if (window == QLatin1String("open-dialog"))
        shown = w.fmfrm->dlgOpen1;
    else if (dialog)
        shown = dialog.get();
    else if (about)
        shown = about.get();
    QTimer::singleShot(500, [shown] {
        std::printf("ready %llu\n", static_cast<unsigned long long>(shown->winId()));
        std::fflush(stdout);
    });
    return app.exec();
}
