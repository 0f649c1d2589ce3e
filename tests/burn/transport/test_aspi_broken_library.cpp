// A transport library that lacks its command entry point.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) uint32_t GetASPI32SupportInfo()
{
    return 0x0101;
}
