#pragma once
// The simulated register's protocol side: collects frames from the received bytes,
// answers the handshake, the information and status queries, the report request and
// the report pages, and injects the protocol faults it is configured with.

#include "link/ibus_frame.h"

#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

struct RegisterConfig {
    std::set<uint32_t> speeds{9600};  // the handshake is answered only at these speeds
    bool reply55 = false;             // answer 0x55 to a handshake at another speed
    bool silent = false;              // answer nothing
    uint8_t fiscalMemoryClosed = 1;   // byte 15 of the status reply
    bool refuseReports = false;       // report request answered with byte 0 = 1
    std::vector<std::string> lines;   // report lines; empty: generated from the range
    int generatedLines = -1;          // >= 0: generate this many lines whatever the range
    std::string nakStep;              // connect, info, status, request, page or pageN
    int nakCount = -1;                // how many times (-1: every time)
    std::string silentStep;           // a step left unanswered (same names)
    std::string vanishStep;           // at this step the register goes away (same names, or disconnect)
    double corruptRate = 0.0;         // share of reply frames with a wrong checksum
    unsigned seed = 1;
};

class RegisterModel {
public:
    using Reply = std::vector<uint8_t>;
    // A reply and the step of the request it answers (connect, info, status, request, pageN, disconnect).
    struct Answered {
        std::string step;
        Reply bytes;
    };
    // Called for each received frame and each reply: (true = received, bytes).
    using TraceHook = std::function<void(bool received, const std::vector<uint8_t>& bytes)>;

    explicit RegisterModel(RegisterConfig config);

    // Takes received bytes at the current line speed; returns the replies to send.
    std::vector<Answered> Feed(const uint8_t* bytes, std::size_t count, uint32_t lineSpeed);

    TraceHook OnTrace;
    // True once a request of the vanish step has come: the register is gone.
    bool vanished() const { return vanished_; }
    int connectedSpeedIndex() const { return connectedSpeed_; }
    int disconnects() const { return disconnects_; }

    // The report lines for a request (the configured ones or generated ones).
    std::vector<std::string> ReportLines(bool summary, int rangeType, uint32_t from, uint32_t to,
                                         bool toEnd) const;

private:
    std::vector<Reply> Answer(const ibus::Payload& request, uint32_t lineSpeed);
    Reply FrameReply(ibus::Payload reply);
    bool TakeFault(const std::string& step, const std::string& configured, int* count);
    std::vector<uint8_t> PageData(int page) const;

    RegisterConfig config_;
    std::mt19937 rng_;
    std::vector<uint8_t> frame_;
    int connectedSpeed_ = -1;  // speed index announced by the last handshake
    int disconnects_ = 0;
    bool vanished_ = false;
    std::string step_;  // the step of the request being answered
    int nakLeft_;
    bool summary_ = false;
    std::vector<std::string> report_;
    std::string headingLine1_, headingLine2_;
};

// Decodes 4- or 6-digit packed BCD (most significant byte first).
uint32_t BcdValue(const uint8_t* bytes, int count);
