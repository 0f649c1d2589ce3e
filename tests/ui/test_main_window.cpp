#include "ui/about_box.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/progress_form.h"
#include "core/texts.h"
#include "core/settings.h"
#include "ui/comm_dialog.h"
#include "link/ibus_session.h"
#include "link/serial_devices.h"
#include "tests/support/fake_register_port.h"
#include "tests/support/test_home.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <cstdlib>
#include <gtest/gtest.h>

TEST(MainWindow, CreationReadsSettingsAndSwitchesTraceOn)
{
    TestHome home;
    ASSERT_TRUE(writeSystemConfig("[Comm]\r\nPort=3\r\nBaudRate=4\r\n[Print]\r\nPages=5\r\nFontsize=11\r\n"));
    Settings().CommPort = 1;
    Settings().CommBaudRate = 1;
    TMainForm form(std::make_unique<FakeRegisterPort>());
    EXPECT_EQ(Settings().CommPort, 3);
    EXPECT_EQ(Settings().CommBaudRate, 4);
    EXPECT_EQ(Settings().PrintPages, 5);
    EXPECT_EQ(Settings().PrintFontSize, 11);
    EXPECT_TRUE(form.Bus().LogEnabled);
    EXPECT_GE(form.width(), 653);  // the designed size at least
    EXPECT_GE(form.height(), 553);
    EXPECT_FALSE(form.CheckBox1->isChecked());
    EXPECT_FALSE(form.ContentItem->isVisible());
    EXPECT_EQ(form.CheckBox1->text(), "ReadOnly Mode");
}

TEST(MainWindow, ReadOnlyModeSwitchesRequestCodes)
{
    TestHome home;
    TMainForm form(std::make_unique<FakeRegisterPort>());
    form.CheckBox1->click();
    EXPECT_EQ(Settings().DetailRequestCode, 49);
    EXPECT_EQ(Settings().SummaryRequestCode, 50);
    form.CheckBox1->click();
    EXPECT_EQ(Settings().DetailRequestCode, 32);
    EXPECT_EQ(Settings().SummaryRequestCode, 48);
    EXPECT_FALSE(QFile::exists(Settings().SettingsFile));  // not stored
}

// The caption the window has when it is first shown (a language file may have replaced
// it) becomes AppCaption and the application's title; every title bar shows its own
// caption alone, so Qt's display name (which Linux title bars append) stays unset.
TEST(MainWindow, ShownCaptionBecomesAppCaptionAndTitle)
{
    TestHome home;
    TApplication::SetTitle("VOBREL FM");
    TMainForm form(std::make_unique<FakeRegisterPort>());
    QWidget report;
    form.setReportWindow(&report);
    form.setWindowTitle("FM SERWIS");
    form.show();
    EXPECT_EQ(Settings().AppCaption, "FM SERWIS");
    EXPECT_EQ(TApplication::Title(), "FM SERWIS");
    EXPECT_EQ(form.windowTitle(), "FM SERWIS");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    EXPECT_EQ(report.parentWidget(), form.pnl1);
    EXPECT_TRUE(report.isVisible());
    TAboutBox about(&form);
    EXPECT_EQ(about.NameLabel->text(), "FM SERWIS");
    EXPECT_EQ(about.FolderLabel->text(), "Program folder: " + Settings().ProgramDir);
    form.close();
}

TEST(MainWindow, ButtonsAndMenuItemsRunTheirCommands)
{
    TestHome home;
    texts::ResetToDefaults();
    auto fake = std::make_unique<FakeRegisterPort>();
    FakeRegisterPort* port = fake.get();
    TMainForm form(std::move(fake));
    TProgressForm progress(&form, [&form] { form.Bus().AbortExchange(); });
    form.setProgressForm(&progress);
    int edits = 0;
    form.OnEditCommSettings = [&edits] { ++edits; };
    form.show();

    form.CommBtn->click();
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(port->openCount, 0);
    // TestBtn and TestItem run the Test command: open, handshake, disconnect, close.
    form.TestBtn->click();
    EXPECT_EQ(port->openCount, 1);
    EXPECT_FALSE(port->open);
    form.TestItem->trigger();
    EXPECT_EQ(port->openCount, 2);
    ASSERT_FALSE(port->requests.empty());
    EXPECT_EQ(port->requests.front()[0], 14);
    EXPECT_EQ(port->requests.front()[1], 1);
    EXPECT_EQ(port->requests.back()[1], 2);  // the disconnect
    EXPECT_EQ(port->commName, "COM2");
    EXPECT_EQ(edits, 1);
    form.close();
}

// The check box stands at the tool dock's left 108, after the tool window.
TEST(MainWindow, ReadOnlyBoxStandsAtTheDocksLeft108)
{
    TestHome home;
    TMainForm form(std::make_unique<FakeRegisterPort>());
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.CheckBox1->mapTo(form.TopDock, QPoint(0, 0)).x(), 108);
    EXPECT_LE(form.ToolWindow1->mapTo(form.TopDock, QPoint(0, 0)).x() + form.ToolWindow1->width(), 108);
    form.close();
}

TEST(CommDialog, ReadsSelectsAndStores)
{
    TestHome home;
    TCommDlg dialog;
    // No [Comm]: COM2 and 9600; OK writes both, creating the file.
    QTimer::singleShot(0, &dialog, [&] { dialog.OKBtn->click(); });
    EXPECT_TRUE(EditCommSettings(dialog));
    EXPECT_EQ(dialog.PortCB->currentText(), "COM2");
    EXPECT_EQ(dialog.BaudRateIndex(), 0);
    EXPECT_EQ(readTestFile(Settings().SettingsFile), QByteArray("[Comm]\r\nPort=2\r\nBaudRate=0\r\n"));

    // A stored speed of 5 or more selects 115200; a port outside 0 to 4 selects nothing.
    ASSERT_TRUE(writeSystemConfig("[Comm]\r\nPort=7\r\nBaudRate=6\r\n"));
    QTimer::singleShot(0, &dialog, [&] { dialog.OKBtn->click(); });
    EXPECT_TRUE(EditCommSettings(dialog));
    EXPECT_EQ(Settings().CommBaudRate, 4);
    EXPECT_EQ(Settings().CommPort, -1);

    // Cancel keeps the values just read from the file and writes nothing.
    ASSERT_TRUE(writeSystemConfig("[Comm]\r\nPort=1\r\nBaudRate=3\r\n"));
    QTimer::singleShot(0, &dialog, [&] {
        dialog.PortCB->setCurrentIndex(0);
        dialog.CancelBtn->click();
    });
    EXPECT_FALSE(EditCommSettings(dialog));
    EXPECT_EQ(Settings().CommPort, 1);
    EXPECT_EQ(Settings().CommBaudRate, 3);
    EXPECT_TRUE(dialog.PortHints->text().contains("COM1: /dev/ttyS0"));
    EXPECT_FALSE(dialog.ParityRG->isEnabled());
}

// A fixed dialog, at least 317 x 224, centred on the screen at every opening.
TEST(CommDialog, FixedSizeAndCentredAtEveryOpening)
{
    TestHome home;
    TCommDlg dialog;
    QList<QRect> seen;
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, &dialog, [&] {
            seen << dialog.geometry();
            dialog.CancelBtn->click();
        });
        EditCommSettings(dialog);
        dialog.move(dialog.pos() + QPoint(20, 20));  // as a window manager might leave it
    }
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_GE(dialog.width(), 317);
    EXPECT_GE(dialog.height(), 224);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(seen[0].center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(seen[0].center().y() - screen.center().y()), 1);
}

TEST(CommDialog, ChoosingNoneStoresZero)
{
    TestHome home;
    TCommDlg dialog;
    QTimer::singleShot(0, &dialog, [&] {
        dialog.PortCB->setCurrentIndex(0);
        dialog.BaudRateButtons->button(2)->click();
        dialog.OKBtn->click();
    });
    EXPECT_TRUE(EditCommSettings(dialog));
    ReadCommSettings();
    EXPECT_EQ(Settings().CommPort, 0);
    EXPECT_EQ(Settings().CommBaudRate, 2);
}

TEST(CommDialog, EachPortNameKeepsItsOwnDeviceInPorts)
{
    TestHome home;
    ASSERT_TRUE(writeSystemConfig("[Comm]\r\nPort=1\r\n[Ports]\r\nCOM2=/dev/ttyACM0\r\n"));
    TCommDlg dialog;
    QTimer::singleShot(0, &dialog, [&] {
        // COM1 shows its default; typing maps it. COM2 shows its stored device.
        EXPECT_EQ(dialog.DeviceCB->currentText(), "");
        EXPECT_EQ(dialog.DeviceCB->lineEdit()->placeholderText(), "/dev/ttyS0 (default)");
        EXPECT_TRUE(dialog.DeviceCB->isEnabled());
        dialog.DeviceCB->setEditText("/dev/ttyUSB0");
        EXPECT_TRUE(dialog.PortHints->text().contains("COM1: /dev/ttyUSB0"));
        dialog.PortCB->setCurrentIndex(2);
        EXPECT_EQ(dialog.DeviceCB->currentText(), "/dev/ttyACM0");
        dialog.PortCB->setCurrentIndex(0);  // "None" has no device
        EXPECT_FALSE(dialog.DeviceCB->isEnabled());
        dialog.PortCB->setCurrentIndex(1);
        EXPECT_EQ(dialog.DeviceCB->currentText(), "/dev/ttyUSB0");
        dialog.OKBtn->click();
    });
    EXPECT_TRUE(EditCommSettings(dialog));
    // Only the mapping that changed is written; COM2 keeps its line.
    EXPECT_EQ(readTestFile(Settings().SettingsFile),
              "[Comm]\r\nPort=1\r\nBaudRate=0\r\n[Ports]\r\nCOM2=/dev/ttyACM0\r\nCOM1=/dev/ttyUSB0\r\n");

    // Cancel forgets what was typed.
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_EQ(dialog.DeviceCB->currentText(), "/dev/ttyUSB0");
        dialog.DeviceCB->setEditText("/dev/ttyS3");
        dialog.CancelBtn->click();
    });
    EXPECT_FALSE(EditCommSettings(dialog));
    EXPECT_EQ(ReadPortMapping(1), "/dev/ttyUSB0");
}

TEST(CommDialog, DeviceListOffersThePresentDevices)
{
    TestHome home;
    TCommDlg dialog;
    dialog.setDeviceList({{"/dev/ttyS0", ""}, {"/dev/serial/by-id/usb-Adapter-port0", "/dev/ttyUSB0"}});
    ASSERT_EQ(dialog.DeviceCB->count(), 2);
    EXPECT_EQ(dialog.DeviceCB->itemText(1), "/dev/serial/by-id/usb-Adapter-port0");
    EXPECT_EQ(dialog.DeviceCB->itemData(1, Qt::ToolTipRole).toString(), "/dev/ttyUSB0");
    // Filling the list changes no port's device.
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(dialog.PortDevice(n), "");
}
