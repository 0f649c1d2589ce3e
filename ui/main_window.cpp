#include "ui/main_window.h"

#include "ui/about_box.h"
#include "ui/application.h"
#include "ui/designed.h"
#include "ui/palette_icon.h"
#include "ui/window_layout.h"
#include "ui/window_memory.h"
#include "core/safe_file.h"
#include "core/texts.h"
#include "ui/progress_form.h"
#include "ui/report_form.h"
#include "reports/register_test.h"
#include "core/settings.h"
#include "link/ibus_session.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QAbstractScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <algorithm>
#include <cstdio>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kCheckBoxLeft = 108;  // CheckBox1's place in the top dock
}  // namespace

TMainForm::TMainForm(std::unique_ptr<ISerialPort> port)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("VOBREL FM"));
    resize(653, 553);  // grown to what the client area needs once it is built

    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    FileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    FileMenu->setObjectName(QStringLiteral("FileMenu"));
    ExitItem = FileMenu->addAction(QStringLiteral("E&xit"), this, &TMainForm::ExitItemClick);
    ExitItem->setObjectName(QStringLiteral("ExitItem"));
    CommMenu = menuBar()->addMenu(QStringLiteral("&Communication"));
    CommMenu->setObjectName(QStringLiteral("CommMenu"));
    TestItem = CommMenu->addAction(QStringLiteral("Test"), this, &TMainForm::TestItemClick);
    TestItem->setObjectName(QStringLiteral("TestItem"));
    HelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    HelpMenu->setObjectName(QStringLiteral("HelpMenu"));
    ContentItem = HelpMenu->addAction(QStringLiteral("&Contents"));
    ContentItem->setObjectName(QStringLiteral("ContentItem"));
    ContentItem->setVisible(false);
    HelpSeparator = HelpMenu->addSeparator();
    HelpSeparator->setObjectName(QStringLiteral("N1"));
    HelpSeparator->setVisible(false);
    AboutItem = HelpMenu->addAction(QStringLiteral("&About..."), this, &TMainForm::AboutItemClick);
    AboutItem->setObjectName(QStringLiteral("AboutItem"));
    // F1 (the desktop's help key): the About window, the program's only help.
    AboutItem->setShortcut(QKeySequence::HelpContents);
    ExitItem->setShortcut(QKeySequence::Quit);
    TestItem->setText(QStringLiteral("&Test"));

    // The client area: the tool dock along the top, the panel that hosts the report
    // window, and the (empty) dock along the bottom.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    setCentralWidget(client);

    TopDock = new Designed<QFrame>(QSize(0, 25), client);
    TopDock->setObjectName(QStringLiteral("TopDock"));
    TopDock->setFrameStyle(QFrame::NoFrame);
    TopDock->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* dock = new QHBoxLayout(TopDock);
    dock->setContentsMargins(0, 0, 0, 0);
    dock->setSpacing(0);
    // The tool window takes at least the room up to the check box at the dock's left 108;
    // larger buttons push the box further right.
    ToolWindow1 = new Designed<QWidget>(QSize(kCheckBoxLeft, 0), TopDock);
    ToolWindow1->setObjectName(QStringLiteral("ToolWindow1"));
    ToolWindow1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* tools = new QHBoxLayout(ToolWindow1);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(1);
    auto makeButton = [this, tools](const char* name, QStyle::StandardPixmap icon,
                                    const QString& tip, void (TMainForm::*handler)()) {
        auto* button = new Designed<QToolButton>(QSize(23, 22), ToolWindow1);
        button->setObjectName(QString::fromLatin1(name));
        SetPaletteIcon(button, style()->standardIcon(icon));
        button->setIconSize(QSize(16, 16));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setToolTip(tip);
        connect(button, &QToolButton::clicked, this, handler);
        tools->addWidget(button);
        return button;
    };
    CommBtn = makeButton("CommBtn", QStyle::SP_ComputerIcon, QStringLiteral("Communication setting"),
                         &TMainForm::CommsetItemClick);
    TestBtn = makeButton("TestBtn", QStyle::SP_DialogApplyButton, QStringLiteral("Test"),
                         &TMainForm::TestItemClick);
    TExitBtn = makeButton("TExitBtn", QStyle::SP_DialogCloseButton, QStringLiteral("Exit"),
                          &TMainForm::ExitItemClick);
    tools->addStretch();
    dock->addWidget(ToolWindow1);
    CheckBox1 = new QCheckBox(QStringLiteral("&ReadOnly Mode"), TopDock);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    connect(CheckBox1, &QCheckBox::clicked, this, &TMainForm::CheckBox1Click);
    dock->addWidget(CheckBox1);
    dock->addStretch();
    clientLayout->addWidget(TopDock);

    pnl1 = new QFrame(client);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    auto* panelLayout = new QVBoxLayout(pnl1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->addWidget(pnl1, 1);

    // Nothing ever docks here; it takes no room.
    BottomDock = new QFrame(client);
    BottomDock->setObjectName(QStringLiteral("BottomDock"));
    BottomDock->setFixedHeight(0);
    clientLayout->addWidget(BottomDock);

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);

    resize(size().expandedTo(minimumSizeHint()));
    CentreOnScreen(this);
    FormCreate(std::move(port));
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate(std::unique_ptr<ISerialPort> port)
{
    bus_ = std::make_unique<TVeskIBusComm>(std::move(port));
    ReadSystemConfig();
    bus_->LogEnabled = true;
    bus_->OnShowError = [this](const QString& text) {
        QMessageBox::critical(this, TApplication::Title(), text, QMessageBox::Ok);
    };
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (OnCloseQuery && !OnCloseQuery()) {
        event->ignore();
        return;
    }
    if (shown_)
        StoreWindowState();
    QMainWindow::closeEvent(event);
}

void TMainForm::FormShow()
{
    if (OnLocalise)
        OnLocalise();
    Settings().AppCaption = windowTitle();
    updateTitle();
    TApplication::SetTitle(Settings().AppCaption);
    if (reportWindow_) {
        reportWindow_->setParent(pnl1);
        pnl1->layout()->addWidget(reportWindow_);
        reportWindow_->show();
        // Wide enough for the report window's buttons in one row, where the screen allows.
        if (auto* report = qobject_cast<Tfmfrm*>(reportWindow_)) {
            const int wanted = width() + std::max(0, report->OneRowWidth() - report->width());
            const QRect area = AvailableArea(this);
            const QMargins frame = WindowFrameMargins(this);
            const int room = area.isEmpty() ? wanted : area.width() - frame.left() - frame.right();
            if (wanted > width())
                resize(std::min(wanted, room), height());
            KeepOnScreen(this);
        }
        // The split the user left, when the window is wide enough for it.
        auto* split = reportWindow_->findChild<QSplitter*>(QStringLiteral("spl1"));
        if (split && storedSplit_.size() == 2 && storedSplit_[0] + storedSplit_[1] <= split->width() + 8)
            split->setSizes(storedSplit_);
        // Tab runs: the tool buttons, the check box, then the report window's controls in
        // its own order, and round again.
        setTabOrder(CommBtn, TestBtn);
        setTabOrder(TestBtn, TExitBtn);
        setTabOrder(TExitBtn, CheckBox1);
        QList<QWidget*> inner;
        for (QWidget* w = reportWindow_->nextInFocusChain(); w && w != reportWindow_ && inner.size() < 1000;
             w = w->nextInFocusChain())
            if (reportWindow_->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(reportWindow_))
                inner << w;
        QWidget* last = CheckBox1;
        for (QWidget* w : inner) {
            setTabOrder(last, w);
            last = w;
        }
    }
    ShowStatusMessage(texts::Extra("StatusReady"));
}

void TMainForm::ShowStatusMessage(const QString& text)
{
    StatusBar1->showMessage(text);
}

void TMainForm::ShowReportName(const QString& name)
{
    reportName_ = name;
    updateTitle();
}

void TMainForm::setDemoMode(bool demo)
{
    demo_ = demo;
    updateTitle();
}

void TMainForm::updateTitle()
{
    if (!shown_)
        return;  // the caption the language files see is the plain one
    QString title = Settings().AppCaption.isEmpty() ? windowTitle() : Settings().AppCaption;
    if (!reportName_.isEmpty())
        title += texts::Extra("TitleSeparator") + reportName_;
    if (demo_)
        title += QStringLiteral(" [") + texts::Extra("TitleDemo") + QLatin1Char(']');
    setWindowTitle(title);
}

void TMainForm::RestoreWindowState()
{
    const TMainWindowState state = ReadWindowState(WindowStateFile());
    storedSplit_ = state.splitter;
    if (!state.geometry.isEmpty()) {
        const QRect area = AvailableArea(this);
        const QRect placed = area.isEmpty() ? state.geometry
                                            : PlaceInArea(state.geometry.size(), state.geometry.center(), area,
                                                          WindowFrameMargins(this));
        setGeometry(placed);
    }
    if (state.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TMainForm::StoreWindowState()
{
    TMainWindowState state;
    state.maximized = isMaximized();
    state.geometry = state.maximized ? normalGeometry() : geometry();
    if (auto* split = reportWindow_ ? reportWindow_->findChild<QSplitter*>(QStringLiteral("spl1")) : nullptr)
        state.splitter = split->sizes();
    try {
        WriteWindowState(WindowStateFile(), state);
    } catch (const FileError& error) {
        // Only the window's place is lost; the program's data is not touched.
        std::fprintf(stderr, "%s\n", error.what());
    }
}

void TMainForm::ExitItemClick()
{
    close();
}

void TMainForm::CommsetItemClick()
{
    if (OnEditCommSettings)
        OnEditCommSettings();
}

void TMainForm::TestItemClick()
{
    if (!progressForm_)
        return;
    const int speed = Settings().CommBaudRate;
    const QString port = PortNameOf(Settings().CommPort);
    const bool known = speed >= 0 && speed < static_cast<int>(BaudTable.size());
    const QString bits =
        known ? QString::number(BaudTable[static_cast<std::size_t>(speed)]) : QStringLiteral("?");
    const bool answered = TestCommand(*bus_, *progressForm_, port, speed);
    ShowStatusMessage(texts::ExtraFormat(answered ? "StatusTestOk" : "StatusTestFailed", {port, bits}));
}

void TMainForm::AboutItemClick()
{
    TAboutBox about(this);
    about.exec();
}

void TMainForm::CheckBox1Click()
{
    const bool readOnly = CheckBox1->isChecked();
    Settings().DetailRequestCode = readOnly ? cfg::kDetailReadOnlyCode : cfg::kDetailRequestCode;
    Settings().SummaryRequestCode = readOnly ? cfg::kSummaryReadOnlyCode : cfg::kSummaryRequestCode;
}
