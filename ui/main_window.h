#pragma once
// TMainForm: the main window. A menu, the top tool dock with the communication, test and
// exit buttons and the "ReadOnly Mode" switch, and the client panel that hosts the report
// window. Creates the program's one protocol component, Bus.

#include "link/serial_port_interface.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QMenu;
class QStatusBar;
class QToolButton;
class TVeskIBusComm;
class TProgressForm;
class ISerialPort;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // port: the serial port for Bus; without one the real serial port is used.
    explicit TMainForm(std::unique_ptr<ISerialPort> port = nullptr);
    ~TMainForm() override;

    TVeskIBusComm& Bus() { return *bus_; }
    // The progress window used by register commands; set at start-up.
    void setProgressForm(TProgressForm* form) { progressForm_ = form; }
    TProgressForm* progressForm() const { return progressForm_; }
    // The window docked into pnl1 when the main window is first shown; hidden until then,
    // so that it is shown after the language files have been applied.
    void setReportWindow(QWidget* window)
    {
        reportWindow_ = window;
        window->hide();
    }
    // Steps run when the window is first shown, before AppCaption is taken (localisation).
    std::function<void()> OnLocalise;
    // Opens the communication settings (set at start-up).
    std::function<void()> OnEditCommSettings;
    // Asked before the window closes (and the program ends); false keeps it open.
    std::function<bool()> OnCloseQuery;

    // The status bar's line: what the last command did.
    void ShowStatusMessage(const QString& text);
    // The title: AppCaption, the report on display, and the demo mark when the demo
    // register answers.
    void ShowReportName(const QString& name);
    void setDemoMode(bool demo);
    // The window's size, position and split as the user left them, kept inside the
    // screen; stored again when the window closes.
    void RestoreWindowState();
    void StoreWindowState();

    void ExitItemClick();
    void CommsetItemClick();
    void TestItemClick();
    void AboutItemClick();
    void CheckBox1Click();

    QFrame* TopDock;
    QWidget* ToolWindow1;
    QToolButton* CommBtn;
    QToolButton* TestBtn;
    QToolButton* TExitBtn;
    QCheckBox* CheckBox1;
    QFrame* pnl1;
    QFrame* BottomDock;
    QMenu* FileMenu;
    QAction* ExitItem;
    QMenu* CommMenu;
    QAction* TestItem;
    QMenu* HelpMenu;
    QAction* ContentItem;
    QAction* HelpSeparator;
    QAction* AboutItem;
    QStatusBar* StatusBar1;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(std::unique_ptr<ISerialPort> port);
    void FormShow();
    void updateTitle();
    QList<int> storedSplit_;
    QString reportName_;
    bool demo_ = false;

    std::unique_ptr<TVeskIBusComm> bus_;
    TProgressForm* progressForm_ = nullptr;
    QWidget* reportWindow_ = nullptr;
    bool shown_ = false;
};
