#pragma once
// A burner component over the emulated recorder for one test: the built-in layer with a
// virtual drive in a temporary directory, the drive waits shortened, the messages and the
// end-of-burn text collected (events come on the write thread, so under a lock).

#include "burn/burn_procedure.h"
#include "burn/burner.h"
#include "burn/emulated/emulated_target.h"
#include "tests/support/iso_oracle.h"
#include "tests/support/test_home.h"
#include "tests/support/test_transport.h"

#include <QDir>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct BurnerRig {
    TestHome home;
    TScsiTransport transport;
    std::string image;
    TMCDBurner burner{transport};

    mutable std::mutex mutex;
    std::vector<std::string> messages;  // "kind:text"
    std::vector<std::string> events;    // "finalizing", "done:TEXT"
    std::thread::id eventThread;

    explicit BurnerRig(bool library = false)
    {
        image = home.path("disc.img").toStdString();
        transport.Configure(testTransportConfig(library ? std::string() : image));
        burner.Timing.waitDivisor = 100;
        burner.Timing.leadOutPollMs = 20;
        burner.Timing.closeRetryMs = 20;
        burner.Commands().Timing.waitDivisor = 100;
        burner.OnDebugMessage = [this](TSCSIDevice&, const std::string& text, uint8_t kind) {
            std::lock_guard lock(mutex);
            messages.push_back(std::to_string(kind) + ":" + text);
        };
        burner.OnFinalizingTrack = [this](TMCDBurner&) {
            std::lock_guard lock(mutex);
            events.push_back("finalizing");
        };
        burner.OnWriteDone = [this](TMCDBurner&, const std::string& error) {
            std::lock_guard lock(mutex);
            events.push_back("done:" + error);
            eventThread = std::this_thread::get_id();
        };
    }

    bool start()
    {
        return burner.InitASPILayer(true) && !burner.DeviceList().empty() &&
               burner.SelectDevice(burner.DeviceList()[0]);
    }
    TEmulatedDrive* drive() { return BuiltInEmulatedDrive(transport.Layer()); }

    // A file of `size` bytes whose content depends on its name.
    std::string makeFile(const QString& relative, int size)
    {
        const QString path = home.path(relative);
        QDir().mkpath(QFileInfo(path).path());
        QByteArray data(size, '\0');
        for (int i = 0; i < size; ++i)
            data[i] = static_cast<char>((i * 7 + relative.size() * 13 + i / 2048) & 0xFF);
        writeTestFile(path, data);
        return path.toStdString();
    }

    // The burn procedure; returns the end-of-burn text ("" success), "does not fit", or
    // "not started: TEXT" when it ended before the write (a check, or StartWrite, refused).
    std::string burn(const std::vector<std::string>& files, const TBurnOptions& options = {})
    {
        const TBurnReport r = burnReport(files, options);
        if (r.outcome == TBurnOutcome::NoRoom)
            return "does not fit";
        return r.wrote ? r.text : "not started: " + r.text;
    }
    TBurnReport burnReport(const std::vector<std::string>& files, const TBurnOptions& options = {})
    {
        struct : IBurnSink {
        } quiet;
        return RunBurn(burner, files, options, sink ? *sink : quiet);
    }
    IBurnSink* sink = nullptr;  // the procedure's events, when a test wants them

    // One file of the session starting at `sector`, extracted with xorriso.
    QByteArray extract(uint32_t sector, const QString& name)
    {
        const QString out = home.path(QString("x%1_%2").arg(sector).arg(name));
        runOracle("xorriso", {"-osirrox", "on", "-load", "sbsector", QString::number(sector), "-indev",
                              QString::fromStdString(image), "-extract", "/" + name, out});
        return readTestFile(out);
    }

    std::string lastDone() const
    {
        std::lock_guard lock(mutex);
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->rfind("done:", 0) == 0)
                return it->substr(5);
        return "(no OnWriteDone)";
    }
    bool logged(const std::string& prefix) const
    {
        std::lock_guard lock(mutex);
        for (const std::string& m : messages)
            if (m.rfind(prefix, 0) == 0)
                return true;
        return false;
    }
};
