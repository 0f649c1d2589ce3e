#include "burn/emulated/emulated_disc_state.h"

#include <charconv>

namespace {

using Medium = TEmulatedDrive::Medium;

const struct {
    Medium medium;
    const char* name;
} kMedia[] = {{Medium::CDR, "CD-R"},
              {Medium::CDRW, "CD-RW"},
              {Medium::DVDR, "DVD-R"},
              {Medium::DVDPlusRW, "DVD+RW"},
              {Medium::DVDRAM, "DVD-RAM"}};

bool isDvd(Medium m)
{
    return m == Medium::DVDR || m == Medium::DVDPlusRW || m == Medium::DVDRAM;
}

// The blank-separated words of a line.
std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r'))
            ++pos;
        std::size_t end = pos;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r')
            ++end;
        if (end > pos)
            out.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return out;
}

// A decimal number of sectors: digits only, at most kMaxDvdBlocks (the medium's own limit
// is checked once the whole file is read).
bool sectors(std::string_view text, uint32_t* value)
{
    if (text.empty() || text.size() > 9)
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size() && *value <= kMaxDvdBlocks;
}

}  // namespace

bool ParseEmulatedDiscState(std::string_view text, TEmulatedDiscState* state, std::string* error)
{
    TEmulatedDiscState s;
    auto fail = [error](std::size_t lineNumber, const std::string& why) {
        *error = "line " + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::vector<std::string_view> w = words(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (w.empty())
            continue;
        if (w[0] == "medium") {
            bool known = false;
            for (const auto& m : kMedia)
                if (w.size() == 2 && w[1] == m.name) {
                    s.medium = m.medium;
                    known = true;
                }
            if (!known)
                return fail(lineNumber, "unknown medium (CD-R, CD-RW, DVD-R, DVD+RW or DVD-RAM)");
        } else if (w[0] == "capacity") {
            if (w.size() != 2 || !sectors(w[1], &s.capacity) || s.capacity == 0)
                return fail(lineNumber, "capacity is not 1 to " + std::to_string(kMaxDvdBlocks) + " sectors");
        } else if (w[0] == "open") {
            if (w.size() != 2 || !sectors(w[1], &s.openTrack))
                return fail(lineNumber, "open is not a number of sectors");
        } else if (w[0] == "finalized") {
            if (w.size() != 2 || (w[1] != "0" && w[1] != "1"))
                return fail(lineNumber, "finalized is not 0 or 1");
            s.finalized = w[1] == "1";
        } else if (w[0] == "session") {
            TEmulatedDrive::Session session;
            if (w.size() != 3 || !sectors(w[1], &session.start) || !sectors(w[2], &session.end) ||
                session.end <= session.start)
                return fail(lineNumber, "a session is two sector numbers, start before end");
            if (!s.sessions.empty() && session.start < s.sessions.back().end)
                return fail(lineNumber, "sessions overlap or are out of order");
            if (s.sessions.size() == kMaxDiscSessions)
                return fail(lineNumber, "more than " + std::to_string(kMaxDiscSessions) + " sessions");
            s.sessions.push_back(session);
        } else {
            return fail(lineNumber, "unknown key");
        }
    }
    if (!isDvd(s.medium) && s.capacity > kMaxDiscBlocks) {
        *error = "the capacity is larger than a CD";
        return false;
    }
    if (!s.sessions.empty() && s.sessions.back().end > s.capacity) {
        *error = "a session runs past the capacity";
        return false;
    }
    if (s.openTrack > s.capacity - (s.sessions.empty() ? 0 : s.sessions.back().end)) {
        *error = "the unclosed track runs past the capacity";
        return false;
    }
    *state = std::move(s);
    return true;
}

std::string FormatEmulatedDiscState(const TEmulatedDiscState& state)
{
    std::string out;
    out += "medium ";
    for (const auto& m : kMedia)
        if (m.medium == state.medium)
            out += m.name;
    out += "\ncapacity " + std::to_string(state.capacity) + "\n";
    out += "finalized " + std::string(state.finalized ? "1" : "0") + "\n";
    for (const TEmulatedDrive::Session& s : state.sessions)
        out += "session " + std::to_string(s.start) + " " + std::to_string(s.end) + "\n";
    if (state.openTrack > 0)
        out += "open " + std::to_string(state.openTrack) + "\n";
    return out;
}
