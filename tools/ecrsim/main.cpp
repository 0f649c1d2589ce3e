// ecrsim: a fiscal cash register simulator speaking the I-Bus protocol on a pseudo-
// terminal it creates (the slave path is printed on the first line) or on a given tty.

#include "link/ibus_trace.h"
#include "core/base/posix_io.h"
#include "tools/ecrsim/register_model.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <termios.h>

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

struct WireConfig {
    std::string tty;
    bool stopWithStdin = false;  // end when standard input closes (the starting program went away)
    int delayMs = 0;          // before each reply
    int lateMs = 0;           // before each page reply, instead of delayMs
    std::size_t chunk = 0;    // split replies into chunks of this many bytes
    int chunkGapMs = 2;
    double garbleRate = 0.0;  // share of reply bytes replaced by random ones
    std::string transcript;
};

const char kUsage[] =
    "Usage: ecrsim [options]\n"
    "  --tty PATH          use this tty instead of creating a pseudo-terminal\n"
    "  --baud LIST         speeds the handshake is answered at (default 9600), e.g. 38400,57600\n"
    "  --reply55           answer 0x55 to a handshake at another speed\n"
    "  --silent            answer nothing\n"
    "  --closed 0|1        fiscal memory closed flag of the status reply (default 1)\n"
    "  --lines FILE        report lines from a text file (one record per line)\n"
    "  --generate N        generate N report lines whatever the range\n"
    "  --refuse            refuse report requests\n"
    "  --nak STEP[:N]      answer 0x05 at STEP (connect, info, status, request, page, pageN)\n"
    "  --silent-at STEP    leave STEP unanswered\n"
    "  --corrupt RATE      share of reply frames with a wrong checksum (0 to 1)\n"
    "  --garble RATE       share of reply bytes replaced by random bytes (0 to 1)\n"
    "  --chunk N           send replies in chunks of N bytes\n"
    "  --delay MS          wait before each reply\n"
    "  --late MS           wait before each report page reply (answers after the wait has ended)\n"
    "  --vanish-at STEP    close the pty when a request of STEP (or disconnect) arrives, and end\n"
    "  --seed N            seed of the fault generator\n"
    "  --transcript FILE   keep a trace of what was received and sent\n"
    "  --stop-with-stdin   end when standard input reaches its end\n";

bool parseArgs(int argc, char** argv, RegisterConfig& reg, WireConfig& wire)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--reply55") {
            reg.reply55 = true;
        } else if (a == "--silent") {
            reg.silent = true;
        } else if (a == "--refuse") {
            reg.refuseReports = true;
        } else if (a == "--stop-with-stdin") {
            wire.stopWithStdin = true;
        } else if (!value(&v)) {
            std::fprintf(stderr, "ecrsim: %s needs a value (or is unknown)\n%s", a.c_str(), kUsage);
            return false;
        } else if (a == "--tty") {
            wire.tty = v;
        } else if (a == "--baud") {
            reg.speeds.clear();
            std::size_t at = 0;
            while (at < v.size()) {
                std::size_t comma = v.find(',', at);
                if (comma == std::string::npos)
                    comma = v.size();
                reg.speeds.insert(static_cast<uint32_t>(std::strtoul(v.substr(at, comma - at).c_str(), nullptr, 10)));
                at = comma + 1;
            }
        } else if (a == "--closed") {
            reg.fiscalMemoryClosed = static_cast<uint8_t>(std::atoi(v.c_str()));
        } else if (a == "--lines") {
            std::ifstream in(v, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "ecrsim: cannot read %s\n", v.c_str());
                return false;
            }
            std::string line;
            while (std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                reg.lines.push_back(line.substr(0, 24));
            }
        } else if (a == "--generate") {
            reg.generatedLines = std::atoi(v.c_str());
        } else if (a == "--nak") {
            const std::size_t colon = v.find(':');
            reg.nakStep = v.substr(0, colon);
            if (colon != std::string::npos)
                reg.nakCount = std::atoi(v.c_str() + colon + 1);
        } else if (a == "--silent-at") {
            reg.silentStep = v;
        } else if (a == "--vanish-at") {
            reg.vanishStep = v;
        } else if (a == "--late") {
            wire.lateMs = std::atoi(v.c_str());
        } else if (a == "--corrupt") {
            reg.corruptRate = std::atof(v.c_str());
        } else if (a == "--garble") {
            wire.garbleRate = std::atof(v.c_str());
        } else if (a == "--chunk") {
            wire.chunk = static_cast<std::size_t>(std::atoi(v.c_str()));
        } else if (a == "--delay") {
            wire.delayMs = std::atoi(v.c_str());
        } else if (a == "--seed") {
            reg.seed = static_cast<unsigned>(std::strtoul(v.c_str(), nullptr, 10));
        } else if (a == "--transcript") {
            wire.transcript = v;
        } else {
            std::fprintf(stderr, "ecrsim: unknown option %s\n%s", a.c_str(), kUsage);
            return false;
        }
    }
    return true;
}

void makeRaw(int fd)
{
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0)
        return;
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B9600);
    ::tcsetattr(fd, TCSANOW, &tio);
}

uint32_t lineSpeed(int fd)
{
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0)
        return 0;
    switch (::cfgetospeed(&tio)) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

struct PendingWrite {
    Clock::time_point due;
    std::vector<uint8_t> bytes;
};

}  // namespace

int main(int argc, char** argv)
{
    RegisterConfig reg;
    WireConfig wire;
    if (!parseArgs(argc, argv, reg, wire))
        return 2;

    posix::UniqueFd line;
    posix::UniqueFd keepSlave;  // held open so the master never sees a hang-up between clients
    if (wire.tty.empty()) {
        line.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!line || ::grantpt(line.get()) != 0 || ::unlockpt(line.get()) != 0) {
            std::perror("ecrsim: pseudo-terminal");
            return 1;
        }
        const char* slave = ::ptsname(line.get());
        keepSlave.reset(posix::open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC));
        makeRaw(keepSlave.get());
        std::printf("%s\n", slave);
    } else {
        line.reset(posix::open(wire.tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!line) {
            std::perror(("ecrsim: " + wire.tty).c_str());
            return 1;
        }
        makeRaw(line.get());
        std::printf("%s\n", wire.tty.c_str());
    }
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    std::FILE* transcript = wire.transcript.empty() ? nullptr : std::fopen(wire.transcript.c_str(), "wb");
    RegisterModel model(reg);
    if (transcript) {
        model.OnTrace = [transcript](bool received, const std::vector<uint8_t>& bytes) {
            QStringList lines;
            ibus::TraceBlock(lines, received ? ibus::kTraceReceive : ibus::kTraceSend, bytes.data(),
                             bytes.size());
            const QByteArray text = ibus::TraceFileContent(lines);
            std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), transcript);
            std::fflush(transcript);
        };
    }

    std::mt19937 rng(reg.seed + 7);
    std::deque<PendingWrite> pending;
    const int fd = line.get();
    const int termiosFd = keepSlave ? keepSlave.get() : fd;
    while (!g_stop) {
        int timeout = -1;
        if (!pending.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                pending.front().due - Clock::now()).count();
            timeout = static_cast<int>(std::max<long long>(0, left));
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {wire.stopWithStdin ? 0 : -1, POLLIN, 0}};
        pollfd& pfd = fds[0];
        // A signal ends the wait so that the stop request is seen at once.
        if (::poll(fds, 2, timeout) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents) {
            char c;
            if (::read(0, &c, 1) <= 0)
                break;
        }
        while (!pending.empty() && pending.front().due <= Clock::now()) {
            const std::vector<uint8_t>& bytes = pending.front().bytes;
            posix::write(fd, bytes.data(), bytes.size());
            pending.pop_front();
        }
        if (!(pfd.revents & POLLIN))
            continue;
        uint8_t buffer[4096];
        const ssize_t n = posix::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        for (RegisterModel::Answered& answered : model.Feed(buffer, static_cast<std::size_t>(n),
                                                            lineSpeed(termiosFd))) {
            RegisterModel::Reply& reply = answered.bytes;
            if (wire.garbleRate > 0) {
                std::uniform_real_distribution<double> chance(0, 1);
                for (uint8_t& b : reply)
                    if (chance(rng) < wire.garbleRate)
                        b = static_cast<uint8_t>(rng());
            }
            const bool page = answered.step.rfind("page", 0) == 0;
            const int delayMs = page && wire.lateMs > 0 ? wire.lateMs : wire.delayMs;
            auto due = std::max(Clock::now() + std::chrono::milliseconds(delayMs),
                                pending.empty() ? Clock::now() : pending.back().due);
            const std::size_t chunk = wire.chunk ? wire.chunk : reply.size();
            for (std::size_t at = 0; at < reply.size(); at += chunk) {
                const std::size_t len = std::min(chunk, reply.size() - at);
                pending.push_back({due, {reply.data() + at, reply.data() + at + len}});
                due += std::chrono::milliseconds(wire.chunk ? wire.chunkGapMs : 0);
            }
        }
        if (model.vanished())
            break;  // the adapter is pulled: both ends of the pty close below
    }
    if (transcript)
        std::fclose(transcript);
    return 0;
}
