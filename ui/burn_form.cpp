#include "ui/burn_form.h"

#include "burn/burn_procedure.h"
#include "burn/burner.h"
#include "burn/drive/drive_abilities.h"
#include "burn/iso/iso_image_file.h"
#include "burn/sector_size.h"
#include "burn/write/disc_audit.h"
#include "cli/burn_archive.h"
#include "cli/cli.h"
#include "core/texts.h"
#include "reports/report_checksums.h"
#include "ui/burn_drive_list.h"
#include "ui/burn_file_list.h"
#include "ui/burn_form_sink.h"
#include "ui/burn_log.h"
#include "ui/delete_key.h"
#include "ui/disc_audit_window.h"
#include "ui/palette_icon.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QIcon themeIcon(const QWidget* w, const char* name, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(name), w->style()->standardIcon(fallback));
}

}  // namespace

TBurnFrm::TBurnFrm(QWidget* mainWindow, TScsiTransport* transport)
    : QDialog(mainWindow, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      mcdb_(std::make_unique<TMCDBurner>(transport ? *transport : ScsiTransport())), mainWindow_(mainWindow)
{
    setObjectName(QStringLiteral("BurnFrm"));
    setWindowTitle(QStringLiteral("Burn"));
    setModal(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setMinimumHeight(37);
    Label1 = new QLabel(QStringLiteral("&Drive: "), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    cbb1 = new QComboBox(Panel1);
    cbb1->setObjectName(QStringLiteral("cbb1"));
    cbb1->setMinimumWidth(361);
    cbb1->setSizeAdjustPolicy(QComboBox::AdjustToContents);  // a drive line is never cut
    BurnBtn = new QPushButton(QStringLiteral("&Burn"), Panel1);
    BurnBtn->setObjectName(QStringLiteral("BurnBtn"));
    BurnBtn->setAutoDefault(false);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), Panel1);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);
    // Cancel shows only during a burn; its room is kept, so the window never grows then.
    QSizePolicy keepRoom = CancelBtn->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    CancelBtn->setSizePolicy(keepRoom);
    CancelBtn->hide();
    auto* top = new QHBoxLayout(Panel1);
    top->setContentsMargins(6, 4, 6, 4);
    top->addWidget(Label1);
    top->addWidget(cbb1, 1);
    top->addWidget(BurnBtn);
    top->addWidget(CancelBtn);

    Panel2 = new QFrame;
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setMinimumWidth(254);
    ToolBar1 = new QToolBar(Panel2);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    auto makeTool = [this](const char* name, const QString& hint, const QIcon& icon, void (TBurnFrm::*handler)()) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        SetPaletteIcon(b, icon);
        b->setAutoRaise(true);  // flat
        b->setFocusPolicy(Qt::TabFocus);  // reachable with Tab, as tool-bar buttons are not by default
        ToolBar1->addWidget(b);
        connect(b, &QToolButton::clicked, this, handler);
        return b;
    };
    DeleteBtn = makeTool("DeleteBtn", QStringLiteral("Delete"), themeIcon(this, "edit-delete", QStyle::SP_TrashIcon),
                         &TBurnFrm::DeleteBtnClick);
    FileBtn = makeTool("FileBtn", QStringLiteral("Open file"),
                       themeIcon(this, "document-open", QStyle::SP_FileIcon), &TBurnFrm::FileBtnClick);
    FolderBtn = makeTool("FolderBtn", QStringLiteral("Open folder"),
                         themeIcon(this, "folder-open", QStyle::SP_DirOpenIcon), &TBurnFrm::FolderBtnClick);
    CheckBtn = makeTool("CheckBtn", texts::Extra("BurnCheckDisc"),
                        themeIcon(this, "media-optical", QStyle::SP_DriveCDIcon), &TBurnFrm::CheckBtnClick);
    UnarchivedBtn = makeTool("UnarchivedBtn", texts::Extra("BurnUnarchived"),
                             themeIcon(this, "document-new", QStyle::SP_FileDialogNewFolder),
                             &TBurnFrm::UnarchivedBtnClick);

    lv1 = NewBurnFileList(Panel2);
    lv1->setObjectName(QStringLiteral("lv1"));
    OnDeleteKey(lv1, [this] { DeleteBtn->click(); });
    auto* left = new QVBoxLayout(Panel2);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    left->addWidget(ToolBar1);
    left->addWidget(lv1, 1);

    Memo1 = new QPlainTextEdit;
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setTabChangesFocus(true);
    Memo1->setMinimumWidth(160);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(Panel2);
    Splitter1->addWidget(Memo1);
    Splitter1->setStretchFactor(1, 1);

    pb = new QProgressBar(this);
    pb->setObjectName(QStringLiteral("pb"));
    pb->setMinimumHeight(16);
    pb->setTextVisible(false);
    pb->setRange(0, 100);
    pb->setValue(0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(Splitter1, 1);
    layout->addWidget(pb);
    layout->setSizeConstraint(QLayout::SetMinimumSize);  // grows with its texts, never cuts them
    resize(QSize(491, 235).expandedTo(minimumSizeHint()));

    // "File|*.*": one entry, every file (on Linux a name needs no dot).
    dlgOpen1 = new QFileDialog(this, QString(), QString(), texts::Extra("FileFilter") + QStringLiteral(" (*)"));
    dlgOpen1->setObjectName(QStringLiteral("dlgOpen1"));
    dlgOpen1->setFileMode(QFileDialog::ExistingFiles);
    ChooseFiles = [this]() -> QStringList {
        return dlgOpen1->exec() == QDialog::Accepted ? dlgOpen1->selectedFiles() : QStringList();
    };
    ChooseFolder = [this] {
        return QFileDialog::getExistingDirectory(this, texts::Extra("BurnFolderTitle"), QDir::homePath());
    };

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TBurnFrm::Timer1Timer);
    Timer1->start();

    Label1->setBuddy(cbb1);
    for (auto [from, to] : {std::pair<QWidget*, QWidget*>{cbb1, BurnBtn}, {BurnBtn, CancelBtn}, {CancelBtn, DeleteBtn},
                            {DeleteBtn, FileBtn}, {FileBtn, FolderBtn}, {FolderBtn, lv1}, {lv1, Memo1}})
        setTabOrder(from, to);

    connect(cbb1, &QComboBox::activated, this, &TBurnFrm::cbb1Change);
    connect(BurnBtn, &QPushButton::clicked, this, &TBurnFrm::BurnBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TBurnFrm::CancelBtnClick);

    TMCDBurner& b = *mcdb_;
    b.SetUnderrunProtection(true);
    b.SetReadSpeed(0);
    b.SetFinalizeDisc(false);
    b.SetTestWrite(false);
    b.SetReplaceFile(false);
    b.SetPerformOPC(false);
    b.SetCacheSize(4194304);
    b.SetWritePostGap(true);
    b.SetVersion("1.0.0");
    b.SetDeviceBufferSize(0);
    b.SetDeviceFreeBufferSize(0);
    // Events of the write thread reach the window through the hand-over, in order; lines
    // posted on this thread show at once unless earlier events still wait.
    b.OnDebugMessage = [this](TSCSIDevice&, const std::string& text, uint8_t kind) {
        if (ShownInBurnLog(kind, text))
            handover_.RunInOrder([this, text] { Log(BurnerText(text)); });
    };
    sink_ = std::make_unique<Sink>(*this);
    procedure_ = std::make_unique<TBurnProcedure>(b, *sink_);
    b.OnEraseDone = [this](TMCDBurner&, bool) { handover_.Post([this] { mcdbEraseDone(); }); };
    FormCreate();
}

// The procedure and the burner (members) wait for a running burn before the window's parts go.
TBurnFrm::~TBurnFrm()
{
    procedure_.reset();
}

void TBurnFrm::FormCreate()
{
    Memo1->clear();
    cli::configureTransport(mcdb_->Transport());
    mcdb_->InitASPILayer(false);
    mcdb_->SetDoDebug(true);
    if (!mcdb_->ASPIInitialized()) {
        Log(texts::BurnFrm(6));
        UpdateBurnButton();
        creationLines_ = LogLines();
        return;
    }
    // Each drive line says what the drive writes; the item keeps the bare device line.
    for (const std::string& line : mcdb_->DeviceList()) {
        driveAbilities_.push_back(ReadDriveAbilities(mcdb_->Transport(), line));
        cbb1->addItem(DriveLineText(line, driveAbilities_.back()), QString::fromStdString(line));
    }
    FitDriveList(cbb1);
    if (cbb1->count() > 0) {
        cbb1->setCurrentIndex(0);
        cbb1Change();
    }
    UpdateBurnButton();
}

bool TBurnFrm::RecorderSelected() const
{
    return cbb1->count() > 0 && mcdb_->Transport().Drive().selected();
}

// Without a recorder Burn stays off, and the log says what to set up.
void TBurnFrm::UpdateBurnButton()
{
    const bool recorder = RecorderSelected();
    BurnBtn->setEnabled(recorder && !(burning_ && !finalizing_));
    if (!recorder && !noRecorderShown_) {
        noRecorderShown_ = true;
        Log(texts::Extra("BurnNoRecorderHelp"));
    }
}

// While a burn runs nothing that changes its drive, its files or its options can be used.
void TBurnFrm::SetControlsForBurn(bool burning)
{
    cbb1->setEnabled(!burning);
    ToolBar1->setEnabled(!burning);
    DeleteBtn->setEnabled(!burning);
    FileBtn->setEnabled(!burning);
    FolderBtn->setEnabled(!burning);
    CheckBtn->setEnabled(!burning);
    UnarchivedBtn->setEnabled(!burning);
    lv1->setEnabled(!burning);
}

void TBurnFrm::showEvent(QShowEvent* event)
{
    // Centred on the main window each time it is shown.
    if (mainWindow_) {
        QRect frame = frameGeometry();
        frame.moveCenter(mainWindow_->frameGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
    FormShow();
}

void TBurnFrm::FormShow()
{
    lv1->horizontalHeaderItem(0)->setText(texts::BurnFrm(0));
    CancelBtn->setText(texts::Extra("BurnCancel"));
    // The window's own texts beyond the designed ones, in the language files' words.
    CheckBtn->setToolTip(texts::Extra("BurnCheckDisc"));
    UnarchivedBtn->setToolTip(texts::Extra("BurnUnarchived"));
    dlgOpen1->setNameFilter(texts::Extra("FileFilter") + QStringLiteral(" (*)"));  // "File|*.*": every file
    for (int i = 0; i < cbb1->count(); ++i)
        cbb1->setItemText(i, DriveLineText(cbb1->itemData(i).toString().toStdString(),
                                            driveAbilities_[static_cast<std::size_t>(i)]));
    FitDriveList(cbb1);
    // The missing-transport notice was logged at creation, before the language files were
    // applied: while it is still all the log holds, it is shown in the current language.
    if (!mcdb_->ASPIInitialized() && LogLines() == creationLines_) {
        Memo1->clear();
        Log(texts::BurnFrm(6));
        Log(texts::Extra("BurnNoRecorderHelp"));
        creationLines_ = LogLines();
    }
}

void TBurnFrm::ExecuteWithFiles(const QStringList& paths)
{
    lv1->setRowCount(0);
    for (const QString& path : paths)
        AddFileToBurnList(path);
    exec();
}

void TBurnFrm::AddFileToBurnList(const QString& path)
{
    AddBurnFile(lv1, path);
}

QStringList TBurnFrm::FilePaths() const
{
    return BurnFilePaths(lv1);
}

QStringList TBurnFrm::LogLines() const
{
    return LogLinesOf(Memo1);
}

void TBurnFrm::Log(const QString& line)
{
    AppendLogLine(Memo1, line);
}

void TBurnFrm::cbb1Change()
{
    // The running burn keeps its drive (the burner refuses a change as well).
    if (burning_)
        return;
    if (cbb1->currentIndex() >= 0)
        mcdb_->SelectDevice(cbb1->currentData().toString().toStdString());
    UpdateBurnButton();
}

void TBurnFrm::DeleteBtnClick()
{
    if (burning_)
        return;
    RemoveSelectedBurnFiles(lv1);
}

void TBurnFrm::FileBtnClick()
{
    if (burning_)
        return;
    for (const QString& path : ChooseFiles ? ChooseFiles() : QStringList())
        AddFileToBurnList(path);
}

void TBurnFrm::FolderBtnClick()
{
    if (burning_)
        return;
    const QString folder = ChooseFolder ? ChooseFolder() : QString();
    if (folder.isEmpty())
        return;
    for (const QString& path : FolderEntryPaths(folder))
        AddFileToBurnList(path);
}

void TBurnFrm::BurnBtnClick()
{
    // Finalization enables Burn while the first burn's threads still run.
    if (burning_ || mcdb_->Writing()) {
        Log(texts::Extra("BurnStillRunning"));
        return;
    }
    if (!handover_.Valid()) {
        Log(texts::Extra("BurnNoHandover"));
        return;
    }
    if (!RecorderSelected()) {
        Log(texts::Extra("BurnNoRecorderHelp"));
        return;
    }
    std::vector<std::string> paths;
    for (const QString& path : FilePaths())
        paths.push_back(QFile::encodeName(path).toStdString());
    // Once round the loop so the log shows; no click may start a second burn meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    burning_ = true;  // until the end of the burn is handled, also when StartWrite fails
    finalizing_ = false;
    lastWriteOut_ = false;
    endPending_ = false;
    SetControlsForBurn(true);
    BurnBtn->setEnabled(false);
    TBurnOptions options;  // the window's settings: no test write, the disc stays open, eject
    archive_ = std::make_unique<TBurnArchive>();
    archive_->Apply(options);
    const bool started = procedure_->Start(paths, options);
    if (started) {
        pb->setMaximum(static_cast<int>(std::min<int64_t>(procedure_->Report().requiredSectors, INT32_MAX)));
        CancelBtn->setEnabled(true);
        CancelBtn->show();
        return;
    }
    if (endPending_)
        return;  // StartWrite refused: its end comes through the hand-over
    burning_ = false;
    SetControlsForBurn(false);
    UpdateBurnButton();
    const TBurnReport& r = procedure_->Report();
    switch (r.outcome) {
    case TBurnOutcome::NothingToBurn:
        break;  // nothing happens
    case TBurnOutcome::Unchanged:
        Log(AlreadyOnDiscText(r.unchanged));
        break;
    case TBurnOutcome::NoRoom:
        Log(texts::FormatBurnFrm(1, {QString::number(r.requiredSectors * kSectorSize / 1024),
                                     QString::number(int64_t(r.freeSectors) * kSectorSize / 1024)}));
        break;
    default:
        Log(BurnerText(r.text));
        if (r.text == kNoRecorder)
            Log(texts::Extra("BurnNoRecorderHelp"));
        break;
    }
}

void TBurnFrm::CheckBtnClick()
{
    if (burning_ || mcdb_->Writing()) {
        Log(texts::Extra("BurnStillRunning"));
        return;
    }
    if (!RecorderSelected()) {
        Log(texts::Extra("BurnNoRecorderHelp"));
        return;
    }
    TReportChecksums sums;
    QString error;
    if (!sums.Load(ReportChecksumsFile(), &error))
        Log(texts::Reworded(error));
    TAuditOptions options;
    options.downloadChecksum = [&sums](const std::string& name) -> std::optional<std::string> {
        const TChecksumLine* found = sums.Find(name);
        return found ? std::optional<std::string>(found->hex) : std::nullopt;
    };
    // The bar shows the bytes read; the window stays painted meanwhile.
    options.progress = [this](int64_t done, int64_t total) {
        pb->setMaximum(static_cast<int>(std::min<int64_t>(total / kSectorSize, INT32_MAX)));
        pb->setValue(static_cast<int>(std::min<int64_t>(done / kSectorSize, pb->maximum())));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    SetControlsForBurn(true);
    BurnBtn->setEnabled(false);
    auditing_ = true;
    const TAuditResult audit = AuditDisc(mcdb_->Commands(), options);
    auditing_ = false;
    SetControlsForBurn(false);
    UpdateBurnButton();
    Log(AuditSummary(audit));
    if (ShowAudit) {
        ShowAudit(audit);
    } else {
        TDiscAuditWindow window(audit, this);
        window.exec();
    }
}

void TBurnFrm::UnarchivedBtnClick()
{
    if (burning_ || !UnarchivedReports)
        return;
    lv1->setRowCount(0);
    for (const QString& path : UnarchivedReports())
        AddFileToBurnList(path);
}

void TBurnFrm::CancelBtnClick()
{
    if (!burning_ || finalizing_)
        return;
    if (lastWriteOut_) {
        Log(texts::Extra("BurnCannotStop"));
        return;
    }
    const bool stop = AskBurnQuestion(this, texts::Extra("BurnCancelQuestion"));
    // The burn may have ended or begun closing while the question was open.
    if (stop && burning_ && !finalizing_) {
        CancelBtn->setEnabled(false);
        if (!procedure_->Cancel())
            Log(texts::Extra("BurnCannotStop"));  // the last data went out meanwhile
    }
}

void TBurnFrm::Timer1Timer()
{
    if (auditing_)
        return;
    pb->setValue(static_cast<int>(std::min<int64_t>(mcdb_->BytesWritten() / kSectorSize, pb->maximum())));
}

void TBurnFrm::mcdbLastWriteOut()
{
    if (lastWriteOut_ || !burning_)
        return;
    lastWriteOut_ = true;
    CancelBtn->hide();  // the burn runs to its close now
}

void TBurnFrm::mcdbFinalizingTrack()
{
    finalizing_ = true;
    CancelBtn->hide();
    BurnBtn->setEnabled(true);
    Log(texts::BurnFrm(3));
}

void TBurnFrm::mcdbWriteDone()
{
    // The write thread raised this as its last act; the procedure waits for it to end,
    // ejects a disc that is done and empties the tables before another burn may start.
    const TBurnReport& r = procedure_->Finish();
    endPending_ = false;
    burning_ = false;
    CancelBtn->hide();
    SetControlsForBurn(false);
    UpdateBurnButton();
    if (r.outcome != TBurnOutcome::Done) {
        Log(texts::BurnFrm(5));
        Log(BurnerText(r.text));  // why, in the burner's words
    } else {
        Log(texts::BurnFrm(4));
    }
    QString message;
    const bool recorded = TBurnArchive::Record(r, cbb1->currentText().toStdString(), &message);
    if (!message.isEmpty())
        Log(texts::Reworded(message));
    archive_.reset();
    if (recorded && r.outcome == TBurnOutcome::Done && OnArchiveChanged)
        OnArchiveChanged();
    QApplication::beep();
    mcdb_->PostDebugMessage(" ", kMsgDriveError);
}

void TBurnFrm::mcdbEraseDone()
{
    mcdb_->LoadUnload(true);
}

bool TBurnFrm::CanCloseProgram()
{
    if (!burning_)
        return true;
    QMessageBox::information(isVisible() ? static_cast<QWidget*>(this) : mainWindow_, texts::BurnFrm(8),
                             texts::Extra("BurnCloseRefused"), QMessageBox::Ok);
    return false;
}
