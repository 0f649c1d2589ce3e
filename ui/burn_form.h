#pragma once
// TBurnFrm: the burn window. The drive choice and Burn at the top, the file list with its
// tool bar on the left, the message log on the right, the progress bar at the bottom.
// It owns the burner component (mcdb) and runs the burn procedure with it; the burner's
// events come on its write thread and are handed to this window's thread in order.
//
// Beyond the list and the log, the window keeps a burn from being cut short: while one
// runs, Cancel (asking first) takes the burner's abort path until the last data has gone
// out, the drive list, the file tools and the list are disabled, another Burn is refused
// with a log line, and the program refuses to close (CanCloseProgram). Without a recorder
// Burn is disabled and the log says what to set up. The burn itself is the one burn
// procedure (burn/burn_procedure.h).

#include "burn/drive/drive_abilities.h"
#include "core/thread_handover.h"

#include <QDialog>
#include <atomic>
#include <QStringList>
#include <functional>
#include <memory>

class QComboBox;
class QFileDialog;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTableWidget;
class QTimer;
class QToolBar;
class QToolButton;
class TMCDBurner;
class TBurnProcedure;
class TBurnArchive;
struct TAuditResult;
class TScsiTransport;

class TBurnFrm : public QDialog {
    Q_OBJECT
public:
    // transport: the burner's drive transport; the process-wide one unless a test passes
    // its own. Either way the settings' virtual drive is added to it.
    explicit TBurnFrm(QWidget* mainWindow, TScsiTransport* transport = nullptr);
    ~TBurnFrm() override;

    TMCDBurner& mcdb() { return *mcdb_; }  // the burner component

    // The report window's hand-off: the list becomes these files, then the window is shown
    // modally until the operator closes it.
    void ExecuteWithFiles(const QStringList& paths);
    // Appends one item: its caption the file name, its hidden column the full path.
    void AddFileToBurnList(const QString& path);
    QStringList FilePaths() const;
    QStringList LogLines() const;
    // A burn's threads run: from StartWrite until its end has been handled here.
    bool Burning() const { return burning_; }
    // The main window asks before it closes: false, with a message, while a burn runs.
    bool CanCloseProgram();

    void FormShow();
    void cbb1Change();
    void DeleteBtnClick();
    void FileBtnClick();
    void FolderBtnClick();
    // CheckBtn ("Check disc"): the audit of the disc in the drive, in a window.
    void CheckBtnClick();
    // UnarchivedBtn: the list becomes the catalogued reports never archived.
    void UnarchivedBtnClick();
    void BurnBtnClick();
    void CancelBtnClick();
    void Timer1Timer();
    void mcdbLastWriteOut();
    void mcdbFinalizingTrack();
    // The burn's end, handed over from the write thread: the procedure's report is logged.
    void mcdbWriteDone();
    void mcdbEraseDone();

    // The file and folder choosers (dlgOpen1 and the folder browser); tests replace them.
    std::function<QStringList()> ChooseFiles;
    std::function<QString()> ChooseFolder;
    // The reports never archived (the report window's catalogue), and what is told after a
    // burn was recorded in the archive record; set at start-up.
    std::function<QStringList()> UnarchivedReports;
    std::function<void()> OnArchiveChanged;
    // Shows the audit's window; tests replace it.
    std::function<void(const TAuditResult&)> ShowAudit;

    QFrame* Panel1;  // top panel
    QLabel* Label1;  // "Drive: "
    QComboBox* cbb1;  // the drives
    QPushButton* BurnBtn;
    QPushButton* CancelBtn;  // shown while a burn can still be stopped
    QFrame* Panel2;  // left panel
    QToolBar* ToolBar1;
    QToolButton* DeleteBtn;
    QToolButton* FileBtn;
    QToolButton* FolderBtn;
    QToolButton* CheckBtn;
    QToolButton* UnarchivedBtn;
    QTableWidget* lv1;  // the file list
    QSplitter* Splitter1;
    QPlainTextEdit* Memo1;  // the message log
    QProgressBar* pb;
    QFileDialog* dlgOpen1;
    QTimer* Timer1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void Log(const QString& line);
    bool RecorderSelected() const;
    void UpdateBurnButton();
    void SetControlsForBurn(bool burning);
    class Sink;

    // Declared before the burner: the burner's destructor waits for its write thread,
    // whose last events still reach a live hand-over.
    TThreadHandover handover_;
    std::unique_ptr<TMCDBurner> mcdb_;
    std::unique_ptr<Sink> sink_;
    std::unique_ptr<TBurnProcedure> procedure_;  // the one burn procedure, on mcdb_
    std::unique_ptr<TBurnArchive> archive_;      // the running burn's checksum list
    QWidget* mainWindow_;
    QStringList creationLines_;  // the log as the transport's failure left it at creation
    bool burning_ = false;
    bool finalizing_ = false;
    bool lastWriteOut_ = false;
    bool noRecorderShown_ = false;
    std::vector<TDriveAbilities> driveAbilities_;  // one per drive line, read once
    bool auditing_ = false;  // Check disc runs: the bar shows its bytes read
    std::atomic<bool> endPending_{false};  // the burn's end waits in the hand-over
};
