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
class TUploadReportDlg;
class Tfmfrm;

// The windows of the program, created in the start-up order and wired together (the
// language files at the main window's first show among them), destroyed in the reverse
// order. The main window's serial port is the real one.
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
    std::unique_ptr<TUploadReportDlg> uploadReportDlg;
    Tfmfrm* fmfrm = nullptr;  // owned by the main window once docked
};

int RunProgram(int argc, char** argv);
