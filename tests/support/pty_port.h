#pragma once
// The real serial port (TComm) on a pseudo-terminal for one test: the test holds the
// master side of a fresh pty, the port opens the slave side, and what the port reports
// through its events is recorded.

#include "core/base/posix_io.h"
#include "link/serial_port.h"
#include "tests/support/wait_util.h"

#include <fcntl.h>
#include <pty.h>
#include <string>
#include <vector>

// A pty pair; the master side is non-blocking and closed with the object.
struct Pty {
    posix::UniqueFd master;
    std::string slave;  // empty when no pty could be made

    Pty()
    {
        int m = -1, s = -1;
        char name[128];
        if (::openpty(&m, &s, name, nullptr, nullptr) == 0) {
            master.reset(m);
            slave = name;
            ::close(s);
            ::fcntl(m, F_SETFL, O_NONBLOCK);
        }
    }
    // Reads from the master side until `want` bytes have come (or the time passes).
    std::vector<uint8_t> readAll(std::size_t want, int timeoutMs = 3000)
    {
        std::vector<uint8_t> out;
        waitFor([&] {
            uint8_t buf[4096];
            ssize_t n;
            while ((n = posix::read(master.get(), buf, sizeof buf)) > 0)
                out.insert(out.end(), buf, buf + n);
            return out.size() >= want;
        }, timeoutMs);
        return out;
    }
};

// The events of one port, recorded.
struct PortEvents {
    std::vector<uint8_t> received;
    std::vector<std::size_t> chunks;  // the size of each receive event
    int empties = 0;
    int hangups = 0;
    void attach(TComm& comm)
    {
        comm.OnReceiveData = [this](const uint8_t* b, uint16_t n) {
            received.insert(received.end(), b, b + n);
            chunks.push_back(n);
        };
        comm.OnSendDataEmpty = [this] { ++empties; };
        comm.OnRequestHangup = [this] { ++hangups; };
    }
};

// A raw line: no XON/XOFF flow control either way, and received bytes handed over 1 ms
// after the last one.
inline void setRawLine(TComm& comm)
{
    comm.setOutx_XonXoffFlow(false);
    comm.setInx_XonXoffFlow(false);
    comm.setReadIntervalTimeout(1);
}

// A port named after a fresh pty's slave side, its events recorded; the test sets the line
// up through `comm` and opens it.
struct PtyPort {
    Pty pty;
    TComm comm;
    PortEvents events;
    PtyPort()
    {
        events.attach(comm);
        comm.setCommName(pty.slave);
    }
};
