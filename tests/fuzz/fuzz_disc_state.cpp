// Reads arbitrary bytes as the emulated recorder's disc state file and writes back what it took.
#include "burn/emulated/emulated_disc_state.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    TEmulatedDiscState state;
    std::string error;
    if (ParseEmulatedDiscState(std::string_view(reinterpret_cast<const char*>(data), size), &state, &error)) {
        TEmulatedDiscState again;
        if (!ParseEmulatedDiscState(FormatEmulatedDiscState(state), &again, &error) ||
            again.sessions.size() != state.sessions.size())
            __builtin_trap();  // what was taken must read back
    }
    return 0;
}
