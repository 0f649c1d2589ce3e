#pragma once
// Remembers the requests whose wait ended before their reply came, so that a reply the
// register still sends for one of them is never taken for the answer to a later request.
// Replies carry only the request's command and parameter (page replies no page number),
// so a late frame cannot be told from the current answer by its bytes; it is recognised
// by counting: every request left without a reply may still be answered until twice its
// reply time-out after it left, and while it may, the next reply with its header (or a
// negative reply byte, which carries no header) is taken as that late reply.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>

class TLateReplies {
public:
    using Clock = std::chrono::steady_clock;
    using Header = std::array<uint8_t, 3>;

    // A request with this header was left without a reply; it may still come until `until`.
    void Expect(const Header& header, Clock::time_point until);
    // A reply completed at `now`: true when it is taken as the late reply to an earlier
    // request (and crossed off). A null header stands for a negative reply byte.
    bool TakeLate(const Header* header, Clock::time_point now);
    void Clear() { pending_.clear(); }
    std::size_t Pending() const { return pending_.size(); }

private:
    struct Entry {
        Header header;
        Clock::time_point until;
    };
    std::deque<Entry> pending_;
};
