#include "link/ibus_late_replies.h"

#include <algorithm>

namespace {
// A bound on what is remembered: far more than the attempts of a few exchanges.
constexpr std::size_t kMaxPending = 256;
}  // namespace

void TLateReplies::Expect(const Header& header, Clock::time_point until)
{
    if (pending_.size() >= kMaxPending)
        pending_.pop_front();
    pending_.push_back({header, until});
}

bool TLateReplies::TakeLate(const Header* header, Clock::time_point now)
{
    std::erase_if(pending_, [now](const Entry& e) { return e.until < now; });
    const auto it = std::find_if(pending_.begin(), pending_.end(), [header](const Entry& e) {
        return !header || e.header == *header;
    });
    if (it == pending_.end())
        return false;
    pending_.erase(it);
    return true;
}
