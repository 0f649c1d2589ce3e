#include "ui/main_window.h"

#include "ui/about_box.h"
#include "ui/application.h"
#include "ui/designed.h"
#include "ui/window_layout.h"
#include "ui/progress_form.h"
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
#include <QStyle>
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
        button->setIcon(style()->standardIcon(icon));
        button->setIconSize(QSize(16, 16));
        button->setAutoRaise(true);
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
    CheckBox1 = new QCheckBox(QStringLiteral("ReadOnly Mode"), TopDock);
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
    QMainWindow::closeEvent(event);
}

void TMainForm::FormShow()
{
    if (OnLocalise)
        OnLocalise();
    Settings().AppCaption = windowTitle();
    setWindowTitle(Settings().AppCaption);
    TApplication::SetTitle(Settings().AppCaption);
    if (reportWindow_) {
        reportWindow_->setParent(pnl1);
        pnl1->layout()->addWidget(reportWindow_);
        reportWindow_->show();
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
    TestCommand(*bus_, *progressForm_, PortNameOf(Settings().CommPort), Settings().CommBaudRate);
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
