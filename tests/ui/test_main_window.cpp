#include "ui/about_box.h"
#include "ui/main_window.h"
#include "core/settings.h"
#include "ui/comm_dialog.h"
#include "link/ibus_session.h"
#include "tests/fake_register_port.h"
#include "tests/test_home.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

TEST(MainWindow, CreationReadsSettingsAndSwitchesTraceOn)
{
    TestHome home;
    ASSERT_TRUE(writeSystemConfig("[Print]\r\nFontsize=11\r\n"));
    TMainForm form(std::make_unique<FakeRegisterPort>());
    EXPECT_EQ(Settings().CommPort, 2);
    EXPECT_EQ(Settings().CommBaudRate, 0);
    EXPECT_EQ(Settings().PrintFontSize, 11);
    EXPECT_TRUE(form.Bus().LogEnabled);
    EXPECT_EQ(form.size(), QSize(653, 553));
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

TEST(MainWindow, ShownCaptionBecomesAppCaptionAndTitle)
{
    TestHome home;
    TMainForm form(std::make_unique<FakeRegisterPort>());
    QWidget report;
    form.setReportWindow(&report);
    form.OnLocalise = [&form] { form.setWindowTitle("FM SERWIS"); };
    form.show();
    EXPECT_EQ(Settings().AppCaption, "FM SERWIS");
    EXPECT_EQ(QApplication::applicationDisplayName(), "FM SERWIS");
    EXPECT_EQ(report.parentWidget(), form.pnl1);
    TAboutBox about(&form);
    EXPECT_EQ(about.NameLabel->text(), "FM SERWIS");
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
