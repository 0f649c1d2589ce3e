#pragma once
// The burn window over the emulated recorder for one test: a temporary program directory
// whose SYSTEM.CFG names the virtual drive ([Burn] VirtualDrive=disc.img), a transport of
// the test's own without real drives or transport libraries, a main window to centre on,
// and the waits a test needs while the burner's events travel to the window.

#include "burn/burner.h"
#include "burn/emulated/emulated_target.h"
#include "core/texts.h"
#include "ui/burn_form.h"
#include "tests/support/iso_oracle.h"
#include "tests/support/test_home.h"
#include "tests/support/test_transport.h"
#include "tests/support/message_boxes.h"
#include "tests/support/wait_util.h"

#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QPushButton>
#include <memory>

struct BurnWindowRig {
    TestHome home;
    TScsiTransport transport;
    QMainWindow mainWindow;
    std::unique_ptr<TBurnFrm> form;
    QString image;

    explicit BurnWindowRig(bool virtualDrive = true)
    {
        texts::ResetToDefaults();
        image = home.path("disc.img");
        writeSystemConfig(virtualDrive ? "[Burn]\r\nVirtualDrive=disc.img\r\n" : "");
        // The window configures the virtual drive from SYSTEM.CFG itself.
        transport.Configure(testTransportConfig(std::string()));
        mainWindow.resize(653, 553);
        form = std::make_unique<TBurnFrm>(&mainWindow, &transport);
        form->mcdb().Timing.waitDivisor = 100;
        form->mcdb().Commands().Timing.waitDivisor = 100;
    }

    TEmulatedDrive* drive() { return BuiltInEmulatedDrive(transport.Layer()); }

    // A file whose bytes depend on its name.
    QString makeFile(const QString& relative, int size)
    {
        const QString path = home.path(relative);
        QDir().mkpath(QFileInfo(path).path());
        QByteArray data(size, '\0');
        for (int i = 0; i < size; ++i)
            data[i] = static_cast<char>((i * 11 + relative.size() * 17 + i / 2048) & 0xFF);
        writeTestFile(path, data);
        return path;
    }

    QString logTail(int n) const
    {
        const QStringList lines = form->LogLines();
        return lines.mid(std::max<qsizetype>(0, lines.size() - n)).join('|');
    }

    // Presses Burn and waits until the end of the burn has reached the window.
    bool burn()
    {
        form->BurnBtn->click();
        return waitFor([this] { return !form->Burning(); }, 120000);
    }
};

// xorriso's list of the files of the session that starts at `sector`.
inline QString listSession(const QString& image, uint32_t sector)
{
    return runOracle("xorriso", {"-load", "sbsector", QString::number(sector), "-indev", image, "-find", "/",
                                 "-type", "f"})
        .out;
}

// One file of that session, extracted by xorriso.
inline QByteArray extractFromSession(const QString& image, uint32_t sector, const QString& isoPath,
                                     const QString& outDir)
{
    const QString out = outDir + "/x" + QString::number(sector) + "_" + QString(isoPath).replace('/', '_');
    runOracle("xorriso", {"-osirrox", "on", "-load", "sbsector", QString::number(sector), "-indev", image,
                          "-extract", isoPath, out});
    return readTestFile(out);
}
