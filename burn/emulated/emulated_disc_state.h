#pragma once
// The emulated recorder's disc state file beside its image: medium, capacity, finalized
// flag, the closed sessions and the sectors of an unclosed track, one "key value..." line
// each. The file is outside input (a user may edit or damage it), so a state that no real
// disc can have is refused: an unknown medium or key, a capacity beyond a 99-minute CD (a
// dual-layer DVD for DVD media), more than 99 sessions, sessions that overlap or run past
// the capacity.

#include "burn/emulated/emulated_drive.h"

#include <string>
#include <string_view>
#include <vector>

struct TEmulatedDiscState {
    TEmulatedDrive::Medium medium = TEmulatedDrive::Medium::CDR;
    uint32_t capacity = TEmulatedDrive::kBlank80MinBlocks;
    bool finalized = false;
    std::vector<TEmulatedDrive::Session> sessions;
    uint32_t openTrack = 0;  // sectors written into a track that was never closed
};

// Sectors before the last possible lead-out of a 99:59:74 disc (less the 2 s pre-gap).
inline constexpr uint32_t kMaxDiscBlocks = 99 * 60 * 75 + 59 * 75 + 74 - 150;
// Sectors of a dual-layer recordable DVD.
inline constexpr uint32_t kMaxDvdBlocks = 4173824;
// A CD holds at most 99 tracks, so at most 99 sessions.
inline constexpr std::size_t kMaxDiscSessions = 99;

// False with the reason when the text is no state a real disc can have.
bool ParseEmulatedDiscState(std::string_view text, TEmulatedDiscState* state, std::string* error);
std::string FormatEmulatedDiscState(const TEmulatedDiscState& state);
