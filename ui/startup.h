#pragma once
// Program start: paths, the application object, the windows in their order, and the
// commands that run without a window.

#include <QList>
#include <memory>

class QWidget;
class Tdm;
class TMainForm;
class TCommDlg;
class TProgressForm;
class Tfmfrm;
class TUploadReportDlg;
class TBurnFrm;

int RunProgram(int argc, char** argv);

// The program's windows, created in the start-up order (the data module, the main window,
// the communication dialog, the progress window, the report window, the range dialog, the
// burn window)
// and destroyed in the reverse one; the data module goes last and writes the catalogue.
struct ProgramWindows {
    ProgramWindows();
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Every window created at start-up: the ones the language files reach.
    QList<QWidget*> Localised() const;

    std::unique_ptr<Tdm> dm;
    std::unique_ptr<TMainForm> mainForm;
    std::unique_ptr<TCommDlg> commDlg;
    std::unique_ptr<TProgressForm> progressForm;
    Tfmfrm* fmfrm = nullptr;  // owned by the main window once docked
    std::unique_ptr<TUploadReportDlg> uploadReportDlg;
    std::unique_ptr<TBurnFrm> burnFrm;
};

// Creates the windows and wires them to each other, the language files at the main
// window's first show among them.
void CreateProgramWindows(ProgramWindows& w);
