#include "ui/main_window.h"

#include "ui/about_box.h"
#include "ui/progress_form.h"
#include "reports/register_test.h"
#include "core/settings.h"
#include "link/ibus_session.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TMainForm::TMainForm(std::unique_ptr<ISerialPort> port)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("VOBREL FM"));
    resize(653, 553);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

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

    TopDock = new QToolBar(QStringLiteral("TopDock"), this);
    TopDock->setObjectName(QStringLiteral("TopDock"));
    TopDock->setFixedHeight(25);
    TopDock->setMovable(false);
    addToolBar(Qt::TopToolBarArea, TopDock);
    ToolWindow1 = new QWidget(TopDock);
    ToolWindow1->setObjectName(QStringLiteral("ToolWindow1"));
    auto* tools = new QHBoxLayout(ToolWindow1);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(1);
    auto makeButton = [this, tools](const char* name, QStyle::StandardPixmap icon,
                                    const QString& tip, void (TMainForm::*handler)()) {
        auto* button = new QToolButton(ToolWindow1);
        button->setObjectName(QString::fromLatin1(name));
        button->setIcon(style()->standardIcon(icon));
        button->setToolTip(tip);
        button->setFixedSize(23, 22);
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
    ToolWindow1->setFixedWidth(100);
    TopDock->addWidget(ToolWindow1);
    auto* gap = new QWidget(TopDock);
    gap->setFixedWidth(8);  // the check box stands at the dock's left 108
    TopDock->addWidget(gap);
    CheckBox1 = new QCheckBox(QStringLiteral("ReadOnly Mode"), TopDock);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    connect(CheckBox1, &QCheckBox::clicked, this, &TMainForm::CheckBox1Click);
    TopDock->addWidget(CheckBox1);

    pnl1 = new QFrame(this);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    auto* panelLayout = new QVBoxLayout(pnl1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    setCentralWidget(pnl1);

    BottomDock = new QToolBar(QStringLiteral("BottomDock"), this);
    BottomDock->setObjectName(QStringLiteral("BottomDock"));
    BottomDock->setMovable(false);
    addToolBar(Qt::BottomToolBarArea, BottomDock);

    FormCreate(std::move(port));
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate(std::unique_ptr<ISerialPort> port)
{
    bus_ = std::make_unique<TVeskIBusComm>(std::move(port));
    ReadSystemConfig();
    bus_->LogEnabled = true;
    bus_->OnShowError = [this](const QString& text) {
        QMessageBox::critical(this, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
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

void TMainForm::FormShow()
{
    if (OnLocalise)
        OnLocalise();
    Settings().AppCaption = windowTitle();
    setWindowTitle(Settings().AppCaption);
    QApplication::setApplicationDisplayName(Settings().AppCaption);
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
